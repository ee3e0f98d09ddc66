// The three bike bodies (with riders) and the shared wheel.
//
// A bike's origin is its centre at riding height (0.2 above the ground, 0.05
// above the road top); it faces +Z with +X to its right. The game hangs the
// wheels at (0, 0.23, front) and (0, 0.23, rear), so the wheel radius of 0.28
// puts the tyres on the road.

#include "Generator.h"
#include "model/GltfWriter.h"

#include <algorithm>
#include <cmath>

using namespace gen;

namespace {

constexpr float kAxleY = 0.23f;
constexpr float kWheelRadius = 0.28f;

struct Livery {
    const char* name;
    Color body, accent, suit, helmet;
};

Mesh Bike(const Livery& l, float front, float rear, float k) {
    Mesh m;
    const int body = m.AddMaterial(Mat(std::string(l.name) + "Body", l.body, 0.35f));
    const int accent = m.AddMaterial(Mat(std::string(l.name) + "Accent", l.accent, 0.4f));
    const int dark = m.AddMaterial(Mat("Dark", {0.08f, 0.08f, 0.09f, 1}, 0.6f));
    const int steel = m.AddMaterial(Mat("Steel", {0.55f, 0.56f, 0.6f, 1}, 0.3f));
    const int suit = m.AddMaterial(Mat(std::string(l.name) + "Suit", l.suit, 0.7f));
    const int helmet = m.AddMaterial(Mat(std::string(l.name) + "Helmet", l.helmet, 0.3f));
    const int visor = m.AddMaterial(Mat("Visor", {0.05f, 0.07f, 0.12f, 1}, 0.15f));
    const int lamp = m.AddMaterial(Mat("HeadLamp", {1.0f, 0.95f, 0.7f, 1}, 0.3f, "", {1.0f, 0.9f, 0.6f}));
    const int tail = m.AddMaterial(Mat("TailLamp", {0.9f, 0.1f, 0.05f, 1}, 0.3f, "", {0.9f, 0.05f, 0.02f}));
    const float len = (front - rear) / 1.09f;  // 1 for the standard wheelbase
    auto P = [&](float x, float y, float z) { return Vector3{x * k, y * k, z * len}; };
    auto B = [&](int mat, Vector3 a, Vector3 b) {
        m.Box(mat, {std::min(a.x, b.x), std::min(a.y, b.y), std::min(a.z, b.z)},
              {std::max(a.x, b.x), std::max(a.y, b.y), std::max(a.z, b.z)});
    };
    // machine
    B(dark, P(-0.13f, 0.06f, -0.24f), P(0.13f, 0.38f, 0.2f));                       // engine
    B(steel, P(-0.15f, 0.12f, -0.05f), P(0.15f, 0.3f, 0.12f));                      // cylinder fins
    m.Beam(body, P(0, 0.47f, -0.12f), P(0, 0.6f, 0.33f), 0.3f * k, 0.2f * k);       // tank
    m.Beam(body, P(0, 0.52f, 0.28f), P(0, 0.74f, 0.56f), 0.36f * k, 0.22f * k);     // fairing
    m.Beam(accent, P(0, 0.36f, 0.18f), P(0, 0.52f, 0.5f), 0.34f * k, 0.12f * k);    // side stripe
    m.Beam(visor, P(0, 0.78f, 0.43f), P(0, 0.9f, 0.36f), 0.3f * k, 0.03f * k);      // windscreen
    B(dark, P(-0.13f, 0.5f, -0.52f), P(0.13f, 0.6f, -0.06f));                       // seat
    m.Beam(body, P(0, 0.56f, -0.46f), P(0, 0.64f, -0.74f), 0.24f * k, 0.12f * k);   // tail
    B(accent, P(-0.06f, 0.6f, -0.74f), P(0.06f, 0.66f, -0.7f));
    B(tail, P(-0.07f, 0.55f, -0.78f), P(0.07f, 0.62f, -0.74f));
    B(lamp, P(-0.08f, 0.6f, 0.56f), P(0.08f, 0.7f, 0.6f));
    m.Beam(body, P(0, 0.5f, front / len + 0.0f), P(0, 0.5f, front / len - 0.3f), 0.14f * k, 0.04f * k);  // mudguard
    // front fork from the axle to the steering head, handlebar
    const Vector3 head = P(0, 0.8f, 0.36f);
    for (float sx : {-0.08f, 0.08f}) {
        m.Cylinder(steel, {sx * k, kAxleY, front}, {sx * k, head.y, head.z}, 0.025f * k, 6);
        m.Beam(steel, {sx * k, kAxleY, rear}, P(sx, 0.3f, -0.16f), 0.04f * k, 0.07f * k);  // swing arm
    }
    m.Cylinder(dark, {-0.3f * k, head.y + 0.03f, head.z - 0.04f}, {0.3f * k, head.y + 0.03f, head.z - 0.04f}, 0.022f * k, 6);
    m.Cylinder(steel, P(0.17f, 0.2f, -0.1f), P(0.19f, 0.4f, -0.72f), 0.05f * k, 8);  // exhaust
    // rider: tucked in, hands on the bar
    const Vector3 hip = P(0, 0.64f, -0.28f), shoulder = P(0, 1.02f, 0.06f);
    m.Beam(suit, hip, shoulder, 0.34f * k, 0.22f * k);
    m.Beam(accent, hip + Vector3{0, 0.12f * k, 0.02f}, shoulder + Vector3{0, 0.05f * k, -0.02f}, 0.36f * k, 0.06f * k);
    B(helmet, P(-0.13f, 1.04f, 0.0f), P(0.13f, 1.28f, 0.27f));
    B(visor, P(-0.11f, 1.09f, 0.27f), P(0.11f, 1.19f, 0.29f));
    for (float sx : {-1.0f, 1.0f}) {
        const Vector3 sh = shoulder + Vector3{sx * 0.18f * k, -0.02f, 0};
        const Vector3 hand = Vector3{sx * 0.27f * k, head.y + 0.03f, head.z - 0.04f};
        m.Beam(suit, sh, hand, 0.08f * k, 0.08f * k);
        const Vector3 h = hip + Vector3{sx * 0.13f * k, 0, 0}, knee = P(sx * 0.2f, 0.56f, 0.12f), foot = P(sx * 0.17f, 0.24f, -0.12f);
        m.Beam(suit, h, knee, 0.13f * k, 0.13f * k);
        m.Beam(dark, knee, foot, 0.1f * k, 0.1f * k);
    }
    return m;
}

// Axle along X through the origin; spokes in contrasting colours show the spin.
Mesh Wheel() {
    Mesh m;
    const int tyre = m.AddMaterial(Mat("Tyre", {0.07f, 0.07f, 0.07f, 1}, 0.9f));
    const int rim = m.AddMaterial(Mat("Rim", {0.6f, 0.6f, 0.64f, 1}, 0.3f));
    const int spoke = m.AddMaterial(Mat("Spoke", {0.85f, 0.55f, 0.1f, 1}, 0.4f));
    const float w = 0.06f;
    m.Cylinder(tyre, {-w, 0, 0}, {w, 0, 0}, kWheelRadius, 18);
    m.Cylinder(rim, {-w - 0.004f, 0, 0}, {w + 0.004f, 0, 0}, 0.2f, 18);
    const int hub = m.AddMaterial(Mat("Hub", {0.15f, 0.15f, 0.16f, 1}, 0.5f));
    m.Cylinder(hub, {-w - 0.03f, 0, 0}, {w + 0.03f, 0, 0}, 0.05f, 10);
    // three spokes through the hub on each side
    for (int i = 0; i < 3; ++i) {
        const float a = float(i) * kPi / 3.0f;
        const Vector3 d{0, std::sin(a) * 0.19f, std::cos(a) * 0.19f};
        for (float sx : {-w - 0.012f, w + 0.012f})
            m.Beam(spoke, Vector3{sx, 0, 0} - d, Vector3{sx, 0, 0} + d, 0.012f, 0.05f, {1, 0, 0});
    }
    return m;
}

bool GenerateBikes(const GenContext& ctx) {
    const auto dir = ctx.dataDir / "Bike";
    const Livery player{"Player", {0.75f, 0.08f, 0.06f, 1}, {0.9f, 0.9f, 0.88f, 1}, {0.12f, 0.12f, 0.14f, 1}, {0.95f, 0.95f, 0.95f, 1}};
    const Livery first{"Blue", {0.08f, 0.25f, 0.75f, 1}, {0.95f, 0.8f, 0.1f, 1}, {0.1f, 0.14f, 0.3f, 1}, {0.95f, 0.8f, 0.1f, 1}};
    const Livery second{"Green", {0.15f, 0.6f, 0.12f, 1}, {0.1f, 0.1f, 0.1f, 1}, {0.85f, 0.85f, 0.8f, 1}, {0.1f, 0.55f, 0.1f, 1}};
    bool ok = WriteGltf(dir / "bike001.gltf", Bike(player, 0.53f, -0.56f, 1.0f));
    ok &= WriteGltf(dir / "bike002.gltf", Bike(first, 0.53f, -0.56f, 1.0f));
    ok &= WriteGltf(dir / "bike003.gltf", Bike(second, 0.68f, -0.63f, 1.15f));
    ok &= WriteGltf(dir / "wheel002.gltf", Wheel());
    return ok;
}

}  // namespace

VORLAN_REGISTER_GENERATOR("bikes", 30, GenerateBikes);
