// The excavator (body and cable in course coordinates, the arm about its
// hinge) and the sky dome.

#include "Generator.h"
#include "course/Layout.h"
#include "model/GltfWriter.h"
#include "model/Texture.h"

#include <algorithm>
#include <cmath>

using namespace gen;

namespace {

const Color kYellow{0.85f, 0.6f, 0.06f, 1};
const Color kSteelDark{0.18f, 0.18f, 0.2f, 1};

bool WriteExcavator(const std::filesystem::path& dir) {
    const Vector3 hinge = course::kArmHinge;
    const float z = hinge.z;
    bool ok = true;
    {
        // Stands west of the west straight, outside the fence; its boom
        // reaches over the fence to the arm's hinge above the road.
        Mesh m;
        const int paint = m.AddMaterial(Mat("ExcavatorPaint", kYellow, 0.5f));
        const int track = m.AddMaterial(Mat("Tracks", kSteelDark, 0.8f));
        const int glass = m.AddMaterial(Mat("CabGlass", {0.15f, 0.25f, 0.35f, 1}, 0.1f));
        const int steel = m.AddMaterial(Mat("Piston", {0.7f, 0.7f, 0.74f, 1}, 0.25f));
        const float bx = -69.5f;
        for (float side : {-1.0f, 1.0f}) {
            const float tz = z + side * 2.4f;
            m.Box(track, {bx - 4.2f, 0, tz - 0.8f}, {bx + 4.2f, 1.3f, tz + 0.8f});
            for (int i = 0; i < 5; ++i)
                m.Cylinder(steel, {bx - 3.2f + 1.6f * float(i), 0.65f, tz - side * 0.85f}, {bx - 3.2f + 1.6f * float(i), 0.65f, tz + side * 0.85f}, 0.35f, 8);
        }
        m.Box(track, {bx - 2.0f, 1.3f, z - 1.8f}, {bx + 2.0f, 1.8f, z + 1.8f});      // slewing ring
        m.Box(paint, {bx - 3.8f, 1.8f, z - 2.6f}, {bx + 2.8f, 3.6f, z + 2.6f});     // house
        m.Box(track, {bx - 4.4f, 1.9f, z - 2.5f}, {bx - 3.8f, 3.4f, z + 2.5f});     // counterweight
        m.Box(paint, {bx - 0.2f, 3.6f, z - 2.5f}, {bx + 2.6f, 6.2f, z - 0.3f});     // cab
        m.Box(glass, {bx + 2.6f, 4.3f, z - 2.3f}, {bx + 2.65f, 5.9f, z - 0.5f});
        m.Box(glass, {bx + 0.1f, 4.3f, z - 2.55f}, {bx + 2.3f, 5.9f, z - 2.5f});
        m.Box(paint, {bx - 3.4f, 3.6f, z + 0.4f}, {bx - 0.8f, 4.8f, z + 2.3f});     // engine cover
        // boom: up to a knee, then down to the hinge
        const Vector3 foot{bx + 2.0f, 3.4f, z}, knee{-57.0f, 18.6f, z};
        m.Beam(paint, foot, knee, 1.1f, 1.3f);
        m.Beam(paint, knee, hinge + Vector3{-0.3f, 0.3f, 0}, 1.0f, 1.1f);
        m.Cylinder(steel, {foot.x, foot.y, z - 0.75f}, {foot.x, foot.y, z + 0.75f}, 0.55f, 12);
        m.Cylinder(steel, {knee.x, knee.y, z - 0.7f}, {knee.x, knee.y, z + 0.7f}, 0.6f, 12);
        m.Cylinder(steel, {hinge.x, hinge.y, z - 0.8f}, {hinge.x, hinge.y, z + 0.8f}, 0.45f, 12);
        // boom ram
        m.Cylinder(steel, {bx + 2.4f, 2.6f, z - 0.9f}, {-61.0f, 11.5f, z - 0.9f}, 0.25f, 8);
        m.Cylinder(track, {bx + 2.4f, 2.6f, z - 0.9f}, {-65.0f, 7.0f, z - 0.9f}, 0.36f, 8);
        ok &= WriteGltf(dir / "excavator.gltf", m);
    }
    {
        Mesh m;  // hydraulic hoses along the boom
        const int hose = m.AddMaterial(Mat("Hose", {0.05f, 0.05f, 0.05f, 1}, 0.7f));
        const Vector3 pts[] = {{-68.0f, 3.7f, z + 0.65f}, {-58.0f, 19.3f, z + 0.65f}, {-47.2f, 15.6f, z + 0.65f}};
        for (int i = 0; i < 2; ++i) m.Cylinder(hose, pts[i], pts[i + 1], 0.09f, 6);
        const Vector3 q[] = {{-68.0f, 3.7f, z - 0.65f}, {-58.0f, 19.3f, z - 0.65f}, {-47.2f, 15.6f, z - 0.65f}};
        for (int i = 0; i < 2; ++i) m.Cylinder(hose, q[i], q[i + 1], 0.09f, 6);
        ok &= WriteGltf(dir / "cable.gltf", m);
    }
    {
        // Arm about its hinge (origin), hanging along -X: the game turns it
        // about Z from 30 degrees (down and west) through 90 (straight down,
        // the bucket 2 units above the road) to 150 (down and east).
        Mesh m;
        const int paint = m.AddMaterial(Mat("ExcavatorPaint", kYellow, 0.5f));
        const int bucket = m.AddMaterial(Mat("Bucket", {0.3f, 0.3f, 0.32f, 1}, 0.6f));
        const int steel = m.AddMaterial(Mat("Piston", {0.7f, 0.7f, 0.74f, 1}, 0.25f));
        m.Beam(paint, {0.4f, 0, 0}, {-9.6f, 0, 0}, 0.85f, 1.0f);
        m.Cylinder(steel, {0, 0, -0.55f}, {0, 0, 0.55f}, 0.6f, 12);
        m.Cylinder(steel, {-9.6f, 0, -0.6f}, {-9.6f, 0, 0.6f}, 0.45f, 10);
        m.Cylinder(steel, {-1.0f, 0.75f, 0}, {-7.5f, 0.75f, 0}, 0.2f, 8);  // bucket ram
        // bucket: a box with a slanted back and teeth along its lip
        m.Box(bucket, {-12.2f, -1.0f, -1.1f}, {-9.4f, 0.8f, 1.1f});
        m.Beam(bucket, {-9.4f, 0.8f, 0}, {-9.0f, -0.6f, 0}, 2.2f, 0.4f, {0, 0, 1});
        for (int i = 0; i < 5; ++i) {
            const float tz = -0.88f + 0.44f * float(i);
            m.Box(steel, {-12.75f, -0.9f, tz - 0.12f}, {-12.2f, -0.5f, tz + 0.12f});
        }
        ok &= WriteGltf(dir / "ExcavatorArm00.gltf", m);
    }
    return ok;
}

// Sky dome around the origin: radius 760 keeps it inside the far plane (1000)
// from anywhere on the course; its rim dips below the ground. Drawn unlit, so
// the vertex colours are the final colours.
bool WriteSky(const std::filesystem::path& dir) {
    Mesh m;
    m.useColors = true;
    const int sky = m.AddMaterial(Mat("Sky", {1, 1, 1, 1}, 1.0f));
    const int sun = m.AddMaterial(Mat("Sun", {1, 1, 1, 1}, 1.0f));
    const float R = 760.0f;
    const int seg = 32, rings = 12;
    Primitive& p = m.Prim(sky);
    auto colour = [](float elev) {  // elev in [-0.2, 1]
        const float t = std::clamp(elev, 0.0f, 1.0f);
        const float h = std::pow(1.0f - t, 3.0f);
        return Color{0.22f + 0.6f * h, 0.45f + 0.45f * h, 0.85f + 0.12f * h, 1};
    };
    for (int r = 0; r <= rings; ++r) {
        const float el = -0.15f + (kPi / 2 + 0.15f) * float(r) / float(rings);
        for (int s = 0; s <= seg; ++s) {
            const float az = 2 * kPi * float(s) / float(seg);
            const Vector3 d{std::cos(el) * std::sin(az), std::sin(el), std::cos(el) * std::cos(az)};
            p.vertices.push_back({d * R, -d, {float(s) / seg, float(r) / rings}, colour(std::sin(el) * 1.6f)});
        }
    }
    for (int r = 0; r < rings; ++r)
        for (int s = 0; s < seg; ++s) {
            const uint32_t a = uint32_t(r * (seg + 1) + s), b = a + 1, c = a + uint32_t(seg + 1), d = c + 1;
            // seen from inside the dome
            p.indices.insert(p.indices.end(), {a, c, d, a, d, b});
        }
    // the sun where the light comes from
    const Vector3 toSun = Vector3{0, 0.957826f, -0.287348f}.Normalized();
    const Vector3 right = Vector3{0, 1, 0}.Cross(toSun).Normalized(), up = toSun.Cross(right).Normalized();
    std::vector<Vector3> disc;
    const int n = 16;
    for (int i = 0; i < n; ++i) {
        const float a = -2 * kPi * float(i) / float(n);
        disc.push_back(toSun * (R - 20.0f) + (right * std::cos(a) + up * std::sin(a)) * 28.0f);
    }
    if (FaceNormal(disc[0], disc[1], disc[2]).Dot(toSun) > 0) std::reverse(disc.begin(), disc.end());
    m.Face(sun, disc, {}, {1.0f, 0.96f, 0.82f, 1});
    // a few flat clouds, each a cluster of puffs facing the centre
    const int cloud = m.AddMaterial(Mat("Cloud", {1, 1, 1, 1}, 1.0f));
    for (int c = 0; c < 14; ++c) {
        const float az = 2 * kPi * (float(c) + 0.5f * Hash01(uint32_t(c), 1, 80)) / 14.0f;
        const float el = (8.0f + 22.0f * Hash01(uint32_t(c), 2, 81)) * kDegToRad;
        const Vector3 centre = Vector3{std::cos(el) * std::sin(az), std::sin(el), std::cos(el) * std::cos(az)} * (R - 40.0f);
        const Vector3 in = -centre.Normalized();
        const Vector3 side = Vector3{0, 1, 0}.Cross(in).Normalized(), up = in.Cross(side).Normalized();
        const int puffs = 3 + int(4 * Hash01(uint32_t(c), 3, 82));
        for (int k = 0; k < puffs; ++k) {
            const float ox = (float(k) - 0.5f * float(puffs - 1)) * 22.0f + 8.0f * Hash01(uint32_t(c), 10 + uint32_t(k), 83);
            const float oy = 6.0f * Hash01(uint32_t(c), 20 + uint32_t(k), 84);
            const float rx = 20.0f + 14.0f * Hash01(uint32_t(c), 30 + uint32_t(k), 85), ry = rx * 0.45f;
            const Vector3 at = centre + side * ox + up * oy + in * float(k % 2);
            std::vector<Vector3> pts;
            std::vector<Vector2> uvs;
            for (int i = 0; i < 10; ++i) {
                const float a = 2 * kPi * float(i) / 10.0f;
                pts.push_back(at + side * (std::cos(a) * rx) + up * (std::sin(a) * ry));
            }
            if (FaceNormal(pts[0], pts[1], pts[2]).Dot(in) < 0) std::reverse(pts.begin(), pts.end());
            const float shade = 0.93f + 0.07f * Hash01(uint32_t(c), 40 + uint32_t(k), 86);
            m.Face(cloud, pts, uvs, {shade, shade, shade * 1.02f, 1});
        }
    }
    return WriteGltf(dir / "sky.gltf", m);
}

bool GenerateScenery(const GenContext& ctx) {
    bool ok = WriteExcavator(ctx.dataDir / "Obstacle" / "Excavator");
    ok &= WriteSky(ctx.dataDir / "Sky");
    return ok;
}

}  // namespace

VORLAN_REGISTER_GENERATOR("scenery", 40, GenerateScenery);
