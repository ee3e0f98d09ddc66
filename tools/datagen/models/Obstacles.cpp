// Wood box and its fragments, the floor and wall switches, the dash panel and
// the sliding gate.

#include "Generator.h"
#include "course/Layout.h"
#include "model/GltfWriter.h"
#include "model/Texture.h"

#include <algorithm>
#include <cmath>

using namespace gen;

namespace {

bool WoodTexture(const std::filesystem::path& path) {
    // planks running across, a darker frame and a diagonal brace
    Image img(64, 64);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            float u = (x + 0.5f) / 64, v = (y + 0.5f) / 64;
            int plank = y / 13;
            float grain = 0.85f + 0.15f * TileNoise(u * 0.25f, v, 8, 50 + uint32_t(plank));
            float k = grain * (0.92f + 0.08f * Hash01(uint32_t(plank), 0, 51));
            if (y % 13 == 0) k *= 0.55f;
            bool frame = x < 6 || x >= 58 || y < 6 || y >= 58;
            bool brace = std::abs(x - y) < 4;
            if (frame || brace) k *= 0.72f;
            if (frame && ((x == 3 || x == 60) && (y == 3 || y == 60))) k *= 0.4f;  // nails
            img.Set(x, y, 0.62f * k, 0.42f * k, 0.22f * k);
        }
    return img.Save(path);
}

bool WriteBoxes(const std::filesystem::path& dir) {
    bool ok = WoodTexture(dir / "wood.png");
    {
        // origin at the bottom centre; 1 unit cube, tall enough for the forward probe at 0.2
        Mesh m;
        const int wood = m.AddMaterial(Mat("Wood", {1, 1, 1, 1}, 0.85f, "wood.png"));
        m.Box(wood, {-0.5f, 0.0f, -0.5f}, {0.5f, 1.0f, 0.5f});
        ok &= WriteGltf(dir / "WoodBox.gltf", m);
    }
    // fragments are drawn at scale 0.3 about their centre
    {
        Mesh m;  // a plank
        const int wood = m.AddMaterial(Mat("Wood", {1, 1, 1, 1}, 0.85f, "wood.png"));
        m.Box(wood, {-0.6f, -0.1f, -0.22f}, {0.6f, 0.1f, 0.22f}, 0.8f);
        ok &= WriteGltf(dir / "Fragment1.gltf", m);
    }
    {
        Mesh m;  // a splintered wedge
        const int wood = m.AddMaterial(Mat("Wood", {1, 1, 1, 1}, 0.85f, "wood.png"));
        const Vector3 a{-0.45f, -0.3f, -0.15f}, b{0.45f, -0.3f, -0.15f}, c{-0.3f, 0.4f, -0.15f};
        const Vector3 d{-0.45f, -0.3f, 0.15f}, e{0.45f, -0.3f, 0.15f}, f{-0.3f, 0.4f, 0.15f};
        m.Face(wood, {a, c, b}, {{0, 1}, {0.15f, 0}, {1, 1}});
        m.Face(wood, {d, e, f}, {{0, 1}, {1, 1}, {0.15f, 0}});
        m.Quad(wood, a, d, f, c);
        m.Quad(wood, b, c, f, e);
        m.Quad(wood, a, b, e, d);
        ok &= WriteGltf(dir / "Fragment2.gltf", m);
    }
    {
        Mesh m;  // a corner chunk with its frame
        const int wood = m.AddMaterial(Mat("Wood", {1, 1, 1, 1}, 0.85f, "wood.png"));
        m.Box(wood, {-0.3f, -0.3f, -0.3f}, {0.3f, 0.3f, 0.3f}, 0.7f);
        ok &= WriteGltf(dir / "Fragment3.gltf", m);
    }
    return ok;
}

// Switch pads: origin on the pad's underside; the world places it at y = 0.1,
// so the pad's top (y < 0.1) stays under the bikes' downward probe at 0.2 and
// above the road at 0.15.
bool WriteSwitches(const std::filesystem::path& dir) {
    bool ok = true;
    const Color frame{0.2f, 0.2f, 0.22f, 1};
    for (int on = 0; on <= 1; ++on) {
        Mesh m;
        const int base = m.AddMaterial(Mat("SwitchBase", frame, 0.6f));
        const int ring = m.AddMaterial(Mat("SwitchRing", {0.75f, 0.62f, 0.1f, 1}, 0.6f));
        const int button = m.AddMaterial(on ? Mat("ButtonOn", {0.95f, 0.75f, 0.2f, 1}, 0.4f, "", {0.9f, 0.55f, 0.1f})
                                            : Mat("ButtonOff", {0.72f, 0.22f, 0.08f, 1}, 0.5f));
        m.Cylinder(base, {0, 0, 0}, {0, 0.07f, 0}, 0.95f, 24);
        m.Cylinder(ring, {0, 0.07f, 0}, {0, 0.075f, 0}, 0.85f, 24, true, 0.8f);
        m.Cylinder(button, {0, 0.07f, 0}, {0, on ? 0.078f : 0.095f, 0}, 0.6f, 20);
        ok &= WriteGltf(dir / (on ? "switchON.gltf" : "switchOFF.gltf"), m);
    }
    for (int on = 0; on <= 1; ++on) {
        Mesh m;
        const int base = m.AddMaterial(Mat("WallSwitchBase", frame, 0.6f));
        const int plate = m.AddMaterial(Mat("WallSwitchPlate", {0.1f, 0.45f, 0.7f, 1}, 0.6f));
        const int button = m.AddMaterial(on ? Mat("WallButtonOn", {0.3f, 0.95f, 0.4f, 1}, 0.4f, "", {0.15f, 0.8f, 0.25f})
                                            : Mat("WallButtonOff", {0.1f, 0.5f, 0.2f, 1}, 0.5f));
        m.Box(base, {-0.95f, 0, -0.95f}, {0.95f, 0.07f, 0.95f});
        m.Box(plate, {-0.8f, 0.07f, -0.8f}, {0.8f, 0.074f, 0.8f}, 0.0f, false);
        m.Box(button, {-0.5f, 0.074f, -0.5f}, {0.5f, on ? 0.078f : 0.095f, 0.5f}, 0.0f, false);
        ok &= WriteGltf(dir / (on ? "WallSwitchON.gltf" : "WallSwitchOFF.gltf"), m);
    }
    return ok;
}

// Dash panel: origin at its placement (y = 0.05), 3 wide and 4 long along +Z;
// the top (0.18 in the world) lies between the road and the bikes' probe.
// The texture offset grows in v, which moves the picture towards smaller v,
// so v runs from 0 at the front edge to 2 at the back and the arrows point
// towards smaller v.
bool WriteDash(const std::filesystem::path& dir) {
    Image img(64, 64);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            float u = (x + 0.5f) / 64 - 0.5f, v = (y + 0.5f) / 64;
            // chevron: tip at the top of the tile
            float d = v - 0.25f - std::fabs(u) * 0.9f;
            bool arrow = d > 0.0f && d < 0.28f && std::fabs(u) < 0.42f;
            float r = 0.05f, g = 0.12f, b = 0.3f;
            if (arrow) r = 0.2f, g = 0.85f, b = 1.0f;
            if (std::fabs(u) > 0.46f) r = 0.9f, g = 0.75f, b = 0.1f;  // side rails
            img.Set(x, y, r, g, b);
        }
    bool ok = img.Save(dir / "dash.png");
    Mesh m;
    const int top = m.AddMaterial(Mat("DashArrows", {1, 1, 1, 1}, 0.5f, "dash.png", {0.6f, 0.6f, 0.6f}, "dash.png"));
    const int side = m.AddMaterial(Mat("DashFrame", {0.25f, 0.25f, 0.28f, 1}, 0.6f));
    const float hw = 1.5f, hl = 2.0f, h = 0.13f;
    m.Face(top, {{-hw, h, -hl}, {-hw, h, hl}, {hw, h, hl}, {hw, h, -hl}}, {{0, 2}, {0, 0}, {1, 0}, {1, 2}});
    m.Quad(side, {-hw, 0, -hl}, {-hw, h, -hl}, {hw, h, -hl}, {hw, 0, -hl});
    m.Quad(side, {hw, 0, hl}, {hw, h, hl}, {-hw, h, hl}, {-hw, 0, hl});
    m.Quad(side, {-hw, 0, hl}, {-hw, h, hl}, {-hw, h, -hl}, {-hw, 0, -hl});
    m.Quad(side, {hw, 0, -hl}, {hw, h, -hl}, {hw, h, hl}, {hw, 0, hl});
    ok &= WriteGltf(dir / "Dash.gltf", m);
    return ok;
}

// Sliding gate: length along local X (the game turns it 90 degrees so X runs
// along world -Z), origin at its bottom centre.
bool WriteGate(const std::filesystem::path& dir) {
    Image img(64, 32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 64; ++x) {
            bool yellow = ((x + y) / 8) % 2 == 0;
            float r = yellow ? 0.85f : 0.08f, g = yellow ? 0.68f : 0.08f, b = yellow ? 0.08f : 0.08f;
            if (y < 2 || y >= 30) r = g = b = 0.3f;
            img.Set(x, y, r, g, b);
        }
    bool ok = img.Save(dir / "hazard.png");
    Mesh m;
    const int stripes = m.AddMaterial(Mat("Hazard", {1, 1, 1, 1}, 0.6f, "hazard.png"));
    const int steel = m.AddMaterial(Mat("GateFrame", {0.3f, 0.32f, 0.36f, 1}, 0.5f));
    const float hl = course::kGateHalfLength, ht = course::kGateHalfThickness, h = course::kGateHeight;
    // A flat rhombus in plan: every face is slanted to a bike coming along
    // the road, so the wall push-out slides it off towards a tip instead of
    // pinning it, whichever way it is steering and wherever the gate stands.
    const float apex = ht + 2.5f, y0 = 0.15f;
    const Vector2 plan[4] = {{-hl, 0}, {0, -apex}, {hl, 0}, {0, apex}};
    float run = 0;
    for (int i = 0; i < 4; ++i) {
        const Vector2 a = plan[i], b = plan[(i + 1) % 4];
        const float len = (b - a).Length();
        const Vector3 pa{a.x, 0, a.y}, pb{b.x, 0, b.y};
        const Vector3 outward = Vector3{(a.x + b.x) * 0.5f, 0, (a.y + b.y) * 0.5f};
        Vector3 q[4] = {pa + Vector3{0, y0, 0}, pa + Vector3{0, h, 0}, pb + Vector3{0, h, 0}, pb + Vector3{0, y0, 0}};
        if (FaceNormal(q[0], q[1], q[2]).Dot(outward) < 0) std::swap(q[0], q[3]), std::swap(q[1], q[2]);
        m.Quad(stripes, q[0], q[1], q[2], q[3], {run * 0.5f, 0}, {(run + len) * 0.5f, 1});
        run += len;
    }
    std::vector<Vector3> top, bottom;
    for (const Vector2& p : plan) top.push_back({p.x, h, p.y}), bottom.push_back({p.x, y0, p.y});
    if (FaceNormal(top[0], top[1], top[2]).y < 0) std::reverse(top.begin(), top.end());
    if (FaceNormal(bottom[0], bottom[1], bottom[2]).y > 0) std::reverse(bottom.begin(), bottom.end());
    m.Face(steel, top);
    m.Face(steel, bottom);
    // a foot rail, low enough to pass under the bikes' probes
    m.Box(steel, {-hl + 1.0f, 0, -ht + 0.05f}, {hl - 1.0f, y0, ht - 0.05f});
    ok &= WriteGltf(dir / "wall02.gltf", m);
    return ok;
}

bool GenerateObstacles(const GenContext& ctx) {
    bool ok = WriteBoxes(ctx.dataDir / "Obstacle" / "WoodBox");
    ok &= WriteSwitches(ctx.dataDir / "Obstacle" / "Switch");
    ok &= WriteDash(ctx.dataDir / "Obstacle" / "Dash");
    ok &= WriteGate(ctx.dataDir / "Course" / "Wall");
    return ok;
}

}  // namespace

VORLAN_REGISTER_GENERATOR("obstacles", 20, GenerateObstacles);
