#pragma once
// The parts every course is built from, whatever its line: walking a line of
// straights and arcs, slicing it, and the road, fence, ground, hills,
// scenery, sky and sun meshes along it. The desert's generator and the course
// maker both build with these, so a course from a description is made the
// way the desert is.

#include "model/Mesh.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

namespace track {

// One cross-section of the road: where it is along the lap and how it turns.
struct Slice {
    float s;          // distance along the lap
    Vector3 p;        // on the ground plane (y = 0)
    float heading;    // degrees, 0 = +Z, positive turns right
    float curvature;  // 1 / radius, positive for right turns
    Vector3 Right() const;
};

// Where a walk along the line has got to, in double precision.
struct Walker {
    double x = 0, z = 0, h = 0, s = 0;
};

// Steps along one straight (turn 0) or arc (radius, degrees) about `step`
// apart; begin(k) is told the segment's curvature first, then each() runs
// after every step with the walker moved on. Length and turn keep the type
// they are written in (a description's are floats), which decides how the
// arithmetic rounds.
template <class Number, class Begin, class Each>
void WalkSegment(Walker& w, Number length, Number turn, double step, Begin begin, Each each) {
    const bool arc = turn != 0.0;
    const double len = arc ? length * std::fabs(turn) * M_PI / 180.0 : length;
    const int n = std::max(1, int(std::lround(len / step)));
    const double ds = len / n, dh = arc ? turn / n : 0.0;
    const double k = arc ? (turn > 0 ? 1.0 : -1.0) / length : 0.0;
    begin(k);
    for (int i = 0; i < n; ++i) {
        // exact chord of the arc step
        const double hm = (w.h + dh * 0.5) * M_PI / 180.0;
        const double chord = arc ? 2.0 * length * std::sin(std::fabs(dh) * M_PI / 360.0) : ds;
        w.x += std::sin(hm) * chord;
        w.z += std::cos(hm) * chord;
        w.h += dh;
        w.s += ds;
        each(k);
    }
}

// The sample at s (wrapped into the lap) on a densely sampled closed line,
// interpolated between its neighbours; any sample type with s, p, heading
// and curvature.
template <class S>
S Interpolate(const std::vector<S>& line, float s) {
    if (line.empty() || line.back().s <= 0) return S{};
    const float L = line.back().s;
    s = std::fmod(s, L);
    if (s < 0) s += L;
    auto it = std::lower_bound(line.begin(), line.end(), s, [](const S& a, float v) { return a.s < v; });
    if (it == line.begin()) return line.front();
    if (it == line.end()) return line.back();
    const S& b = *it;
    const S& a = *(it - 1);
    const float t = (b.s - a.s) > 0 ? (s - a.s) / (b.s - a.s) : 0.0f;
    S r = a;
    r.s = s;
    r.p = a.p + (b.p - a.p) * t;
    r.heading = a.heading + (b.heading - a.heading) * t;
    r.curvature = b.curvature;
    return r;
}

// Cross-sections about 1.5 apart round a lap of the given length; the last is the first again.
std::vector<Slice> Slices(float length, const std::function<Slice(float s)>& at);

// The asphalt (kerbs in the bends), the chequered start line at the origin
// and the start arch with its posts just outside the fences.
gen::Mesh RoadMesh(const std::vector<Slice>& slices, float halfWidth, float fenceOffset, float roadY);
// The fence both sides, boards facing the track and away from it, with a cap.
gen::Mesh FenceMesh(const std::vector<Slice>& slices, float fenceOffset, float height);

// The flat ground, 1560 wide about the origin, in a 48 x 48 grid of vertex colours.
void AddGroundGrid(gen::Mesh& m, int material, float groundY, const std::function<gen::Color(float x, float z)>& colour);
// A ring of hills on the horizon, inside the sky dome.
void AddHills(gen::Mesh& m, int material, float groundY);
// Scenery number i at (x, z): a cactus of height-pick i, or a squashed, jittered rock.
void AddCactus(gen::Mesh& m, int material, uint32_t i, float x, float z, float groundY);
void AddRock(gen::Mesh& m, int material, uint32_t i, float x, float z, float groundY, gen::Color colour = {});

// The sky dome (radius 760 about the origin, seen from inside) coloured by
// elevation, and the sun's disc towards toSun.
void AddDome(gen::Mesh& m, int material, const std::function<gen::Color(float elevation)>& colour);
void AddSun(gen::Mesh& m, int material, const Vector3& toSun, gen::Color colour);

}  // namespace track
