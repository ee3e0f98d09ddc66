// The excavator (body and cable in course coordinates, the arm about its
// hinge) and the sky dome.

#include "Generator.h"
#include "course/Layout.h"
#include "course/TrackParts.h"
#include "model/GltfWriter.h"
#include "models/ExcavatorModel.h"
#include "model/Texture.h"

#include <algorithm>
#include <cmath>

using namespace gen;

namespace {

bool WriteExcavator(const std::filesystem::path& dir) {
    return WriteGltf(dir / "excavator.gltf", ExcavatorBody()) && WriteGltf(dir / "cable.gltf", ExcavatorCable()) &&
           WriteGltf(dir / "ExcavatorArm00.gltf", ExcavatorArm());
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
    track::AddDome(m, sky, [](float elev) {  // elev in [-0.2, 1]
        const float t = std::clamp(elev, 0.0f, 1.0f);
        const float h = std::pow(1.0f - t, 3.0f);
        return Color{0.22f + 0.6f * h, 0.45f + 0.45f * h, 0.85f + 0.12f * h, 1};
    });
    // the sun where the light comes from
    track::AddSun(m, sun, Vector3{0, 0.957826f, -0.287348f}.Normalized(), {1.0f, 0.96f, 0.82f, 1});
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
