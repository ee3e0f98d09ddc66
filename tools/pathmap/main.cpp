// vorlan-pathmap TRACE OUT.png [MAP.png]: the three bikes' paths from a game
// trace drawn over the course map (see PathMap.h). Prints one JSON line per
// bike: race frames, the share of them on the road, laps, wall hits and the
// longest stand-still.

#include "tools/pathmap/PathMap.h"

#include <cstdio>
#include <fstream>
#include <string>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: vorlan-pathmap TRACE OUT.png [MAP.png]\n");
        return 2;
    }
    pathmap::Map map;
    std::string error;
    if (!pathmap::LoadMap(argc > 3 ? argv[3] : "course-map.png", map, error)) {
        std::fprintf(stderr, "vorlan-pathmap: %s\n", error.c_str());
        return 1;
    }
    std::ifstream trace(argv[1]);
    std::array<pathmap::BikeStats, 3> stats;
    if (!pathmap::DrawTrace(trace, map, stats, error)) {
        std::fprintf(stderr, "vorlan-pathmap: %s: %s\n", argv[1], error.c_str());
        return 1;
    }
    const std::string png = pathmap::EncodePng(map);
    std::ofstream out(argv[2], std::ios::binary);
    if (png.empty() || !out.write(png.data(), std::streamsize(png.size())) || !out.flush()) {
        std::fprintf(stderr, "vorlan-pathmap: cannot write %s\n", argv[2]);
        return 1;
    }
    for (int i = 0; i < 3; ++i) {
        const pathmap::BikeStats& s = stats[size_t(i)];
        std::printf("{\"bike\":%d,\"raceFrames\":%ld,\"onRoad\":%.4f,\"laps\":%ld,\"wallHits\":%ld,\"longestStill\":%ld}\n",
                    i, s.raceFrames, s.raceFrames ? double(s.roadFrames) / double(s.raceFrames) : 0.0, s.laps,
                    s.wallHits, s.longestStill);
    }
    return 0;
}
