#include "FuzzTargets.h"

#include "FuzzSupport.h"

#include "framework/graphics/AxGLTFModel.h"
#include "framework/graphics/AxImageDecode.h"
#include "framework/platform/WavDecoder.h"
#include "profile/GhostTrack.h"
#include "profile/Records.h"
#include "race/RaceFile.h"
#include "stage/course/CourseReader.h"
#include "course/Description.h"
#include "scene/PointFile.h"

#include <cmath>
#include <cstring>
#include <optional>
#include <string>

// The glTF loader's first stage (parse and convert to CPU data). The second
// stage only hands these arrays to GL, so what it relies on is checked here.
bool FuzzGltfLoads(const uint8_t* data, size_t size) {
    // Binary containers go in as .glb, everything else as .gltf text.
    const bool binary = size >= 4 && std::memcmp(data, "glTF", 4) == 0;
    const std::string path = FuzzWriteTempFile(binary ? "model.glb" : "model.gltf", data, size);
    const std::shared_ptr<AxGLTFModel> model = AxLoadGLTFModel(path);
    if (!model) return false;
    FUZZ_CHECK(!model->materials.empty());
    for (const auto& node : model->nodes) {
        FUZZ_CHECK(node);
        if (!node->isMesh) {
            FUZZ_CHECK(node->vertices.empty() && node->faces.empty() && node->subsets.empty());
            continue;
        }
        // Every index must name a vertex: the GPU would read past the vertex buffer.
        for (const AxMeshFace& f : node->faces)
            for (uint32_t index : f.idx) FUZZ_CHECK(index < node->vertices.size());
        size_t next = 0;
        for (const AxMeshSubset& s : node->subsets) {
            FUZZ_CHECK(s.materialNo >= 0 && static_cast<size_t>(s.materialNo) < model->materials.size());
            FUZZ_CHECK(s.faceStart == next);
            next += s.faceCount;
        }
        FUZZ_CHECK(next == node->faces.size());
    }
    return true;
}

bool FuzzImageLoads(const uint8_t* data, size_t size) {
    AxDecodedImage image;
    if (!AxDecodeImageFile(FuzzMemFile(data, size), image)) {
        FUZZ_CHECK(image.width == 0 && image.height == 0 && image.pixels.empty());
        return false;
    }
    FUZZ_CHECK(image.width > 0 && image.height > 0);
    // The texture upload reads exactly this many bytes.
    FUZZ_CHECK(image.pixels.size() ==
               static_cast<size_t>(image.width) * static_cast<size_t>(image.height) * (image.isFloat ? 16u : 4u));
    return true;
}

// Both output layouts the audio engine asks for.
bool FuzzWavLoads(const uint8_t* data, size_t size) {
    bool loaded = false;
    for (int maxChannels = 1; maxChannels <= 2; ++maxChannels) {
        DecodedWav wav;
        if (!DecodeWavMemory(data, size, maxChannels, wav)) {
            FUZZ_CHECK(wav.samples.empty() && wav.channels == 0 && wav.rate == 0);
            continue;
        }
        loaded = true;
        FUZZ_CHECK(wav.channels >= 1 && wav.channels <= maxChannels);
        FUZZ_CHECK(wav.rate > 0);
        FUZZ_CHECK(!wav.samples.empty() && wav.samples.size() % static_cast<size_t>(wav.channels) == 0);
    }
    return loaded;
}

void FuzzGltf(const uint8_t* data, size_t size) { FuzzGltfLoads(data, size); }
void FuzzImage(const uint8_t* data, size_t size) { FuzzImageLoads(data, size); }
void FuzzWav(const uint8_t* data, size_t size) { FuzzWavLoads(data, size); }

// The course's coordinate files, with the limits the game reads them with
// (59 checkpoints, 8 boxes).
void FuzzPointFile(const uint8_t* data, size_t size) {
    const std::string path = FuzzMemFile(data, size);
    for (size_t maxPoints : {size_t{59}, size_t{8}}) {
        const std::vector<Vector3> points = ReadPointFile(path, maxPoints);
        FUZZ_CHECK(points.size() <= maxPoints);
        // Positions feed distances and steering: a NaN or infinity is not a point.
        for (const Vector3& p : points) FUZZ_CHECK(std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z));
    }
}

// A records file either reads as a whole, writes back the same text and
// holds times a race can have, or leaves nothing behind.
bool FuzzRecordsLoads(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    RecordsBook records;
    const bool read = records.Parse(text);
    for (Difficulty d : {Difficulty::Easy, Difficulty::Normal, Difficulty::Hard}) {
        const Records& r = records.For(d);
        if (!read) FUZZ_CHECK(r.Empty());
        for (const std::optional<RecordEntry>* entry : {&r.best, &r.bestLap})
            if (*entry) FUZZ_CHECK((*entry)->ms > 0 && (*entry)->ms <= Records::kMaxMs && (*entry)->date.size() == 10);
    }
    if (!read) return false;
    RecordsBook again;
    FUZZ_CHECK(again.Parse(records.Text()) && again.Text() == records.Text());
    return true;
}

// The same for a ghost line, whose poses must be finite and in reach.
bool FuzzGhostLoads(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    GhostTrack track;
    if (!track.Parse(text)) {
        FUZZ_CHECK(track.Empty() && track.raceMs == 0);
        return false;
    }
    FUZZ_CHECK(!track.Empty() && track.frames.size() <= GhostTrack::kMaxFrames);
    for (const GhostPose& p : track.frames)
        for (float v : {p.x, p.y, p.z, p.yaw, p.lean})
            FUZZ_CHECK(std::isfinite(v) && std::fabs(v) <= GhostTrack::kMaxCoordinate);
    GhostTrack again;
    FUZZ_CHECK(again.Parse(track.Text()) && again.frames == track.frames && again.start == track.start);
    return true;
}

// A race file either reads as a whole and writes back as text that reads
// the same, or is refused with one line; nothing in between.
bool FuzzRaceFileLoads(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    RaceFile race;
    std::string error;
    if (!RaceFile::Parse(text, race, error)) {
        FUZZ_CHECK(!error.empty() && error.find('\n') == std::string::npos);
        return false;
    }
    FUZZ_CHECK(!race.updates.empty() && race.updates.size() <= RaceFile::kMaxUpdates);
    FUZZ_CHECK(race.finishUpdate < race.updates.size() && race.countdownUpdate <= race.finishUpdate);
    FUZZ_CHECK(race.leadIn.size() <= RaceFile::kLeadIn && race.rank >= 1 && race.rank <= 3);
    RaceFile again;
    FUZZ_CHECK(RaceFile::Parse(race.Text(), again, error) && again == race);
    return true;
}

void FuzzRecords(const uint8_t* data, size_t size) { FuzzRecordsLoads(data, size); }
void FuzzRaceFile(const uint8_t* data, size_t size) { FuzzRaceFileLoads(data, size); }
void FuzzGhost(const uint8_t* data, size_t size) { FuzzGhostLoads(data, size); }

// A course file either reads whole, every number in its range and every path
// inside the course's folder, or is refused with one line naming the file.
// The same bytes as a point file read within their count or not at all.
bool FuzzCourseLoads(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::string folder = "/fuzz-course";
    std::vector<CoursePoint> points;
    std::string why;
    if (CourseReader::ParsePoints(text, CourseReader::kMaxCheckpoints, points, why)) {
        FUZZ_CHECK(points.size() <= CourseReader::kMaxCheckpoints);
        CourseReader::LineCrossesItself(points);
    } else {
        FUZZ_CHECK(!why.empty() && why.find('\n') == std::string::npos);
    }
    CourseData course;
    std::string error;
    if (!CourseReader::Parse(text, "course.json", folder, false, course, error)) {
        FUZZ_CHECK(error.rfind("course.json: ", 0) == 0);
        return false;
    }
    FUZZ_CHECK(course.laps >= 1 && course.laps <= CourseReader::kMaxLaps);
    FUZZ_CHECK(!course.id.empty() && course.id.size() <= 32);
    FUZZ_CHECK(course.gameplay.dashPanels.size() <= CourseReader::kMaxDashPanels);
    const auto inside = [&](const std::string& path) {
        return path.rfind(folder + "/", 0) == 0 && path.find("/../") == std::string::npos &&
               path.find("/./") == std::string::npos && path.find("//") == std::string::npos;
    };
    const CourseGameplay& g = course.gameplay;
    const CourseLook& l = course.look;
    for (const std::string* path : {&g.checkpointFile, &g.roadModel, &g.groundModel, &g.wallModel, &g.dashModel,
                                    &g.boxFile, &g.boxModel, &g.gateModel, &l.skyModel, &l.excavatorBody,
                                    &l.excavatorArm, &l.excavatorCable, &l.music})
        FUZZ_CHECK(inside(*path));
    for (const CoursePlace& place : g.grid)
        FUZZ_CHECK(std::abs(place.at.x) <= CourseReader::kMaxCoordinate && std::abs(place.angle) <= 360.0f);
    return true;
}

void FuzzCourse(const uint8_t* data, size_t size) { FuzzCourseLoads(data, size); }

// A description either builds a closed line of samples within the reach the
// reader promises, every object on the lap, or is refused with one line
// naming the file.
bool FuzzCourseDescriptionLoads(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    coursemake::Description d;
    coursemake::CentreLine line;
    std::string error;
    if (!coursemake::Read(text, "fuzz.course", d, line, error)) {
        FUZZ_CHECK(error.rfind("fuzz.course: ", 0) == 0 && error.find('\n') == std::string::npos);
        return false;
    }
    FUZZ_CHECK(!d.id.empty() && d.id.size() <= 32 && d.laps >= 1 && d.laps <= 9);
    FUZZ_CHECK(line.samples.size() >= 2);
    FUZZ_CHECK(line.Length() >= coursemake::kMinLap && line.Length() <= coursemake::kMaxLap + 1.0f);
    FUZZ_CHECK(line.samples.front().p.x == line.samples.back().p.x && line.samples.front().p.z == line.samples.back().p.z);
    for (const coursemake::Sample& s : line.samples)
        FUZZ_CHECK(std::isfinite(s.p.x) && std::isfinite(s.p.z) && std::hypot(s.p.x, s.p.z) <= coursemake::kMaxReach + 1.0f);
    for (const coursemake::Placed& o : d.objects)
        FUZZ_CHECK(o.distance >= 0 && o.distance < line.Length() && std::fabs(o.offset) < d.HalfWidth());
    return true;
}

void FuzzCourseDescription(const uint8_t* data, size_t size) { FuzzCourseDescriptionLoads(data, size); }
