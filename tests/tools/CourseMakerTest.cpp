// Course descriptions: every fault is refused with one line naming the line,
// segment or object; no input crashes or hangs the reader; and the command
// makes a course the game lists and races, as the README shows.

#include "course/Description.h"
#include "models/ExcavatorModel.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// The README's worked example.
const std::string kLoop =
    "id little-loop\n"
    "name Little Loop\n"
    "theme meadow\n"
    "width 14\n"
    "straight 60\n"
    "arc 25 180\n"
    "straight 120\n"
    "arc 25 180\n"
    "straight 60\n"
    "dash 30 centre\n"
    "switch 150 left\n"
    "excavator 185 left\n"
    "gate 240\n";

std::string Refusal(const std::string& text) {
    coursemake::Description d;
    coursemake::CentreLine line;
    std::string error;
    if (coursemake::Read(text, "test.course", d, line, error)) return "";
    EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    EXPECT_EQ(error.rfind("test.course: ", 0), 0u) << error;
    return error;
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return text.replace(at, from.size(), to);
}

std::string Slurp(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

TEST(CourseDescription, EachFaultIsRefusedWithTheLineSegmentOrObjectAndWhy) {
    ASSERT_EQ(Refusal(kLoop), "");
    const std::string head = "id hook\nname Hook\ntheme dusk\nwidth 14\n";
    // Up, round and back west towards the start straight: 5 m short of it, then across it.
    const std::string near = "straight 100\narc 20 180\narc 20 90\nstraight 15\n";
    const std::string across = "straight 100\narc 20 180\narc 20 90\nstraight 30\n";
    struct Case {
        std::string text, says;
    } cases[] = {
        // the line does not close, with the fix when a straight would do it
        {Replace(kLoop, "straight 60\ndash", "straight 50\ndash"), "centre line: does not close: "},
        {Replace(kLoop, "straight 60\ndash", "straight 50\ndash"), "lengthen the last straight by 10.0 m"},
        {Replace(kLoop, "arc 25 180\nstraight 120", "arc 25 170\nstraight 120"), "centre line: does not close: "},
        // too close to itself for the fences
        {head + near, "segment 4 (line 8, straight 15.0): comes within 5."}, {head + near, " m of segment 1 (line 5, straight 100.0)"},
        {head + near, "the fences need 21.6 m between the centre lines"},
        {head + across, "segment 4 (line 8, straight 30.0): crosses segment 1 (line 5, straight 100.0)"},
        // a bend tighter than the computer bikes take
        {Replace(kLoop, "arc 25 180\nstraight 120", "arc 12 180\nstraight 120"),
         "segment 2 (line 6, arc 12.0 180.0): the radius is tighter than the computer bikes can take"},
        // the start needs its straights
        {Replace(kLoop, "straight 60\narc", "straight 10\narc"), "segment 1 (line 5, straight 10.0): the line must start with a straight"},
        // objects off the road or off the lap
        {Replace(kLoop, "dash 30 centre", "dash 30 -9"), "dash (line 10): is off the road"},
        {Replace(kLoop, "switch 150 left", "switch 900 left"), "switch (line 11): 900.0 m is not on the lap"},
        {Replace(kLoop, "dash 30 centre", "dash 2 centre"), "dash (line 10): stands on the start line or the grid"},
        // the text itself
        {Replace(kLoop, "theme meadow", "theme moon"), "line 3: theme: 'moon' is not one of"},
        {Replace(kLoop, "width 14", "width 4"), "line 4: width: must be a number"},
        {Replace(kLoop, "arc 25 180\nstraight 120", "arc 25 nan\nstraight 120"), "line 6: arc: the angle must be"},
        {Replace(kLoop, "straight 120", "straight 1e999"), "line 7: straight: the length must be"},
        {Replace(kLoop, "id little-loop", "id ../up"), "line 1: id: may hold only"},
        {Replace(kLoop, "switch 150 left", "loop 3"), "line 11: 'loop' is not"},
        {Replace(kLoop, "switch 150 left", "switch 150 left\nswitch 200 right"), "line 12: switch: a course has one floor switch"},
        {Replace(kLoop, "name Little Loop\n", ""), "name: is missing"},
        {std::string("id a\0b\n", 7), "line 1: holds a control character"},
        // the gate: on a straight wide enough, clear of the start, of the boxes and of other objects
        {Replace(kLoop, "width 14", "width 12"), "gate (line 13): needs a road at least 14.0 m wide"},
        {Replace(kLoop, "gate 240", "gate 65"), "gate (line 13): must stand on a straight"},
        {Replace(kLoop, "gate 240", "gate 65"), "segment 2 (line 6, arc 25.0 180.0) bends there"},
        {Replace(kLoop, "gate 240", "gate 15"), "gate (line 13): stands too near the start line"},
        {Replace(kLoop, "gate 240", "gate 200"), "switch (line 11): its boxes would fall by the gate (line 13)"},
        {Replace(kLoop, "gate 240", "gate 240\ndash 236 centre"), "dash (line 14): stands in the way of the gate (line 13)"},
        {Replace(kLoop, "gate 240", "gate 240\ngate 100"), "line 14: gate: a course has one gate"},
        {Replace(kLoop, "gate 240", "gate 240 left"), "line 13: gate: write it as 'gate DISTANCE'"},
        // the excavator: beside the road, its body outside every fence
        {Replace(kLoop, "excavator 185 left", "excavator 185 centre"), "line 12: excavator: the side must be left or right"},
        {Replace(Replace(Replace(kLoop, "arc 25 180", "arc 16 180"), "arc 25 180", "arc 16 180"), "excavator 185 left", "excavator 185 right"),
         "excavator (line 12): its body would stand 7."},
    };
    for (const Case& c : cases) {
        const std::string error = Refusal(c.text);
        EXPECT_NE(error.find(c.says), std::string::npos) << "wanted: " << c.says << "\ngot: " << error;
    }
    // Whatever the bytes, the reader answers (and quickly): mutations of a good description.
    std::mt19937 random(28);
    for (int round = 0; round < 300; ++round) {
        std::string text = kLoop;
        const int edits = 1 + int(random() % 6);
        for (int e = 0; e < edits; ++e) {
            const size_t at = random() % text.size();
            switch (random() % 3) {
                case 0: text[at] = char(random() % 256); break;
                case 1: text.erase(at, 1 + random() % 8); break;
                default: text.insert(at, std::to_string(int(random() % 4000) - 2000)); break;
            }
            if (text.empty()) text = "x";
        }
        coursemake::Description d;
        coursemake::CentreLine line;
        std::string error;
        coursemake::Read(text, "fuzz.course", d, line, error);
    }
}

TEST(CourseDescription, TheReadmeExampleBuildsAndRacesToTheFinish) {
    // As the README says: write the file, make the course into the player's
    // course folder, and the game lists it and races it.
    const fs::path root = fs::temp_directory_path() / ("vorlan-course-maker-" + std::to_string(getpid()));
    fs::remove_all(root);
    fs::create_directories(root / "profile" / "courses");
    std::ofstream(root / "little-loop.course") << Replace(kLoop, "width 14\n", "width 14\nlaps 1\n");
    const std::string bin = VORLAN_BINARY_DIR;
    const std::string make = bin + "/vorlan-moto-course " + (root / "little-loop.course").string() + " " +
                             (root / "profile" / "courses").string() + " >" + (root / "made").string() + " 2>&1";
    ASSERT_EQ(std::system(make.c_str()), 0) << Slurp(root / "made");
    const fs::path folder = root / "profile" / "courses" / "little-loop";
    EXPECT_EQ(Slurp(root / "made"), folder.string() + "\n");
    for (const char* file : {"course.json", "check.txt", "box.txt", "map.png", "Road/road.gltf", "Wall/wall.gltf",
                             "Ground/ground.gltf", "Sky/sky.gltf", "Music/race.wav", "Dash/Dash.gltf", "Scenery/excavator.gltf"})
        EXPECT_TRUE(fs::is_regular_file(folder / file)) << file;
    {
        // The far straight runs south along x = 50: the gate stands across it
        // 240 m into the lap, a little right of the centre, its switches 9 m
        // before it either side; the excavator's hinge hangs over the road
        // 185 m in, its body to the east, the way the desert's faces turned round.
        const nlohmann::json c = nlohmann::json::parse(Slurp(folder / "course.json"));
        const auto& gate = c["gameplay"]["gate"];
        const double gateZ = 60.0 - (240.0 - (60.0 + 25.0 * M_PI));
        EXPECT_NEAR(gate["position"][0].get<double>(), 49.25, 0.01);
        EXPECT_NEAR(gate["position"][2].get<double>(), gateZ, 0.01);
        EXPECT_EQ(gate["angle"].get<double>(), 180.0);
        EXPECT_NEAR(gate["switches"][0][0].get<double>(), 54.25, 0.01);
        EXPECT_NEAR(gate["switches"][1][0].get<double>(), 45.75, 0.01);
        EXPECT_NEAR(gate["switches"][0][2].get<double>(), gateZ + 9.0, 0.01);
        const auto& hinge = c["gameplay"]["excavator"]["hinge"];
        EXPECT_NEAR(hinge[0].get<double>(), 46.2, 0.01);
        EXPECT_NEAR(hinge[2].get<double>(), 60.0 - (185.0 - (60.0 + 25.0 * M_PI)), 0.01);
        EXPECT_EQ(c["look"]["excavator"]["angle"].get<double>(), 180.0);
    }
    // A second run replaces the course whole.
    ASSERT_EQ(std::system(make.c_str()), 0) << Slurp(root / "made");
    // A refused description leaves nothing behind and says why in one line.
    std::ofstream(root / "bad.course") << Replace(kLoop, "straight 60\ndash", "straight 50\ndash");
    const std::string bad = bin + "/vorlan-moto-course " + (root / "bad.course").string() + " " + (root / "out").string() +
                            " 2>" + (root / "bad").string();
    EXPECT_NE(std::system(bad.c_str()), 0);
    EXPECT_FALSE(fs::exists(root / "out" / "little-loop"));
    EXPECT_NE(Slurp(root / "bad").find("vorlan-moto-course: " + (root / "bad.course").string() + ": centre line: does not close"),
              std::string::npos)
        << Slurp(root / "bad");

    const std::string game = "cd " + bin + " && XDG_DATA_HOME=" + (root / "data").string() + " XDG_CONFIG_HOME=" +
                             (root / "config").string() + " ./vorlan --profile " + (root / "profile").string();
    ASSERT_EQ(std::system((game + " --list-courses >" + (root / "list").string() + " 2>&1").c_str()), 0);
    EXPECT_NE(Slurp(root / "list").find("little-loop\tLittle Loop\t1"), std::string::npos) << Slurp(root / "list");
    std::ofstream(root / "start.txt") << "5 5 Enter\n";
    const std::string race = game + " --headless --no-render --fixed-clock --uncapped --autopilot --seed 1 --frames 2400 --course little-loop" +
                             " --input " + (root / "start.txt").string() + " --trace " + (root / "race.jsonl").string() +
                             " >/dev/null 2>" + (root / "race.err").string();
    ASSERT_EQ(std::system(race.c_str()), 0) << Slurp(root / "race.err");
    std::ifstream trace(root / "race.jsonl");
    std::string lastLine;
    for (std::string line; std::getline(trace, line);) lastLine = line;
    // The player's bike has finished its one lap.
    EXPECT_NE(lastLine.find("\"courseId\":\"little-loop\""), std::string::npos);
    const size_t bikes = lastLine.find("\"bikes\":[{");
    ASSERT_NE(bikes, std::string::npos);
    const size_t lap = lastLine.find("\"lap\":", bikes);
    ASSERT_NE(lap, std::string::npos);
    EXPECT_GE(std::atoi(lastLine.c_str() + lap + 6), 2) << lastLine.substr(bikes, 400);
    fs::remove_all(root);
}

TEST(CourseDescription, AnExcavatorStandsOutsideTheFenceWhicheverWayTheRoadRuns) {
    // A loop whose straights run north, east, south and west (and one bend
    // between them at 45 degrees): on each, an excavator on either side keeps
    // its tracks outside both fences, on the side asked, its hinge over the
    // road and its arm swinging across the road.
    const std::string loop = "id square\nname Square\ntheme dusk\nwidth 14\n"
                             "straight 60\narc 30 90\nstraight 120\narc 30 90\nstraight 120\narc 30 90\nstraight 120\narc 30 90\nstraight 60\n";
    const float quarter = 30.0f * float(M_PI) / 2.0f;
    const float places[] = {40.0f, 60.0f + quarter * 0.5f, 120.0f + quarter, 240.0f + 2 * quarter, 360.0f + 3 * quarter};
    for (float at : places)
        for (const char* side : {"left", "right"}) {
            SCOPED_TRACE(std::to_string(at) + " " + side);
            coursemake::Description d;
            coursemake::CentreLine line;
            std::string error;
            ASSERT_TRUE(coursemake::Read(loop + "excavator " + std::to_string(at) + " " + side + "\n", "square.course", d, line, error))
                << error;
            const coursemake::ExcavatorPlace place = coursemake::PlaceExcavator(d, line, d.objects.back());
            const coursemake::Sample road = line.At(at);
            EXPECT_LT(line.Distance(place.hinge.x, place.hinge.z), d.HalfWidth());
            const Vector3 body = place.BodyCentre() - road.p;
            EXPECT_GT(body.Dot(road.Right()) * (side[0] == 'r' ? 1.0f : -1.0f), d.FenceOffset());
            gen::Mesh moved;
            moved.Append(gen::ExcavatorBody(), place.FromDesert());
            // Its tracks: beyond the fence, on the side asked.
            size_t low = 0, astray = 0;
            for (const gen::Primitive& p : moved.Primitives())
                for (const gen::Vertex& v : p.vertices)
                    if (v.position.y < 1.5f) {
                        ++low;
                        const float across = (v.position - road.p).Dot(road.Right()) * (side[0] == 'r' ? 1.0f : -1.0f);
                        astray += line.Distance(v.position.x, v.position.z) <= d.FenceOffset() || across <= d.FenceOffset();
                    }
            EXPECT_GT(low, 100u);
            EXPECT_EQ(astray, 0u);
            // The arm swings in the plane across the road: its own x, turned, runs along the road's right.
            const Vector3 swing = Vector3::TransformNormal({1, 0, 0}, Matrix::CreateRotationYDegrees(place.turn));
            EXPECT_NEAR(std::fabs(swing.Dot(road.Right())), 1.0f, 1e-4f);
        }
}
