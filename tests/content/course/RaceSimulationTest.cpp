// Drives three bikes round the generated course with the computer bikes'
// rules (throttle always, checkpoint steering with a random dead band of up
// to 29 degrees, wall push-out and reflex right turn, sand cap, dash boost,
// the gate moved by its switches) to check that the course can be raced:
// every bike finishes three laps and spends most of its time on the road.

#include "ContentModel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>

namespace {

// Triangles of a model in world space, with centres for a cheap range filter.
struct Soup {
    std::vector<Vector3> v;  // three per triangle
    std::vector<Vector3> centre;
    explicit Soup(const ContentModel& m, const Matrix& world = Matrix()) {
        for (const auto& n : m.nodes)
            for (size_t f = 0; f + 2 < n.faces.size(); f += 3) {
                Vector3 t[3];
                for (int k = 0; k < 3; ++k) t[k] = Vector3::Transform(n.positions[n.faces[f + size_t(k)]], n.transform * world);
                v.insert(v.end(), {t[0], t[1], t[2]});
                centre.push_back((t[0] + t[1] + t[2]) / 3.0f);
            }
    }
    // nearest hit among triangles whose centre lies within `range` of the origin (horizontally)
    bool Cast(Vector3 o, Vector3 d, float range, float& dist, Vector3& normal, Vector3 shift = {}) const {
        bool hit = false;
        dist = 3.4e38f;
        for (size_t i = 0; i < centre.size(); ++i) {
            const Vector3 c = centre[i] + shift;
            if (std::fabs(c.x - o.x) > range || std::fabs(c.z - o.z) > range) continue;
            float t;
            const Vector3 a = v[3 * i] + shift, b = v[3 * i + 1] + shift, e = v[3 * i + 2] + shift;
            if (RayTriangleIntersects(o, d, a, b, e, t) && t < dist) {
                dist = t;
                normal = (b - a).Cross(e - a).Normalized();
                hit = true;
            }
        }
        return hit;
    }
};

struct Bike {
    Vector3 pos;
    float yaw = 0, speed = 0.4f;
    unsigned lap = 1, index = 0;
    int tolerance = 5;
    bool onPanel[2] = {false, false};
    int frames = 0, roadFrames = 0, finishFrame = -1;
};

bool PushOut(const Soup& s, Vector3 o, Vector3 d, Vector3& push, Vector3 shift = {}) {
    float dist;
    Vector3 n;
    if (!s.Cast(o, d, 25.0f, dist, n, shift)) return false;
    const float a = -d.Dot(n);
    const float limit = 1.0f / a;
    if (limit < dist) return false;
    push = n * ((limit - dist) * a);
    return true;
}

std::vector<Vector3> ReadCheckpoints() {
    std::vector<Vector3> out;
    std::FILE* f = std::fopen(DataPath("Txt/check.txt").c_str(), "r");
    if (!f) return out;
    int n = 0;
    if (std::fscanf(f, "%d\n", &n) == 1)
        for (int i = 0; i < n && i < 59; ++i) {
            Vector3 v;
            if (std::fscanf(f, "%f %f %f\n", &v.x, &v.y, &v.z) != 3) break;
            out.push_back(v);
        }
    std::fclose(f);
    return out;
}

// VORLAN_SIM_SEEDS=N runs N races instead of three (for tuning the course).
TEST(RaceSimulation, ComputerBikesFinishThreeLapsMostlyOnTheRoad) {
    const ContentModel roadModel = LoadContentModel(DataPath("Course/Road/road.gltf"));
    const ContentModel wallModel = LoadContentModel(DataPath("Course/Wall/wall.gltf"));
    const ContentModel gateModel = LoadContentModel(DataPath("Course/Wall/wall02.gltf"));
    const ContentModel dashModel = LoadContentModel(DataPath("Obstacle/Dash/Dash.gltf"));
    ASSERT_TRUE(roadModel.ok && wallModel.ok && gateModel.ok && dashModel.ok);
    const Soup road(roadModel), wall(wallModel);
    const Soup gate(gateModel, Matrix::CreateRotationY(90.0f * kDegToRad) * Matrix::CreateTranslation(-18, 0, -30));
    const Soup dash[2] = {Soup(dashModel, Matrix::CreateTranslation(-18.5f, 0.05f, 72.0f)),
                          Soup(dashModel, Matrix::CreateRotationY(180.0f * kDegToRad) * Matrix::CreateTranslation(-50.0f, 0.05f, 30.0f))};
    std::vector<Vector3> targets = ReadCheckpoints();
    ASSERT_FALSE(targets.empty());
    const unsigned n = unsigned(targets.size());
    targets.push_back({0, 0, 0});
    const Vector3 switches[2] = {{-27, 0.1f, -25}, {-27, 0.1f, -33.5f}};

    for (unsigned seed = 1; seed <= (std::getenv("VORLAN_SIM_SEEDS") ? unsigned(std::atoi(std::getenv("VORLAN_SIM_SEEDS"))) : 3u); ++seed) {
        std::mt19937 rng(seed);
        Bike bikes[3];
        bikes[0].pos = {-2, 0.2f, -2};
        bikes[1].pos = {0, 0.2f, -2};
        bikes[2].pos = {2, 0.2f, -2};
        float gateOffset = 0;
        bool raising = false, lowering = false, latched[2] = {false, false};
        const int limit = 60 * 240;
        for (int frame = 0; frame < limit; ++frame) {
            bool allDone = true;
            for (Bike& b : bikes) {
                if (b.finishFrame >= 0) continue;
                allDone = false;
                const Vector3 fwd{std::sin(b.yaw * kDegToRad), 0, std::cos(b.yaw * kDegToRad)};
                // walls
                Vector3 p1, p2;
                const bool h1 = PushOut(wall, b.pos, fwd, p1);
                const bool h2 = PushOut(gate, b.pos + Vector3{0, 0.2f, 0}, fwd, p2, {0, 0, gateOffset});
                if (h1) b.pos += p1;
                if (h2) b.pos += p2;
                const bool hitWall = h1 || h2;
                // checkpoints
                const Vector3 to = targets[b.index] - b.pos;
                if (to.Length() <= 20.0f) {
                    if (b.index < n) ++b.index;
                    else b.index = 0, ++b.lap;
                    b.tolerance = int(rng() % 30);
                }
                if (b.lap >= 4) {
                    b.finishFrame = frame;
                    continue;
                }
                b.speed += 0.01f;
                // steering
                const Vector3 dir = (targets[b.index] - b.pos).Normalized();
                float angle = float(std::acos(double(fwd.Dot(dir)))) * kRadToDeg;
                if (fwd.Cross(dir).Normalized().y < 0) angle = -angle;
                if (angle > float(b.tolerance)) b.yaw += 1.5f;
                if (angle < -float(b.tolerance)) b.yaw -= 1.5f;
                if (hitWall) b.yaw += 1.5f;
                // movement
                if (b.speed > 0) b.speed -= 0.005f;
                if (b.speed < 0) b.speed = 0;
                if (b.speed > 0.4f) b.speed -= 0.01f;
                b.pos.y = 0.2f;
                b.pos += Vector3{std::sin(b.yaw * kDegToRad), 0, std::cos(b.yaw * kDegToRad)} * b.speed;
                // ground
                float d;
                Vector3 nrm;
                ++b.frames;
                if (road.Cast(b.pos, {0, -1, 0}, 12.0f, d, nrm)) ++b.roadFrames;
                else if (b.speed > 0.15f) b.speed = 0.15f;
                // dash panels
                for (int k = 0; k < 2; ++k) {
                    if (!b.onPanel[k]) b.onPanel[k] = dash[k].Cast(b.pos, {0, -1, 0}, 4.0f, d, nrm);
                    else b.speed = 0.7f, b.onPanel[k] = false;
                }
            }
            if (allDone) break;
            // wall switches move the gate
            bool trigger = false;
            for (int k = 0; k < 2; ++k) {
                bool on = false;
                for (const Bike& b : bikes) on = on || (switches[k] - b.pos).Length() < 1.3f;
                if (!on) latched[k] = false;
                else if (!latched[k]) latched[k] = trigger = true;
            }
            if (trigger) {
                if (!raising) raising = true, lowering = false;
                else lowering = true, raising = false;
            }
            if (raising) gateOffset = std::min(3.5f, gateOffset + 0.2f);
            if (lowering) gateOffset = std::max(-3.0f, gateOffset - 0.2f);
        }
        for (int i = 0; i < 3; ++i) {
            const Bike& b = bikes[i];
            SCOPED_TRACE("seed " + std::to_string(seed) + " bike " + std::to_string(i));
            EXPECT_GE(b.finishFrame, 0) << "stuck at lap " << b.lap << " target " << b.index << " at " << b.pos.x << ", " << b.pos.z;
            const float share = b.frames ? float(b.roadFrames) / float(b.frames) : 0.0f;
            EXPECT_GT(share, 0.85f);
            std::printf("seed %u bike %d: %d frames, %.1f%% on the road\n", seed, i, b.finishFrame, 100.0f * share);
        }
    }
}

}  // namespace
