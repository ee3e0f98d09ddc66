// vorlan-pathmap TRACE OUT.png [MAP.png]: the three bikes' paths from a game
// trace drawn over the course map (player white, first computer bike orange,
// second computer bike cyan), with a ring where a bike starts a lap and a red
// cross where it hits a wall. Prints one JSON line per bike: race frames,
// the share of them on the road, laps, wall hits and the longest stand-still.

#include "framework/ImageWrite.h"

#include <nlohmann/json.hpp>

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#include <stb_image.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {
struct Canvas {
    int width = 0, height = 0;
    std::vector<unsigned char> rgba;
    double x0 = 0, z1 = 0, ppu = 1;

    void Dot(double wx, double wz, const unsigned char* c, int radius) {
        const int cx = int((wx - x0) * ppu), cy = int((z1 - wz) * ppu);
        for (int y = cy - radius; y <= cy + radius; ++y)
            for (int x = cx - radius; x <= cx + radius; ++x) {
                if (x < 0 || y < 0 || x >= width || y >= height) continue;
                if ((x - cx) * (x - cx) + (y - cy) * (y - cy) > radius * radius) continue;
                unsigned char* p = &rgba[(size_t(y) * width + x) * 4];
                p[0] = c[0], p[1] = c[1], p[2] = c[2], p[3] = 255;
            }
    }
    void Line(double ax, double az, double bx, double bz, const unsigned char* c, int radius) {
        const double length = std::hypot(bx - ax, bz - az) * ppu;
        const int steps = std::max(1, int(length * 2));
        for (int k = 0; k <= steps; ++k) {
            const double t = double(k) / steps;
            Dot(ax + (bx - ax) * t, az + (bz - az) * t, c, radius);
        }
    }
    void Ring(double wx, double wz, const unsigned char* c) {
        for (int a = 0; a < 64; ++a) {
            const double r = 2.2, t = a * 2 * M_PI / 64;
            Dot(wx + r * std::cos(t), wz + r * std::sin(t), c, 1);
        }
    }
    void Cross(double wx, double wz, const unsigned char* c) {
        Line(wx - 1, wz - 1, wx + 1, wz + 1, c, 1);
        Line(wx - 1, wz + 1, wx + 1, wz - 1, c, 1);
    }
};

const unsigned char kColours[3][3] = {{255, 255, 255}, {255, 140, 0}, {0, 220, 255}};
const unsigned char kWallHit[3] = {230, 20, 20};
}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: vorlan-pathmap TRACE OUT.png [MAP.png]\n");
        return 2;
    }
    const std::string mapPath = argc > 3 ? argv[3] : "course-map.png";
    std::string sidecarPath = mapPath.substr(0, mapPath.rfind('.')) + ".json";
    Canvas canvas;
    std::ifstream sidecar(sidecarPath);
    int channels = 0;
    unsigned char* map = stbi_load(mapPath.c_str(), &canvas.width, &canvas.height, &channels, 4);
    if (!map || !sidecar) {
        std::fprintf(stderr, "vorlan-pathmap: cannot read %s and %s\n", mapPath.c_str(), sidecarPath.c_str());
        if (map) stbi_image_free(map);
        return 1;
    }
    canvas.rgba.assign(map, map + size_t(canvas.width) * canvas.height * 4);
    stbi_image_free(map);
    try {
        const auto mapping = nlohmann::json::parse(sidecar);
        canvas.x0 = mapping.at("x0").get<double>();
        canvas.z1 = mapping.at("z1").get<double>();
        canvas.ppu = mapping.at("pixelsPerUnit").get<double>();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "vorlan-pathmap: bad %s: %s\n", sidecarPath.c_str(), e.what());
        return 1;
    }

    struct Stats {
        long raceFrames = 0, roadFrames = 0, wallHits = 0, still = 0, longestStill = 0;
        long lap = 1;
        bool hadLast = false, lastHit = false;
        double lastX = 0, lastZ = 0;
    } stats[3];
    std::ifstream trace(argv[1]);
    std::string text;
    long lineNo = 0;
    while (std::getline(trace, text)) {
        ++lineNo;
        nlohmann::json frame;
        try {
            frame = nlohmann::json::parse(text);
        } catch (const std::exception&) {
            std::fprintf(stderr, "vorlan-pathmap: line %ld is not JSON\n", lineNo);
            return 1;
        }
        const auto& bikes = frame["bikes"];
        if (!bikes.is_array() || bikes.size() != 3) continue;
        const bool racing = frame.value("mode", 1) == 0 && frame["timer"].is_object() &&
                            frame["timer"].value("countdown", 1) == 0;
        for (int i = 0; i < 3; ++i) {
            const auto& bike = bikes[size_t(i)];
            const double x = bike["pos"][0].get<double>(), z = bike["pos"][2].get<double>();
            Stats& s = stats[i];
            if (s.hadLast) canvas.Line(s.lastX, s.lastZ, x, z, kColours[i], 1);
            const long lap = bike.value("lap", 1L);
            if (lap != s.lap) canvas.Ring(x, z, kColours[i]);
            const bool hit = bike.value("hitWall", false);
            if (hit && !s.lastHit) {
                canvas.Cross(x, z, kWallHit);
                ++s.wallHits;
            }
            if (racing) {
                ++s.raceFrames;
                const auto& course = frame["course"];
                const bool onSand = course.is_object() && course["onSand"][size_t(i)].get<bool>();
                if (!onSand) ++s.roadFrames;
                const bool moved = s.hadLast && std::hypot(x - s.lastX, z - s.lastZ) > 0.02;
                s.still = moved ? 0 : s.still + 1;
                s.longestStill = std::max(s.longestStill, s.still);
            }
            s.lap = lap;
            s.lastHit = hit;
            s.lastX = x, s.lastZ = z, s.hadLast = true;
        }
    }
    if (!WritePng(argv[2], canvas.width, canvas.height, canvas.rgba.data())) {
        std::fprintf(stderr, "vorlan-pathmap: cannot write %s\n", argv[2]);
        return 1;
    }
    for (int i = 0; i < 3; ++i) {
        const Stats& s = stats[i];
        std::printf("{\"bike\":%d,\"raceFrames\":%ld,\"onRoad\":%.4f,\"laps\":%ld,\"wallHits\":%ld,\"longestStill\":%ld}\n",
                    i, s.raceFrames, s.raceFrames ? double(s.roadFrames) / double(s.raceFrames) : 0.0, s.lap - 1,
                    s.wallHits, s.longestStill);
    }
    return 0;
}
