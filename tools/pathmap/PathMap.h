#pragma once
// The bikes' paths of a game trace drawn over a course map: the player
// white, the first computer bike orange, the second cyan, a ring where a
// bike starts a lap and a red cross where it hits a wall. Used by the
// path-map tool and by the leaderboard for a verified run's picture, where
// the trace comes from a sandboxed verifier: every field is checked, and a
// frame that does not hold what a frame holds is refused with its line.

#include <array>
#include <cstdint>
#include <istream>
#include <string>
#include <vector>

namespace pathmap {

struct Map {
    int width = 0, height = 0;
    std::vector<uint8_t> rgba;
    // World X of the left edge, world Z of the top edge, pixels per metre.
    double x0 = 0, z1 = 0, ppu = 1;
};

struct BikeStats {
    long raceFrames = 0, roadFrames = 0, wallHits = 0, longestStill = 0;
    long laps = 0;
};

// Reads MAP.png and the sidecar beside it (MAP.json: x0, z1, pixelsPerUnit).
bool LoadMap(const std::string& png, Map& map, std::string& error);
// Draws every frame of a trace (one JSON object a line) over the map;
// false with "line N: why" at the first line that is not a frame.
bool DrawTrace(std::istream& trace, Map& map, std::array<BikeStats, 3>& stats, std::string& error);
// The map as PNG bytes (empty when it cannot be encoded).
std::string EncodePng(const Map& map);

}  // namespace pathmap
