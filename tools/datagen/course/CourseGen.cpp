// Road, sand, fence, the two coordinate files and the top-view map.

#include "Generator.h"
#include "course/Layout.h"
#include "model/GltfWriter.h"
#include "model/Texture.h"

#include <cmath>
#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>

using namespace gen;
using namespace course;

namespace {

constexpr float kSliceStep = 1.5f;

std::vector<Sample> Slices() {
    std::vector<Sample> out;
    const float L = LapLength();
    const int n = int(std::ceil(L / kSliceStep));
    for (int i = 0; i <= n; ++i) out.push_back(At(L * float(i) / float(n)));
    out.back() = out.front();
    out.back().s = L;
    return out;
}

void QuadFacing(Mesh& m, int mat, Vector3 a, Vector3 b, Vector3 c, Vector3 d, Vector3 facing, Vector2 uv0, Vector2 uv1) {
    if (FaceNormal(a, b, c).Dot(facing) < 0)
        m.Face(mat, {d, c, b, a}, {{uv1.x, uv1.y}, {uv1.x, uv0.y}, {uv0.x, uv0.y}, {uv0.x, uv1.y}});
    else
        m.Face(mat, {a, b, c, d}, {{uv0.x, uv1.y}, {uv0.x, uv0.y}, {uv1.x, uv0.y}, {uv1.x, uv1.y}});
}

bool WriteTextures(const std::filesystem::path& dir) {
    bool ok = true;
    {   // asphalt: soft grain, white edge lines, dashed centre line; 10 units per repeat along v
        Image img(128, 256);
        for (int y = 0; y < img.height; ++y)
            for (int x = 0; x < img.width; ++x) {
                float u = (x + 0.5f) / img.width, v = (y + 0.5f) / img.height;
                float n = 0.6f * TileNoise(u, v, 16, 11) + 0.4f * TileNoise(u, v, 48, 12);
                float g = 0.26f + 0.06f * n;
                float r = g, gg = g, b = g * 1.04f;
                if ((u > 0.018f && u < 0.048f) || (u > 0.952f && u < 0.982f)) r = gg = b = 0.78f;
                if (u > 0.492f && u < 0.508f && std::fmod(v, 0.5f) < 0.25f) r = gg = b = 0.8f, b = 0.55f;
                img.Set(x, y, r, gg, b);
            }
        ok &= img.Save(dir / "Road" / "asphalt.png");
    }
    {   // kerb: red and white blocks
        Image img(32, 64);
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 32; ++x) {
                bool red = (y / 32) == 0;
                float shade = 0.95f - 0.08f * float(x) / 32.0f;
                if (red) img.Set(x, y, 0.72f * shade, 0.12f * shade, 0.1f * shade);
                else img.Set(x, y, 0.82f * shade, 0.82f * shade, 0.8f * shade);
            }
        ok &= img.Save(dir / "Road" / "kerb.png");
    }
    {   // chequered start line and banner
        Image img(64, 64);
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x) {
                bool w = ((x / 8) + (y / 8)) % 2 == 0;
                float c = w ? 0.85f : 0.08f;
                img.Set(x, y, c, c, c);
            }
        ok &= img.Save(dir / "Road" / "checker.png");
    }
    {   // sand: warm, low contrast ripples
        Image img(128, 128);
        for (int y = 0; y < 128; ++y)
            for (int x = 0; x < 128; ++x) {
                float u = (x + 0.5f) / 128, v = (y + 0.5f) / 128;
                float n = 0.5f * TileNoise(u, v, 8, 21) + 0.3f * TileNoise(u, v, 32, 22) + 0.2f * TileNoise(u, v, 64, 23);
                float ripple = 0.5f + 0.5f * std::sin((v + 0.08f * TileNoise(u, v, 4, 24)) * 2 * kPi * 6);
                float k = 0.9f + 0.12f * n + 0.05f * ripple;
                img.Set(x, y, 0.62f * k, 0.5f * k, 0.33f * k);
            }
        ok &= img.Save(dir / "Ground" / "sand.png");
    }
    {   // fence: red and white barrier boards with a dark foot and cap
        Image img(64, 32);
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 64; ++x) {
                bool red = (x / 16) % 2 == 0;
                float r = red ? 0.7f : 0.85f, g = red ? 0.14f : 0.85f, b = red ? 0.12f : 0.82f;
                if (y < 3 || y >= 28) r = g = b = 0.2f;
                if (x % 16 == 0) r *= 0.7f, g *= 0.7f, b *= 0.7f;
                img.Set(x, y, r, g, b);
            }
        ok &= img.Save(dir / "Wall" / "barrier.png");
    }
    return ok;
}

bool WriteRoad(const std::filesystem::path& dir) {
    Mesh m;
    const int asphalt = m.AddMaterial(Mat("Asphalt", {1, 1, 1, 1}, 0.9f, "asphalt.png"));
    const int kerb = m.AddMaterial(Mat("Kerb", {1, 1, 1, 1}, 0.8f, "kerb.png"));
    const int checker = m.AddMaterial(Mat("StartLine", {1, 1, 1, 1}, 0.8f, "checker.png"));
    const int post = m.AddMaterial(Mat("ArchPost", {0.35f, 0.36f, 0.4f, 1}, 0.6f, ""));
    const std::vector<Sample> sl = Slices();
    const float w = kRoadHalfWidth, kw = 0.8f, y = kRoadY;
    const float vPer = 1.0f / 10.0f;
    auto at = [&](const Sample& s, float off) { Vector3 p = s.p + s.Right() * off; return Vector3{p.x, y, p.z}; };
    for (size_t i = 0; i + 1 < sl.size(); ++i) {
        const Sample &a = sl[i], &b = sl[i + 1];
        const bool bend = a.curvature != 0.0f || b.curvature != 0.0f;
        const float va = a.s * vPer, vb = b.s * vPer;
        // quads run from slice a to slice b; the face looks up (a-left, b-left, b-right, a-right)
        auto strip = [&](int mat, float o0, float o1, float u0, float u1, float v0, float v1) {
            m.Face(mat, {at(a, o0), at(b, o0), at(b, o1), at(a, o1)}, {{u0, v0}, {u0, v1}, {u1, v1}, {u1, v0}});
        };
        if (bend) {
            const float ka = a.s / 2.0f, kb = b.s / 2.0f;  // one red + white pair per 2 units
            strip(kerb, -w, -w + kw, 0, 1, ka, kb);
            strip(asphalt, -w + kw, w - kw, kw / (2 * w), 1 - kw / (2 * w), va, vb);
            strip(kerb, w - kw, w, 0, 1, ka, kb);
        } else {
            strip(asphalt, -w, w, 0, 1, va, vb);
        }
    }
    // start / finish line across the east straight at the origin, just above the asphalt
    const float ly = y + 0.01f;
    m.Face(checker, {{-w, ly, -0.6f}, {-w, ly, 0.6f}, {w, ly, 0.6f}, {w, ly, -0.6f}}, {{0, 1}, {0, 0}, {8, 0}, {8, 1}});
    // start arch: posts outside the fence, a chequered banner overhead
    const float px = kFenceOffset + 1.2f;
    m.Box(post, {-px - 0.35f, 0, -0.35f}, {-px + 0.35f, 6.2f, 0.35f});
    m.Box(post, {px - 0.35f, 0, -0.35f}, {px + 0.35f, 6.2f, 0.35f});
    m.Box(checker, {-px - 0.2f, 5.0f, -0.15f}, {px + 0.2f, 6.0f, 0.15f}, 0.5f);
    return WriteGltf(dir / "Road" / "road.gltf", m);
}

bool WriteGround(const std::filesystem::path& dir) {
    Mesh m;
    m.useColors = true;
    const int sand = m.AddMaterial(Mat("Sand", {1, 1, 1, 1}, 0.95f, "sand.png"));
    const int rock = m.AddMaterial(Mat("Hills", {0.55f, 0.42f, 0.32f, 1}, 0.9f, ""));
    const float half = 780.0f, cx = -25.0f, cz = 70.0f;
    const int n = 48;
    auto colour = [&](float x, float z) {
        float d = std::sqrt((x - cx) * (x - cx) + (z - cz) * (z - cz));
        float far = std::clamp((d - 150.0f) / 450.0f, 0.0f, 1.0f);
        float v = 0.92f + 0.1f * TileNoise(x / 1600.0f + 0.5f, z / 1600.0f + 0.5f, 12, 31);
        return Color{v * (1.0f - 0.12f * far), v * (1.0f - 0.08f * far), v * (1.0f - 0.02f * far), 1};
    };
    Primitive& p = m.Prim(sand);
    for (int j = 0; j <= n; ++j)
        for (int i = 0; i <= n; ++i) {
            float x = -half + 2 * half * float(i) / n, z = -half + 2 * half * float(j) / n;
            p.vertices.push_back({{x, kGroundY, z}, {0, 1, 0}, {x / 8.0f, -z / 8.0f}, colour(x, z)});
        }
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i) {
            uint32_t a = uint32_t(j * (n + 1) + i), b = a + uint32_t(n + 1), c = b + 1, d = a + 1;
            // (x, z) -> (x, z+1) -> (x+1, z+1) faces up
            p.indices.insert(p.indices.end(), {a, b, c, a, c, d});
        }
    // a ring of low hills on the horizon, inside the sky dome
    const int segs = 72;
    for (int i = 0; i < segs; ++i) {
        auto ridge = [&](int k) {
            float t = 2 * kPi * float(k % segs) / segs;
            float h = 25.0f + 70.0f * TileNoise(float(k % segs) / segs, 0.3f, 9, 41) + 25.0f * Hash01(uint32_t(k % segs), 1, 42);
            float r0 = 560.0f, r1 = 610.0f + 30.0f * Hash01(uint32_t(k % segs), 2, 43), r2 = 700.0f;
            Vector3 dir{std::sin(t), 0, std::cos(t)};
            return std::array<Vector3, 3>{Vector3{dir.x * r0, kGroundY - 1, dir.z * r0},
                                          Vector3{dir.x * r1, h, dir.z * r1},
                                          Vector3{dir.x * r2, kGroundY - 1, dir.z * r2}};
        };
        auto a = ridge(i), b = ridge(i + 1);
        float shade = 0.85f + 0.15f * Hash01(uint32_t(i), 3, 44);
        Color c{shade, shade, shade, 1};
        // inner slope faces the course (towards the centre), outer slope away
        Vector3 inward = -(a[1] + b[1]) * 0.5f;
        inward.y = 0;
        auto face = [&](Vector3 p0, Vector3 p1, Vector3 p2, Vector3 want) {
            if (FaceNormal(p0, p1, p2).Dot(want) < 0) std::swap(p1, p2);
            m.Face(rock, {p0, p1, p2}, {}, c);
        };
        Vector3 up{0, 1, 0};
        face(a[0], a[1], b[1], inward + up * 300.0f);
        face(a[0], b[1], b[0], inward + up * 300.0f);
        face(a[1], a[2], b[2], -inward + up * 300.0f);
        face(a[1], b[2], b[1], -inward + up * 300.0f);
    }
    // rocks and cacti scattered outside the fence
    const int stone = m.AddMaterial(Mat("Rock", {0.5f, 0.42f, 0.36f, 1}, 0.9f));
    const int cactus = m.AddMaterial(Mat("Cactus", {0.2f, 0.45f, 0.18f, 1}, 0.8f));
    int placed = 0;
    for (uint32_t i = 0; i < 4000 && placed < 90; ++i) {
        const float x = -140.0f + 260.0f * Hash01(i, 5, 61), z = -110.0f + 370.0f * Hash01(i, 6, 62);
        const float d = DistanceToCentre(x, z, 16.0f);
        if (d < 14.5f) continue;
        if (x < -60.0f && x > -80.0f && z > 12.0f && z < 34.0f) continue;  // excavator
        ++placed;
        const float size = 0.6f + 2.2f * Hash01(i, 7, 63);
        Color c{1, 1, 1, 1};
        if (Hash01(i, 8, 64) < 0.35f) {
            const float h = 1.6f + 2.5f * Hash01(i, 9, 65);
            m.Beam(cactus, {x, kGroundY, z}, {x, kGroundY + h, z}, 0.45f, 0.45f, {0, 0, 1});
            const float side = Hash01(i, 10, 66) < 0.5f ? -1.0f : 1.0f;
            m.Beam(cactus, {x, kGroundY + h * 0.45f, z}, {x + side * 0.8f, kGroundY + h * 0.45f, z}, 0.3f, 0.3f);
            m.Beam(cactus, {x + side * 0.8f, kGroundY + h * 0.4f, z}, {x + side * 0.8f, kGroundY + h * 0.8f, z}, 0.3f, 0.3f, {0, 0, 1});
            continue;
        }
        // a squashed, jittered octahedron
        const float a = 6.28f * Hash01(i, 11, 67);
        Vector3 ring[5];
        for (int k = 0; k < 5; ++k) {
            const float t = a + 6.2832f * float(k) / 5.0f;
            const float r = size * (0.75f + 0.4f * Hash01(i, 12 + uint32_t(k), 68));
            ring[k] = {x + std::cos(t) * r, kGroundY + size * 0.25f, z + std::sin(t) * r};
        }
        const Vector3 top{x + 0.2f * size, kGroundY + size * (0.7f + 0.5f * Hash01(i, 20, 69)), z};
        const Vector3 bottom{x, kGroundY - 0.3f, z};
        for (int k = 0; k < 5; ++k) {
            Vector3 p0 = ring[k], p1 = ring[(k + 1) % 5];
            Vector3 out = (p0 + p1) * 0.5f - Vector3{x, (p0.y + p1.y) * 0.5f, z};
            auto tri = [&](Vector3 q0, Vector3 q1, Vector3 q2, Vector3 want) {
                if (FaceNormal(q0, q1, q2).Dot(want) < 0) std::swap(q1, q2);
                m.Face(stone, {q0, q1, q2}, {}, c);
            };
            tri(p0, p1, top, out + Vector3{0, size, 0});
            tri(p0, p1, bottom, out - Vector3{0, size * 0.2f, 0});
        }
    }
    return WriteGltf(dir / "Ground" / "ground01.gltf", m);
}

bool WriteFence(const std::filesystem::path& dir) {
    Mesh m;
    const int board = m.AddMaterial(Mat("Barrier", {1, 1, 1, 1}, 0.7f, "barrier.png"));
    const int cap = m.AddMaterial(Mat("BarrierCap", {0.22f, 0.22f, 0.24f, 1}, 0.7f, ""));
    const std::vector<Sample> sl = Slices();
    const float h = kFenceHeight, t = 0.3f;
    for (int side = -1; side <= 1; side += 2) {
        for (size_t i = 0; i + 1 < sl.size(); ++i) {
            const Sample &a = sl[i], &b = sl[i + 1];
            const Vector3 ra = a.Right() * float(side), rb = b.Right() * float(side);
            const Vector3 ia = a.p + ra * kFenceOffset, ib = b.p + rb * kFenceOffset;
            const Vector3 oa = a.p + ra * (kFenceOffset + t), ob = b.p + rb * (kFenceOffset + t);
            const Vector3 up{0, h, 0};
            const float u0 = a.s / 4.0f, u1 = b.s / 4.0f;
            const Vector3 toTrack = -(ra + rb) * 0.5f;
            QuadFacing(m, board, ia, ia + up, ib + up, ib, toTrack, {u0, 0}, {u1, 1});
            QuadFacing(m, board, oa, oa + up, ob + up, ob, -toTrack, {u0, 0}, {u1, 1});
            QuadFacing(m, cap, ia + up, oa + up, ob + up, ib + up, {0, 1, 0}, {0, 0}, {1, 1});
        }
    }
    return WriteGltf(dir / "Wall" / "wall.gltf", m);
}

bool WriteTextFiles(const std::filesystem::path& dataDir) {
    std::error_code ec;
    std::filesystem::create_directories(dataDir / "Txt", ec);
    std::FILE* f = std::fopen((dataDir / "Txt" / "check.txt").c_str(), "w");
    if (!f) return false;
    const auto cps = Checkpoints();
    std::fprintf(f, "%d\n", int(cps.size()));
    for (const Vector3& p : cps) std::fprintf(f, "%.3f %.3f %.3f\n", p.x, 0.2f, p.z);
    std::fclose(f);
    f = std::fopen((dataDir / "Txt" / "Box.txt").c_str(), "w");
    if (!f) return false;
    const auto boxes = BoxPositions();
    std::fprintf(f, "%d\n", int(boxes.size()));
    for (const Vector3& p : boxes) std::fprintf(f, "%.3f %.3f %.3f\n", p.x, p.y, p.z);
    std::fclose(f);
    return true;
}

// Top view: x grows to the right (east), z upwards (north).
bool WriteMap(const std::filesystem::path& outDir) {
    const float x0 = -82, x1 = 22, z0 = -48, z1 = 196, ppu = 4.0f;
    const int W = int((x1 - x0) * ppu), H = int((z1 - z0) * ppu);
    Image img(W, H);
    auto px = [&](float x) { return int((x - x0) * ppu); };
    auto py = [&](float z) { return int((z1 - z) * ppu); };
    // road, sand and fence from the distance to the centre line
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            float wx = x0 + (x + 0.5f) / ppu, wz = z1 - (y + 0.5f) / ppu;
            float d = DistanceToCentre(wx, wz);
            float r = 0.78f, g = 0.66f, b = 0.45f;  // sand
            if (d > kFenceOffset + 0.3f) r = 0.62f, g = 0.52f, b = 0.36f;  // outside the fence
            if (d <= kRoadHalfWidth) r = g = 0.33f, b = 0.36f;
            if (d > kFenceOffset - 0.2f && d < kFenceOffset + 0.5f) r = 0.8f, g = 0.15f, b = 0.12f;
            img.Set(x, y, r, g, b);
        }
    auto disc = [&](float wx, float wz, float rad, float r, float g, float b) {
        for (int y = py(wz + rad); y <= py(wz - rad); ++y)
            for (int x = px(wx - rad); x <= px(wx + rad); ++x) {
                float dx = x0 + (x + 0.5f) / ppu - wx, dz = z1 - (y + 0.5f) / ppu - wz;
                if (dx * dx + dz * dz <= rad * rad) img.Set(x, y, r, g, b);
            }
    };
    auto rect = [&](float ax, float az, float bx, float bz, float r, float g, float b) {
        img.Fill(px(std::min(ax, bx)), py(std::max(az, bz)), px(std::max(ax, bx)) + 1, py(std::min(az, bz)) + 1, r, g, b);
    };
    // centre line
    for (const Sample& s : CentreLine()) img.Set(px(s.p.x), py(s.p.z), 0.6f, 0.6f, 0.6f);
    // start line and start places
    rect(-kRoadHalfWidth, -0.6f, kRoadHalfWidth, 0.6f, 0.95f, 0.95f, 0.95f);
    for (const Point2& p : kStartPlaces) disc(p.x, p.z, 0.8f, 1.0f, 0.9f, 0.1f);
    // dash panels with an arrowhead in the driving direction
    for (int k = 0; k < 2; ++k) {
        const Point2 p = k == 0 ? kDashNorth : kDashSouth;
        const float dir = k == 0 ? 1.0f : -1.0f;
        rect(p.x - 1.5f, p.z - 2.0f, p.x + 1.5f, p.z + 2.0f, 0.1f, 0.6f, 1.0f);
        for (int i = 0; i < 8; ++i) rect(p.x - (8 - i) * 0.2f, p.z + dir * (2.0f + i * 0.25f), p.x + (8 - i) * 0.2f, p.z + dir * (2.25f + i * 0.25f), 0.1f, 0.6f, 1.0f);
    }
    disc(kFloorSwitch.x, kFloorSwitch.z, 1.1f, 1.0f, 0.55f, 0.0f);
    for (const Point2& p : kWallSwitches) disc(p.x, p.z, 1.1f, 0.2f, 0.9f, 0.3f);
    // the gate at both end stops (lighter) and at rest
    for (float off : {-3.0f, 3.5f}) rect(kGate.x - kGateHalfThickness, kGate.z + off - kGateHalfLength, kGate.x + kGateHalfThickness, kGate.z + off + kGateHalfLength, 0.95f, 0.85f, 0.3f);
    rect(kGate.x - kGateHalfThickness, kGate.z - kGateHalfLength, kGate.x + kGateHalfThickness, kGate.z + kGateHalfLength, 0.95f, 0.75f, 0.0f);
    // excavator body, boom and the arm's sweep
    rect(-74.5f, 19.5f, -64.5f, 27.0f, 0.95f, 0.7f, 0.05f);
    rect(-66.0f, 22.6f, kArmHinge.x, 23.9f, 0.85f, 0.6f, 0.05f);
    rect(-57.5f, 22.9f, -34.9f, 23.6f, 0.5f, 0.4f, 0.1f);
    disc(kArmHinge.x, kArmHinge.z, 0.9f, 0.2f, 0.2f, 0.2f);
    for (const Vector3& b : BoxPositions()) rect(b.x - 0.5f, b.z - 0.5f, b.x + 0.5f, b.z + 0.5f, 0.55f, 0.33f, 0.12f);
    // checkpoints in driving order, joined as the computer bikes aim at them
    const auto cps = Checkpoints();
    auto line = [&](Vector3 a, Vector3 b) {
        const int steps = int((b - a).Length() * ppu) + 1;
        for (int k = 0; k <= steps; ++k) {
            const Vector3 p = a + (b - a) * (float(k) / float(steps));
            img.Set(px(p.x), py(p.z), 0.85f, 0.85f, 0.9f);
        }
    };
    for (size_t i = 0; i < cps.size(); ++i) line(i ? cps[i - 1] : Vector3{}, cps[i]);
    line(cps.back(), Vector3{});
    for (size_t i = 0; i < cps.size(); ++i) {
        float c = float(i) / float(cps.size());
        disc(cps[i].x, cps[i].z, 0.9f, 1.0f - c, 0.2f, c);
    }
    disc(0, 0, 0.6f, 1, 1, 1);
    // How world X/Z map to the picture, for tools that draw over it.
    std::FILE* sidecar = std::fopen((outDir / "course-map.json").string().c_str(), "w");
    if (!sidecar) return false;
    std::fprintf(sidecar, "{\"x0\":%g,\"z1\":%g,\"pixelsPerUnit\":%g,\"width\":%d,\"height\":%d}\n", x0, z1, ppu, W, H);
    std::fclose(sidecar);
    return img.Save(outDir / "course-map.png");
}

bool GenerateCourse(const GenContext& ctx) {
    const auto dir = ctx.dataDir / "Course";
    bool ok = WriteTextures(dir);
    ok &= WriteRoad(dir);
    ok &= WriteGround(dir);
    ok &= WriteFence(dir);
    ok &= WriteTextFiles(ctx.dataDir);
    ok &= WriteMap(ctx.outDir);
    return ok;
}

}  // namespace

VORLAN_REGISTER_GENERATOR("course", 10, GenerateCourse);
