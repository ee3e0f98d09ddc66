#include "tools/pathmap/PathMap.h"

#include <nlohmann/json.hpp>

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#include <stb_image.h>
#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

#include <algorithm>
#include <cmath>
#include <fstream>

namespace pathmap {

namespace {

using nlohmann::json;

// Courses reach 300 m from the start; anything far past that is not a place.
constexpr double kFarthest = 100000.0;
constexpr int kMaxSide = 8192;

const uint8_t kColours[3][3] = {{255, 255, 255}, {255, 140, 0}, {0, 220, 255}};
const uint8_t kWallHit[3] = {230, 20, 20};

struct Canvas {
    Map& map;

    void Dot(double wx, double wz, const uint8_t* c, int radius) {
        const int cx = int((wx - map.x0) * map.ppu), cy = int((map.z1 - wz) * map.ppu);
        for (int y = cy - radius; y <= cy + radius; ++y)
            for (int x = cx - radius; x <= cx + radius; ++x) {
                if (x < 0 || y < 0 || x >= map.width || y >= map.height) continue;
                if ((x - cx) * (x - cx) + (y - cy) * (y - cy) > radius * radius) continue;
                uint8_t* p = &map.rgba[(size_t(y) * size_t(map.width) + size_t(x)) * 4];
                p[0] = c[0], p[1] = c[1], p[2] = c[2], p[3] = 255;
            }
    }
    void Line(double ax, double az, double bx, double bz, const uint8_t* c, int radius) {
        // Two dots a pixel, and never more than the picture could need.
        const double length = std::min(std::hypot(bx - ax, bz - az) * map.ppu, double(2 * kMaxSide));
        const int steps = std::max(1, int(length * 2));
        for (int k = 0; k <= steps; ++k) {
            const double t = double(k) / steps;
            Dot(ax + (bx - ax) * t, az + (bz - az) * t, c, radius);
        }
    }
    void Ring(double wx, double wz, const uint8_t* c) {
        for (int a = 0; a < 64; ++a) {
            const double r = 2.2, t = a * 2 * M_PI / 64;
            Dot(wx + r * std::cos(t), wz + r * std::sin(t), c, 1);
        }
    }
    void Cross(double wx, double wz, const uint8_t* c) {
        Line(wx - 1, wz - 1, wx + 1, wz + 1, c, 1);
        Line(wx - 1, wz + 1, wx + 1, wz - 1, c, 1);
    }
};

bool Place(const json& v) { return v.is_number() && std::isfinite(v.get<double>()) && std::fabs(v.get<double>()) < kFarthest; }

const json* Field(const json& object, const char* name) {
    if (!object.is_object()) return nullptr;
    const auto it = object.find(name);
    return it == object.end() ? nullptr : &*it;
}

}  // namespace

bool LoadMap(const std::string& png, Map& map, std::string& error) {
    const std::string sidecarPath = png.substr(0, png.rfind('.')) + ".json";
    std::ifstream sidecar(sidecarPath);
    int channels = 0, width = 0, height = 0;
    uint8_t* pixels = stbi_load(png.c_str(), &width, &height, &channels, 4);
    if (!pixels || !sidecar) {
        error = "cannot read " + png + " and " + sidecarPath;
        if (pixels) stbi_image_free(pixels);
        return false;
    }
    if (width > kMaxSide || height > kMaxSide) {
        stbi_image_free(pixels);
        error = png + ": larger than " + std::to_string(kMaxSide) + " pixels a side";
        return false;
    }
    map.width = width, map.height = height;
    map.rgba.assign(pixels, pixels + size_t(width) * size_t(height) * 4);
    stbi_image_free(pixels);
    const json mapping = json::parse(sidecar, nullptr, false);
    const json* x0 = Field(mapping, "x0");
    const json* z1 = Field(mapping, "z1");
    const json* ppu = Field(mapping, "pixelsPerUnit");
    if (!x0 || !z1 || !ppu || !Place(*x0) || !Place(*z1) || !Place(*ppu) || ppu->get<double>() <= 0) {
        error = sidecarPath + ": x0, z1 and pixelsPerUnit are not all numbers";
        return false;
    }
    map.x0 = x0->get<double>(), map.z1 = z1->get<double>(), map.ppu = ppu->get<double>();
    return true;
}

bool DrawTrace(std::istream& trace, Map& map, std::array<BikeStats, 3>& stats, std::string& error) {
    struct Last {
        long lap = 1, still = 0;
        bool had = false, hit = false;
        double x = 0, z = 0;
    } last[3];
    Canvas canvas{map};
    std::string text;
    long lineNo = 0;
    while (std::getline(trace, text)) {
        ++lineNo;
        const std::string where = "line " + std::to_string(lineNo) + ": ";
        const json frame = json::parse(text, nullptr, false);
        if (!frame.is_object()) {
            error = where + "not a JSON object";
            return false;
        }
        // Frames of the title and the result screens hold no bikes.
        const json* bikes = Field(frame, "bikes");
        if (!bikes || !bikes->is_array() || bikes->size() != 3) continue;
        const json* mode = Field(frame, "mode");
        const json* timer = Field(frame, "timer");
        const json* countdown = timer ? Field(*timer, "countdown") : nullptr;
        const bool racing = mode && *mode == 0 && countdown && *countdown == 0;
        const json* course = Field(frame, "course");
        const json* onSand = course ? Field(*course, "onSand") : nullptr;
        for (size_t i = 0; i < 3; ++i) {
            const json& bike = (*bikes)[i];
            const json* pos = Field(bike, "pos");
            if (!pos || !pos->is_array() || pos->size() < 3 || !Place((*pos)[0]) || !Place((*pos)[2])) {
                error = where + "bikes[" + std::to_string(i) + "].pos: not a place";
                return false;
            }
            const double x = (*pos)[0].get<double>(), z = (*pos)[2].get<double>();
            const json* lapField = Field(bike, "lap");
            const json* hitField = Field(bike, "hitWall");
            if ((lapField && !lapField->is_number_integer()) || (hitField && !hitField->is_boolean())) {
                error = where + "bikes[" + std::to_string(i) + "]: lap or hitWall of the wrong type";
                return false;
            }
            const long lap = lapField ? std::clamp<long>(lapField->get<long>(), -1000, 1000) : 1;
            const bool hit = hitField && hitField->get<bool>();
            Last& l = last[i];
            BikeStats& s = stats[i];
            if (l.had) canvas.Line(l.x, l.z, x, z, kColours[i], 1);
            if (lap != l.lap) canvas.Ring(x, z, kColours[i]);
            if (hit && !l.hit) {
                canvas.Cross(x, z, kWallHit);
                ++s.wallHits;
            }
            if (racing) {
                ++s.raceFrames;
                const bool sand = onSand && onSand->is_array() && i < onSand->size() && (*onSand)[i] == true;
                if (!sand) ++s.roadFrames;
                const bool moved = l.had && std::hypot(x - l.x, z - l.z) > 0.02;
                l.still = moved ? 0 : l.still + 1;
                s.longestStill = std::max(s.longestStill, l.still);
            }
            l.lap = lap;
            s.laps = lap - 1;
            l.hit = hit;
            l.x = x, l.z = z, l.had = true;
        }
    }
    return true;
}

std::string EncodePng(const Map& map) {
    std::string out;
    if (map.width <= 0 || map.height <= 0 || map.rgba.size() != size_t(map.width) * size_t(map.height) * 4) return out;
    stbi_write_png_to_func(
        [](void* context, void* data, int size) { static_cast<std::string*>(context)->append(static_cast<char*>(data), size_t(size)); },
        &out, map.width, map.height, 4, map.rgba.data(), map.width * 4);
    return out;
}

}  // namespace pathmap
