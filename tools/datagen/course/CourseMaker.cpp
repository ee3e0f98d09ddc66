#include "course/CourseMaker.h"

#include "course/TrackParts.h"
#include "model/GltfWriter.h"
#include "model/Texture.h"
#include "models/ExcavatorModel.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <optional>
#include <sstream>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace gen;

namespace coursemake {
namespace {

constexpr float kRoadY = 0.15f;    // bikes ride at 0.2 and look down onto this
constexpr float kGroundY = 0.08f;  // a little below the road
constexpr float kFenceHeight = 1.2f;
// Where the objects a course does without stand: on the ground, beyond the sky dome.
constexpr float kAwayX = 650.0f, kAwayZ = -650.0f;

struct Rgb {
    float r, g, b;
};

struct Theme {
    Rgb asphalt, line, kerbA, kerbB, ground, groundFar, fenceA, fenceB, hills, rock, plant;
    Rgb skyHorizon, skyZenith;
    Vector3 sunDirection;  // where the light travels
    Rgb sun, ambient;
    enum Scenery { kRocksAndCacti, kTrees, kRocks } scenery;
    float ripple;  // ground texture ripples (sand), 0 for none
};

// The race music of each theme, in the game's Sound folder.
std::string MusicOf(const std::string& theme) {
    if (theme == "meadow") return "RaceMeadow.wav";
    if (theme == "dusk") return "RaceDusk.wav";
    return "BGM.wav";
}

Theme ThemeNamed(const std::string& name) {
    if (name == "meadow")
        return {{0.24f, 0.25f, 0.28f}, {0.9f, 0.9f, 0.88f}, {0.15f, 0.45f, 0.2f}, {0.88f, 0.88f, 0.86f},
                {0.3f, 0.5f, 0.2f}, {0.36f, 0.52f, 0.3f}, {0.12f, 0.3f, 0.7f}, {0.88f, 0.88f, 0.9f},
                {0.3f, 0.45f, 0.3f}, {0.48f, 0.47f, 0.45f}, {0.16f, 0.38f, 0.14f},
                {0.78f, 0.88f, 0.95f}, {0.2f, 0.45f, 0.9f}, {-0.35f, -1.0f, -0.25f},
                {3.2f, 3.05f, 2.8f}, {0.55f, 0.6f, 0.66f}, Theme::kTrees, 0.0f};
    if (name == "dusk")
        return {{0.2f, 0.19f, 0.22f}, {0.95f, 0.8f, 0.3f}, {0.9f, 0.7f, 0.1f}, {0.12f, 0.12f, 0.14f},
                {0.45f, 0.28f, 0.22f}, {0.35f, 0.22f, 0.25f}, {0.92f, 0.72f, 0.12f}, {0.14f, 0.14f, 0.16f},
                {0.32f, 0.2f, 0.26f}, {0.4f, 0.28f, 0.26f}, {0.3f, 0.32f, 0.18f},
                {0.98f, 0.55f, 0.3f}, {0.22f, 0.16f, 0.42f}, {0.75f, -0.45f, 0.45f},
                {3.0f, 2.2f, 1.5f}, {0.5f, 0.42f, 0.55f}, Theme::kRocks, 0.6f};
    return {{0.26f, 0.26f, 0.27f}, {0.8f, 0.8f, 0.8f}, {0.72f, 0.12f, 0.1f}, {0.82f, 0.82f, 0.8f},
            {0.62f, 0.5f, 0.33f}, {0.55f, 0.46f, 0.33f}, {0.7f, 0.14f, 0.12f}, {0.85f, 0.85f, 0.82f},
            {0.55f, 0.42f, 0.32f}, {0.5f, 0.42f, 0.36f}, {0.2f, 0.45f, 0.18f},
            {0.82f, 0.9f, 0.97f}, {0.22f, 0.45f, 0.85f}, {0.0f, -1.0f, 0.3f},
            {3.0f, 3.0f, 3.0f}, {0.6f, 0.6f, 0.6f}, Theme::kRocksAndCacti, 1.0f};
}

std::vector<track::Slice> Slices(const CentreLine& line) {
    return track::Slices(line.Length(), [&line](float s) {
        const Sample a = line.At(s);
        return track::Slice{a.s, a.p, a.heading, a.curvature};
    });
}

// Distance to the line over samples a metre apart, bucketed: enough for
// placing scenery and painting the map. Beyond maxDistance it answers maxDistance.
struct NearLine {
    static constexpr float kCell = 8.0f;
    std::vector<Vector3> points;
    float minX = 0, minZ = 0, reach;
    int nx = 0, nz = 0;
    std::vector<std::vector<uint32_t>> cells;
    NearLine(const CentreLine& line, float maxDistance) : reach(maxDistance) {
        for (size_t i = 0; i < line.samples.size(); i += 4) points.push_back(line.samples[i].p);
        points.push_back(line.samples.back().p);
        float maxX, maxZ;
        line.Bounds(minX, minZ, maxX, maxZ);
        nx = int((maxX - minX) / kCell) + 1, nz = int((maxZ - minZ) / kCell) + 1;
        cells.resize(size_t(nx) * size_t(nz));
        for (size_t i = 0; i + 1 < points.size(); ++i) {
            const int cx = std::clamp(int((points[i].x - minX) / kCell), 0, nx - 1);
            const int cz = std::clamp(int((points[i].z - minZ) / kCell), 0, nz - 1);
            cells[size_t(cz) * size_t(nx) + size_t(cx)].push_back(uint32_t(i));
        }
    }
    float Distance(float x, float z) const {
        float best = reach * reach;
        const int r = int(std::ceil(reach / kCell)) + 1;
        const int cx = int(std::floor((x - minX) / kCell)), cz = int(std::floor((z - minZ) / kCell));
        for (int j = std::max(0, cz - r); j <= std::min(nz - 1, cz + r); ++j)
            for (int i = std::max(0, cx - r); i <= std::min(nx - 1, cx + r); ++i)
                for (uint32_t k : cells[size_t(j) * size_t(nx) + size_t(i)]) {
                    const Vector3 a = points[k], b = points[k + 1];
                    const float dx = b.x - a.x, dz = b.z - a.z, len2 = dx * dx + dz * dz;
                    float t = len2 > 0 ? ((x - a.x) * dx + (z - a.z) * dz) / len2 : 0.0f;
                    t = std::clamp(t, 0.0f, 1.0f);
                    const float ex = a.x + dx * t - x, ez = a.z + dz * t - z;
                    best = std::min(best, ex * ex + ez * ez);
                }
        return std::sqrt(best);
    }
};

bool WriteTextures(const fs::path& dir, const Theme& t) {
    bool ok = true;
    {   // asphalt: soft grain, edge lines, dashed centre line; 10 units per repeat along v
        Image img(128, 256);
        for (int y = 0; y < img.height; ++y)
            for (int x = 0; x < img.width; ++x) {
                const float u = (x + 0.5f) / img.width, v = (y + 0.5f) / img.height;
                const float n = 0.6f * TileNoise(u, v, 16, 11) + 0.4f * TileNoise(u, v, 48, 12);
                const float k = 1.0f + 0.23f * (n - 0.5f);
                float r = t.asphalt.r * k, g = t.asphalt.g * k, b = t.asphalt.b * k;
                if ((u > 0.018f && u < 0.048f) || (u > 0.952f && u < 0.982f)) r = t.line.r, g = t.line.g, b = t.line.b;
                if (u > 0.492f && u < 0.508f && std::fmod(v, 0.5f) < 0.25f) r = t.line.r, g = t.line.g, b = t.line.b * 0.7f;
                img.Set(x, y, r, g, b);
            }
        ok &= img.Save(dir / "Road" / "asphalt.png");
    }
    {   // kerb blocks
        Image img(32, 64);
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 32; ++x) {
                const Rgb c = (y / 32) == 0 ? t.kerbA : t.kerbB;
                const float shade = 0.95f - 0.08f * float(x) / 32.0f;
                img.Set(x, y, c.r * shade, c.g * shade, c.b * shade);
            }
        ok &= img.Save(dir / "Road" / "kerb.png");
    }
    {   // chequered start line and banner
        Image img(64, 64);
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x) {
                const float c = ((x / 8) + (y / 8)) % 2 == 0 ? 0.85f : 0.08f;
                img.Set(x, y, c, c, c);
            }
        ok &= img.Save(dir / "Road" / "checker.png");
    }
    {   // ground: low contrast grain, ripples on sand
        Image img(128, 128);
        for (int y = 0; y < 128; ++y)
            for (int x = 0; x < 128; ++x) {
                const float u = (x + 0.5f) / 128, v = (y + 0.5f) / 128;
                const float n = 0.5f * TileNoise(u, v, 8, 21) + 0.3f * TileNoise(u, v, 32, 22) + 0.2f * TileNoise(u, v, 64, 23);
                const float ripple = 0.5f + 0.5f * std::sin((v + 0.08f * TileNoise(u, v, 4, 24)) * 2 * kPi * 6);
                const float k = 0.9f + 0.14f * n + 0.05f * ripple * t.ripple;
                img.Set(x, y, t.ground.r * k, t.ground.g * k, t.ground.b * k);
            }
        ok &= img.Save(dir / "Ground" / "ground.png");
    }
    {   // fence boards with a dark foot and cap
        Image img(64, 32);
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 64; ++x) {
                const Rgb c = (x / 16) % 2 == 0 ? t.fenceA : t.fenceB;
                float r = c.r, g = c.g, b = c.b;
                if (y < 3 || y >= 28) r = g = b = 0.2f;
                if (x % 16 == 0) r *= 0.7f, g *= 0.7f, b *= 0.7f;
                img.Set(x, y, r, g, b);
            }
        ok &= img.Save(dir / "Wall" / "barrier.png");
    }
    return ok;
}

bool WriteRoad(const fs::path& dir, const Description& d, const CentreLine& line) {
    return WriteGltf(dir / "Road" / "road.gltf", track::RoadMesh(Slices(line), d.HalfWidth(), d.FenceOffset(), kRoadY));
}

bool WriteGround(const fs::path& dir, const Description& d, const CentreLine& line, const Theme& t,
                 const std::optional<ExcavatorPlace>& excavator) {
    Mesh m;
    m.useColors = true;
    const int ground = m.AddMaterial(Mat("Ground", {1, 1, 1, 1}, 0.95f, "ground.png"));
    const int hillMat = m.AddMaterial(Mat("Hills", {t.hills.r, t.hills.g, t.hills.b, 1}, 0.9f, ""));
    float minX, minZ, maxX, maxZ;
    line.Bounds(minX, minZ, maxX, maxZ);
    const float cx = (minX + maxX) * 0.5f, cz = (minZ + maxZ) * 0.5f;
    auto colour = [&](float x, float z) {
        const float dd = std::sqrt((x - cx) * (x - cx) + (z - cz) * (z - cz));
        const float far = std::clamp((dd - 150.0f) / 450.0f, 0.0f, 1.0f);
        const float v = 0.92f + 0.1f * TileNoise(x / 1600.0f + 0.5f, z / 1600.0f + 0.5f, 12, 31);
        auto mix = [&](float a, float b) { return v * (1.0f + far * (b / std::max(a, 0.01f) - 1.0f) * 0.6f); };
        return Color{mix(t.ground.r, t.groundFar.r), mix(t.ground.g, t.groundFar.g), mix(t.ground.b, t.groundFar.b), 1};
    };
    track::AddGroundGrid(m, ground, kGroundY, colour);
    track::AddHills(m, hillMat, kGroundY);
    // scenery outside the fence
    const int stone = m.AddMaterial(Mat("Rock", {t.rock.r, t.rock.g, t.rock.b, 1}, 0.9f));
    const int plant = m.AddMaterial(Mat("Plant", {t.plant.r, t.plant.g, t.plant.b, 1}, 0.8f));
    const int trunk = m.AddMaterial(Mat("Trunk", {0.36f, 0.25f, 0.16f, 1}, 0.9f));
    const NearLine near(line, d.FenceOffset() + 6.0f);
    const float spanX = maxX - minX + 80.0f, spanZ = maxZ - minZ + 80.0f;
    const int wanted = std::clamp(int(line.Length() / 5.0f), 40, 160);
    int placed = 0;
    const float clear = d.FenceOffset() + 4.0f;
    for (uint32_t i = 0; i < 4000 && placed < wanted; ++i) {
        const float x = minX - 40.0f + spanX * Hash01(i, 5, 61), z = minZ - 40.0f + spanZ * Hash01(i, 6, 62);
        if (std::fabs(x) < clear + 3.0f && std::fabs(z) < 4.0f) continue;  // the start arch
        if (near.Distance(x, z) < clear) continue;
        if (excavator && std::hypot(x - excavator->BodyCentre().x, z - excavator->BodyCentre().z) < 9.0f)
            continue;  // where the excavator stands
        ++placed;
        const float pick = Hash01(i, 8, 64);
        if (t.scenery == Theme::kTrees && pick < 0.7f) {
            const float h = 3.0f + 4.0f * Hash01(i, 9, 65);
            m.Beam(trunk, {x, kGroundY, z}, {x, kGroundY + h * 0.4f, z}, 0.45f, 0.45f, {0, 0, 1});
            m.Cylinder(plant, {x, kGroundY + h * 0.3f, z}, {x, kGroundY + h, z}, 1.0f + 0.25f * h, 7, true, 0.05f);
        } else if (t.scenery == Theme::kRocksAndCacti && pick < 0.35f) {
            track::AddCactus(m, plant, i, x, z, kGroundY);
        } else {
            track::AddRock(m, stone, i, x, z, kGroundY);
        }
    }
    return WriteGltf(dir / "Ground" / "ground.gltf", m);
}

bool WriteFence(const fs::path& dir, const Description& d, const CentreLine& line) {
    return WriteGltf(dir / "Wall" / "wall.gltf", track::FenceMesh(Slices(line), d.FenceOffset(), kFenceHeight));
}

// Sky dome around the origin in the theme's colours, with the sun where the light comes from.
bool WriteSky(const fs::path& dir, const Theme& t) {
    Mesh m;
    m.useColors = true;
    const int sky = m.AddMaterial(Mat("Sky", {1, 1, 1, 1}, 1.0f));
    const int sun = m.AddMaterial(Mat("Sun", {1, 1, 1, 1}, 1.0f));
    track::AddDome(m, sky, [&t](float elev) {
        const float k = std::pow(1.0f - std::clamp(elev, 0.0f, 1.0f), 3.0f);
        return Color{t.skyZenith.r + (t.skyHorizon.r - t.skyZenith.r) * k, t.skyZenith.g + (t.skyHorizon.g - t.skyZenith.g) * k,
                     t.skyZenith.b + (t.skyHorizon.b - t.skyZenith.b) * k, 1};
    });
    track::AddSun(m, sun, (-t.sunDirection).Normalized(), {1.0f, 0.94f, 0.8f, 1});
    return WriteGltf(dir / "Sky" / "sky.gltf", m);
}

// A model with nothing to see, far below the ground: for the excavator a course does without.
bool WriteNothing(const fs::path& dir) {
    Mesh m;
    const int mat = m.AddMaterial(Mat("Nothing", {0, 0, 0, 1}, 1.0f));
    m.Face(mat, {{kAwayX, -50.0f, kAwayZ}, {kAwayX, -50.0f, kAwayZ + 0.01f}, {kAwayX + 0.01f, -50.0f, kAwayZ}});
    return WriteGltf(dir / "Scenery" / "none.gltf", m);
}

// The desert's excavator moved and turned to its place on this course; the
// arm stays about its hinge, and the game turns its swing by the same angle.
bool WriteExcavator(const fs::path& dir, const ExcavatorPlace& at) {
    const Matrix move = at.FromDesert();
    Mesh body, cable;
    body.Append(ExcavatorBody(), move);
    cable.Append(ExcavatorCable(), move);
    return WriteGltf(dir / "excavator.gltf", body) && WriteGltf(dir / "cable.gltf", cable) &&
           WriteGltf(dir / "arm.gltf", ExcavatorArm());
}

bool WritePoints(const fs::path& path, const std::vector<Vector3>& points) {
    std::ofstream out(path);
    out << points.size() << "\n";
    char text[96];
    for (const Vector3& p : points) {
        std::snprintf(text, sizeof text, "%.3f %.3f %.3f\n", p.x, p.y, p.z);
        out << text;
    }
    return bool(out);
}

std::vector<Vector3> Checkpoints(const CentreLine& line) {
    // Even spacing along the lap, pushed towards the outside of tight bends,
    // as on the desert: the bikes count a point from 20 units away.
    std::vector<Vector3> out;
    const float L = line.Length(), first = 22.0f, last = L - 16.0f;
    const float spacing = std::max(11.0f, (last - first) / 57.0f);
    for (float s = first; s < last && out.size() < 58; s += spacing) {
        const Sample here = line.At(s), back = line.At(s - 2.0f), ahead = line.At(s + 2.0f);
        const float bend = ahead.heading - back.heading;
        float off = 0.0f;
        // Tight bends need the push, or the bikes cut them onto the sand; wide
        // ones (a radius of 40 m and more) none, or the bikes leave them wide.
        const float radius = here.curvature != 0.0f ? 1.0f / std::fabs(here.curvature) : 1e9f;
        const float push = radius < 40.0f ? std::min(3.0f, 60.0f / radius) : 0.0f;
        if (std::fabs(bend) > 0.5f) off = bend < 0 ? push : -push;
        const Vector3 p = here.p + here.Right() * off;
        out.push_back({p.x, 0.2f, p.z});
    }
    return out;
}

Vector3 OnRoad(const CentreLine& line, float s, float offset, float y) {
    const Sample a = line.At(s);
    const Vector3 p = a.p + a.Right() * offset;
    return {p.x, y, p.z};
}

std::vector<Vector3> Boxes(const Description& d, const CentreLine& line, const Placed* sw) {
    std::vector<Vector3> out;
    if (!sw) return out;
    const float hw = d.HalfWidth();
    const float across[6] = {-0.45f, 0.3f, -0.1f, 0.5f, -0.5f, 0.15f};
    for (int i = 0; i < 6; ++i)
        out.push_back(OnRoad(line, sw->distance + 24.0f + 6.0f * float(i), across[i] * hw, 5.0f + 0.6f * float(i)));
    return out;
}

bool WriteMap(const fs::path& file, const Description& d, const CentreLine& line, const std::vector<Vector3>& checkpoints,
              const std::vector<Vector3>& boxes, const std::optional<ExcavatorPlace>& excavator) {
    float minX, minZ, maxX, maxZ;
    line.Bounds(minX, minZ, maxX, maxZ);
    const float margin = d.FenceOffset() + 6.0f;
    if (excavator) {
        // The body stands further out than the fence: keep it in the picture.
        const Vector3 far = excavator->hinge + excavator->towardsBody * (kExcavatorBodyFar + 2.0f - margin);
        minX = std::min(minX, far.x), maxX = std::max(maxX, far.x);
        minZ = std::min(minZ, far.z), maxZ = std::max(maxZ, far.z);
    }
    const float x0 = minX - margin, x1 = maxX + margin, z0 = minZ - margin, z1 = maxZ + margin;
    const float ppu = std::min(4.0f, 1200.0f / std::max(x1 - x0, z1 - z0));
    const int W = int((x1 - x0) * ppu), H = int((z1 - z0) * ppu);
    Image img(W, H);
    auto px = [&](float x) { return int((x - x0) * ppu); };
    auto py = [&](float z) { return int((z1 - z) * ppu); };
    const NearLine near(line, d.FenceOffset() + 2.0f);
    const float fence = d.FenceOffset();
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            const float wx = x0 + (x + 0.5f) / ppu, wz = z1 - (y + 0.5f) / ppu;
            const float dd = near.Distance(wx, wz);
            float r = 0.78f, g = 0.66f, b = 0.45f;
            if (dd > fence + 0.3f) r = 0.62f, g = 0.52f, b = 0.36f;
            if (dd <= d.HalfWidth()) r = g = 0.33f, b = 0.36f;
            if (dd > fence - 0.2f && dd < fence + 0.5f) r = 0.8f, g = 0.15f, b = 0.12f;
            img.Set(x, y, r, g, b);
        }
    auto disc = [&](float wx, float wz, float rad, float r, float g, float b) {
        for (int y = py(wz + rad); y <= py(wz - rad); ++y)
            for (int x = px(wx - rad); x <= px(wx + rad); ++x) {
                const float dx = x0 + (x + 0.5f) / ppu - wx, dz = z1 - (y + 0.5f) / ppu - wz;
                if (dx * dx + dz * dz <= rad * rad) img.Set(x, y, r, g, b);
            }
    };
    img.Fill(px(-d.HalfWidth()), py(0.6f), px(d.HalfWidth()) + 1, py(-0.6f) + 1, 0.95f, 0.95f, 0.95f);
    for (const Placed& o : d.objects) {
        const Vector3 p = OnRoad(line, o.distance, o.offset, 0);
        if (o.kind == "dash") {
            disc(p.x, p.z, 2.0f, 0.1f, 0.6f, 1.0f);
        } else if (o.kind == "switch") {
            disc(p.x, p.z, 1.6f, 1.0f, 0.55f, 0.0f);
        } else if (o.kind == "gate") {
            for (float across = -3.5f; across <= 3.5f; across += 0.5f) {
                const Vector3 q = OnRoad(line, o.distance, kGateAcross + across, 0);
                disc(q.x, q.z, 0.6f, 0.95f, 0.8f, 0.1f);
            }
            for (float side : {-1.0f, 1.0f}) {
                const Vector3 q = OnRoad(line, o.distance - kGateSwitchBack, side * kGateSwitchAcross, 0);
                disc(q.x, q.z, 1.2f, 0.2f, 0.85f, 0.3f);
            }
        }
    }
    // The excavator's boom from the hinge, and its body.
    for (float across = 0.0f; excavator && across <= kExcavatorBodyMiddle; across += 1.0f) {
        const Vector3 q = excavator->hinge + excavator->towardsBody * across;
        disc(q.x, q.z, across < kExcavatorBodyMiddle - 1.0f ? 0.5f : 4.0f, 0.9f, 0.65f, 0.05f);
    }
    for (const Vector3& b : boxes) disc(b.x, b.z, 0.8f, 0.55f, 0.33f, 0.12f);
    for (size_t i = 0; i < checkpoints.size(); ++i) {
        const float c = float(i) / float(checkpoints.size());
        disc(checkpoints[i].x, checkpoints[i].z, 1.2f, 1.0f - c, 0.2f, c);
    }
    disc(0, 0, 1.0f, 1, 1, 1);
    // How world X/Z map to the picture, for the path-map tool (as the desert's map has).
    fs::path sidecar = file;
    sidecar.replace_extension(".json");
    std::ofstream(sidecar) << "{\"x0\":" << x0 << ",\"z1\":" << z1 << ",\"pixelsPerUnit\":" << ppu << ",\"width\":" << W
                           << ",\"height\":" << H << "}\n";
    return img.Save(file);
}

bool CopyInto(const fs::path& from, const fs::path& to, std::string& error) {
    std::error_code ec;
    fs::create_directories(to.parent_path(), ec);
    if (fs::is_directory(from, ec)) fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::overwrite_existing, ec);
    else fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec);
    if (ec) error = "cannot copy " + from.string() + ": " + ec.message();
    return !ec;
}

using json = nlohmann::ordered_json;
double Mm(float v) { return std::round(double(v) * 1000.0) / 1000.0; }
json Xyz(float x, float y, float z) { return json::array({Mm(x), Mm(y), Mm(z)}); }
json Xyz(const Vector3& v) { return Xyz(v.x, v.y, v.z); }

}  // namespace

bool MakeCourse(const Description& d, const CentreLine& line, const fs::path& dataDir, const fs::path& outDir,
                bool builtIn, std::string& error) {
    const Theme theme = ThemeNamed(d.theme);
    std::error_code ec;
    for (const char* sub : {"Road", "Ground", "Wall", "Sky", "Scenery"}) fs::create_directories(outDir / sub, ec);
    if (ec) {
        error = outDir.string() + ": cannot create: " + ec.message();
        return false;
    }
    // The models every course shares, from the game's own content.
    const std::string dash = builtIn ? "Data/Obstacle/Dash/Dash.gltf" : "Dash/Dash.gltf";
    const std::string box = builtIn ? "Data/Obstacle/WoodBox/WoodBox.gltf" : "WoodBox/WoodBox.gltf";
    const std::string gate = builtIn ? "Data/Course/Wall/wall02.gltf" : "Gate/wall02.gltf";
    const std::string music = builtIn ? "Data/Sound/" + MusicOf(d.theme) : "Music/race.wav";
    if (!builtIn && !CopyInto(dataDir / "Obstacle" / "Dash", outDir / "Dash", error)) return false;
    if (!builtIn && !CopyInto(dataDir / "Obstacle" / "WoodBox", outDir / "WoodBox", error)) return false;
    if (!builtIn && !CopyInto(dataDir / "Course" / "Wall" / "wall02.gltf", outDir / "Gate" / "wall02.gltf", error)) return false;
    if (!builtIn && !CopyInto(dataDir / "Course" / "Wall" / "wall02.bin", outDir / "Gate" / "wall02.bin", error)) return false;
    for (const auto& entry : fs::directory_iterator(dataDir / "Course" / "Wall", ec))
        if (!builtIn && entry.path().extension() == ".png" && !CopyInto(entry.path(), outDir / "Gate" / entry.path().filename(), error)) return false;
    if (!builtIn && !CopyInto(dataDir / "Sound" / MusicOf(d.theme), outDir / "Music" / "race.wav", error)) return false;
    const Placed *sw = nullptr, *gateAt = nullptr;
    std::optional<ExcavatorPlace> excavator;
    for (const Placed& o : d.objects) {
        if (o.kind == "switch") sw = &o;
        if (o.kind == "gate") gateAt = &o;
        if (o.kind == "excavator") excavator = PlaceExcavator(d, line, o);
    }
    bool ok = WriteTextures(outDir, theme);
    ok = ok && WriteRoad(outDir, d, line) && WriteGround(outDir, d, line, theme, excavator) && WriteFence(outDir, d, line);
    ok = ok && WriteSky(outDir, theme) && WriteNothing(outDir);
    if (excavator) ok = ok && WriteExcavator(outDir / "Scenery", *excavator);
    const std::vector<Vector3> checkpoints = Checkpoints(line), boxes = Boxes(d, line, sw);
    ok = ok && WritePoints(outDir / "check.txt", checkpoints) && WritePoints(outDir / "box.txt", boxes);
    ok = ok && WriteMap(outDir / "map.png", d, line, checkpoints, boxes, excavator);
    if (!ok) {
        error = outDir.string() + ": cannot write the course's files";
        return false;
    }
    json c;
    c["format"] = 1;
    c["id"] = d.id;
    c["name"] = d.name;
    c["author"] = d.author;
    c["laps"] = d.laps;
    json& g = c["gameplay"];
    g["grid"] = json::array({{{"position", Xyz(0.0f, 0.2f, -2.0f)}, {"heading", 0}},
                             {{"position", Xyz(2.0f, 0.2f, -2.0f)}, {"heading", 0}},
                             {{"position", Xyz(-2.0f, 0.2f, -2.0f)}, {"heading", 0}}});
    g["checkpoints"] = "check.txt";
    g["road"] = "Road/road.gltf";
    g["ground"] = "Ground/ground.gltf";
    g["wall"] = "Wall/wall.gltf";
    json places = json::array();
    for (const Placed& o : d.objects)
        if (o.kind == "dash") {
            const Sample a = line.At(o.distance);
            const float angle = std::fmod(a.heading, 360.0f);
            places.push_back({{"position", Xyz(OnRoad(line, o.distance, o.offset, 0.05f))}, {"angle", Mm(angle)}});
        }
    g["dashPanels"] = {{"model", dash}, {"places", places}};
    g["floorSwitch"] = {{"position", sw ? Xyz(OnRoad(line, sw->distance, sw->offset, 0.1f)) : Xyz(kAwayX + 10.0f, 0.1f, kAwayZ)},
                        {"boxes", "box.txt"},
                        {"boxModel", box}};
    if (gateAt) {
        // Across the road as on the desert: a little right of the centre, its switches either side before it.
        const float angle = std::fmod(line.At(gateAt->distance).heading, 360.0f);
        g["gate"] = {{"position", Xyz(OnRoad(line, gateAt->distance, kGateAcross, 0.0f))},
                     {"angle", Mm(angle < 0.0f ? angle + 360.0f : angle)},
                     {"model", gate},
                     {"switches", json::array({Xyz(OnRoad(line, gateAt->distance - kGateSwitchBack, -kGateSwitchAcross, 0.0f)),
                                               Xyz(OnRoad(line, gateAt->distance - kGateSwitchBack, kGateSwitchAcross, 0.0f))})}};
    } else {
        // Without a gate in the description, it and its switches stand far away from the road.
        g["gate"] = {{"position", Xyz(kAwayX, 0.0f, kAwayZ)},
                     {"angle", 90},
                     {"model", gate},
                     {"switches", json::array({Xyz(kAwayX - 9.0f, 0.0f, kAwayZ + 5.0f), Xyz(kAwayX - 9.0f, 0.0f, kAwayZ - 3.5f)})}};
    }
    g["excavator"] = {{"hinge", excavator ? Xyz(excavator->hinge) : Xyz(kAwayX, -40.0f, kAwayZ)}};
    json& l = c["look"];
    l["sky"] = "Sky/sky.gltf";
    if (excavator)
        l["excavator"] = {{"body", "Scenery/excavator.gltf"}, {"arm", "Scenery/arm.gltf"}, {"cable", "Scenery/cable.gltf"},
                          {"angle", Mm(excavator->turn)}};
    else
        l["excavator"] = {{"body", "Scenery/none.gltf"}, {"arm", "Scenery/none.gltf"}, {"cable", "Scenery/none.gltf"}};
    l["sun"] = {{"direction", Xyz(theme.sunDirection)}, {"colour", Xyz(theme.sun.r, theme.sun.g, theme.sun.b)}};
    l["ambient"] = Xyz(theme.ambient.r, theme.ambient.g, theme.ambient.b);
    l["music"] = music;
    std::ofstream out(outDir / "course.json");
    out << c.dump(2) << "\n";
    if (!out) {
        error = (outDir / "course.json").string() + ": cannot write";
        return false;
    }
    return true;
}

bool MakeCourseFromFile(const fs::path& descriptionFile, const fs::path& dataDir, const fs::path& outDir, std::string& error) {
    std::error_code ec;
    const auto size = fs::file_size(descriptionFile, ec);
    if (ec || !fs::is_regular_file(descriptionFile, ec)) {
        error = descriptionFile.string() + ": cannot read";
        return false;
    }
    if (size > kMaxDescriptionBytes) {
        error = descriptionFile.string() + ": the description is larger than " + std::to_string(kMaxDescriptionBytes) + " bytes";
        return false;
    }
    std::ifstream in(descriptionFile, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    Description d;
    CentreLine line;
    if (!Read(text.str(), descriptionFile.string(), d, line, error)) return false;
    if (!fs::is_regular_file(dataDir / "Obstacle" / "Dash" / "Dash.gltf", ec)) {
        error = dataDir.string() + ": the game's Data folder is not there (its models are copied into the course)";
        return false;
    }
    // The course's folder is named by its id: OUTDIR itself when so named, else OUTDIR/ID.
    const fs::path folder = outDir.filename() == d.id ? outDir : outDir / d.id;
    if (fs::exists(folder, ec) && !fs::exists(folder / "course.json", ec) && !fs::is_empty(folder, ec)) {
        error = folder.string() + ": is not empty and holds no course; not overwritten";
        return false;
    }
    // Made beside its place and moved in whole, so a half-made course is never raced.
    const fs::path temp = folder.parent_path() / ("." + d.id + ".making-" + std::to_string(getpid()));
    fs::remove_all(temp, ec);
    fs::create_directories(temp, ec);
    if (ec) {
        error = temp.string() + ": cannot create: " + ec.message();
        return false;
    }
    if (!MakeCourse(d, line, dataDir, temp, false, error)) {
        fs::remove_all(temp, ec);
        return false;
    }
    fs::remove_all(folder, ec);
    fs::rename(temp, folder, ec);
    if (ec) {
        error = folder.string() + ": cannot move the course in: " + ec.message();
        fs::remove_all(temp, ec);
        return false;
    }
    error = folder.string();
    return true;
}

}  // namespace coursemake
