#include "course/Layout.h"

#include "course/TrackParts.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace course {
namespace {

struct Segment {
    double length;  // straight length, or arc radius
    double turn;    // degrees, 0 for a straight; positive turns right
};

// Centre line, starting on the east straight below the start line and heading
// north. The top is a balloon loop (a right, a long left and a right bend) so
// that the hairpin between x = -18.5 and x = -50 has radii the bikes can hold.
std::vector<Segment> Segments() {
    const double sBendRadius = 40.0;
    const double sBendTurn = std::acos(1.0 - 18.5 / (2.0 * sBendRadius)) * 180.0 / M_PI;
    const double sBendRise = 2.0 * sBendRadius * std::sin(sBendTurn * M_PI / 180.0);
    const double topZ = 120.0, neckRadius = 18.0, loopRadius = 28.0;
    const double neckTurn = std::acos((15.75 + neckRadius) / (neckRadius + loopRadius)) * 180.0 / M_PI;
    const double startZ = -12.25, sBendZ = 18.0;
    return {
        {sBendZ - startZ, 0},
        {sBendRadius, -sBendTurn},
        {sBendRadius, sBendTurn},
        {topZ - (sBendZ + sBendRise), 0},
        {neckRadius, neckTurn},
        {loopRadius, -(180.0 + 2.0 * neckTurn)},
        {neckRadius, neckTurn},
        {topZ + 9.25, 0},   // west straight down to the bottom-left bend
        {20.0, -90.0},
        {13.0, 0},          // bottom straight: wall switches and the gate
        {17.0, -90.0},
    };
}

std::vector<Sample> Build() {
    const double step = 0.25;
    std::vector<Sample> out;
    track::Walker w{0.0, -12.25, 0.0, 0.0};
    out.push_back({0.0f, {0, 0, float(w.z)}, 0.0f, 0.0f});
    for (const Segment& seg : Segments())
        track::WalkSegment(w, seg.length, seg.turn, step, [&](double k) { out.back().curvature = float(k); },
                           [&](double k) { out.push_back({float(w.s), {float(w.x), 0, float(w.z)}, float(w.h), float(k)}); });
    // close exactly (the loop is built to meet itself; remove rounding)
    out.back().p = out.front().p;
    out.back().heading = out.front().heading + 360.0f * std::round(out.back().heading / 360.0f);
    return out;
}

}  // namespace

Vector3 Sample::Right() const {
    const float r = heading * kDegToRad;
    return {std::cos(r), 0, -std::sin(r)};
}
Vector3 Sample::Forward() const {
    const float r = heading * kDegToRad;
    return {std::sin(r), 0, std::cos(r)};
}

const std::vector<Sample>& CentreLine() {
    static const std::vector<Sample> line = Build();
    return line;
}

float LapLength() { return CentreLine().back().s; }

Sample At(float s) { return track::Interpolate(CentreLine(), s); }

namespace {
constexpr float kCell = 4.0f;
struct Grid {
    float minX = 0, minZ = 0;
    int nx = 0, nz = 0;
    std::vector<std::vector<uint32_t>> cells;
};
const Grid& SegmentGrid() {
    static const Grid grid = [] {
        Grid g;
        const auto& line = CentreLine();
        float maxX = -1e30f, maxZ = -1e30f;
        g.minX = g.minZ = 1e30f;
        for (const Sample& s : line) {
            g.minX = std::min(g.minX, s.p.x), g.minZ = std::min(g.minZ, s.p.z);
            maxX = std::max(maxX, s.p.x), maxZ = std::max(maxZ, s.p.z);
        }
        g.nx = int((maxX - g.minX) / kCell) + 1;
        g.nz = int((maxZ - g.minZ) / kCell) + 1;
        g.cells.resize(size_t(g.nx) * size_t(g.nz));
        for (size_t i = 0; i + 1 < line.size(); ++i) {
            int cx = int((line[i].p.x - g.minX) / kCell), cz = int((line[i].p.z - g.minZ) / kCell);
            g.cells[size_t(cz) * size_t(g.nx) + size_t(cx)].push_back(uint32_t(i));
        }
        return g;
    }();
    return grid;
}
}  // namespace

float DistanceToCentre(float x, float z, float maxDistance) {
    const auto& line = CentreLine();
    const Grid& g = SegmentGrid();
    float best = maxDistance * maxDistance;
    const int reach = int(std::ceil(maxDistance / kCell)) + 1;
    const int cx = int(std::floor((x - g.minX) / kCell)), cz = int(std::floor((z - g.minZ) / kCell));
    for (int j = std::max(0, cz - reach); j <= std::min(g.nz - 1, cz + reach); ++j)
        for (int i = std::max(0, cx - reach); i <= std::min(g.nx - 1, cx + reach); ++i)
            for (uint32_t k : g.cells[size_t(j) * size_t(g.nx) + size_t(i)]) {
                const Vector3 a = line[k].p, b = line[k + 1].p;
                const float dx = b.x - a.x, dz = b.z - a.z;
                const float len2 = dx * dx + dz * dz;
                float t = len2 > 0 ? ((x - a.x) * dx + (z - a.z) * dz) / len2 : 0.0f;
                t = std::clamp(t, 0.0f, 1.0f);
                const float ex = a.x + dx * t - x, ez = a.z + dz * t - z;
                best = std::min(best, ex * ex + ez * ez);
            }
    return std::sqrt(best);
}

std::vector<Vector3> Checkpoints() {
    // Even spacing along the lap, pushed towards the outside of bends: the
    // bikes count a point from 20 units away and cut towards the next one.
    std::vector<Vector3> out;
    const float spacing = 11.0f, outward = 3.0f;
    const float first = 12.25f + 22.0f;  // beyond the reach of the start places
    for (float s = first; s < LapLength() - 4.0f && out.size() < 58; s += spacing) {
        const Sample here = At(s);
        const Sample back = At(s - 2.0f), ahead = At(s + 2.0f);
        const float bend = ahead.heading - back.heading;
        float off = 0.0f;
        if (std::fabs(bend) > 0.5f) off = bend < 0 ? outward : -outward;
        const Vector3 p = here.p + here.Right() * off;
        out.push_back({p.x, 0.0f, p.z});
    }
    return out;
}

std::vector<Vector3> BoxPositions() {
    // Over the west straight, south of the floor switch and around the
    // excavator: they drop onto the road when the switch is pressed.
    return {
        {-52.0f, 5.0f, 50.0f}, {-47.5f, 5.5f, 47.0f}, {-50.5f, 6.5f, 42.0f}, {-53.5f, 6.0f, 37.5f},
        {-47.0f, 6.0f, 36.0f}, {-51.5f, 8.0f, 20.0f}, {-48.0f, 8.0f, 16.5f}, {-53.0f, 8.5f, 13.0f},
    };
}

}  // namespace course
