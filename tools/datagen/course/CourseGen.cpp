// Road, sand, fence, the two coordinate files and the top-view map.

#include "Generator.h"
#include "course/Layout.h"
#include "course/TrackParts.h"
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

std::vector<track::Slice> Slices() {
    return track::Slices(LapLength(), [](float s) {
        const Sample a = At(s);
        return track::Slice{a.s, a.p, a.heading, a.curvature};
    });
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
    return WriteGltf(dir / "Road" / "road.gltf", track::RoadMesh(Slices(), kRoadHalfWidth, kFenceOffset, kRoadY));
}

bool WriteGround(const std::filesystem::path& dir) {
    Mesh m;
    m.useColors = true;
    const int sand = m.AddMaterial(Mat("Sand", {1, 1, 1, 1}, 0.95f, "sand.png"));
    const int rock = m.AddMaterial(Mat("Hills", {0.55f, 0.42f, 0.32f, 1}, 0.9f, ""));
    const float cx = -25.0f, cz = 70.0f;
    auto colour = [&](float x, float z) {
        float d = std::sqrt((x - cx) * (x - cx) + (z - cz) * (z - cz));
        float far = std::clamp((d - 150.0f) / 450.0f, 0.0f, 1.0f);
        float v = 0.92f + 0.1f * TileNoise(x / 1600.0f + 0.5f, z / 1600.0f + 0.5f, 12, 31);
        return Color{v * (1.0f - 0.12f * far), v * (1.0f - 0.08f * far), v * (1.0f - 0.02f * far), 1};
    };
    track::AddGroundGrid(m, sand, kGroundY, colour);
    track::AddHills(m, rock, kGroundY);
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
        if (Hash01(i, 8, 64) < 0.35f) track::AddCactus(m, cactus, i, x, z, kGroundY);
        else track::AddRock(m, stone, i, x, z, kGroundY);
    }
    return WriteGltf(dir / "Ground" / "ground01.gltf", m);
}

bool WriteFence(const std::filesystem::path& dir) {
    return WriteGltf(dir / "Wall" / "wall.gltf", track::FenceMesh(Slices(), kFenceOffset, kFenceHeight));
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
