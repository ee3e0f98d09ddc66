#include "models/ExcavatorModel.h"

#include "model/GltfWriter.h"

namespace gen {
namespace {
const Color kYellow{0.85f, 0.6f, 0.06f, 1};
const Color kSteelDark{0.18f, 0.18f, 0.2f, 1};
}  // namespace

Mesh ExcavatorBody() {
    const Vector3 hinge = kExcavatorHinge;
    const float z = hinge.z;
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
    return m;
}

Mesh ExcavatorCable() {
    const float z = kExcavatorHinge.z;
    Mesh m;  // hydraulic hoses along the boom
    const int hose = m.AddMaterial(Mat("Hose", {0.05f, 0.05f, 0.05f, 1}, 0.7f));
    const Vector3 pts[] = {{-68.0f, 3.7f, z + 0.65f}, {-58.0f, 19.3f, z + 0.65f}, {-47.2f, 15.6f, z + 0.65f}};
    for (int i = 0; i < 2; ++i) m.Cylinder(hose, pts[i], pts[i + 1], 0.09f, 6);
    const Vector3 q[] = {{-68.0f, 3.7f, z - 0.65f}, {-58.0f, 19.3f, z - 0.65f}, {-47.2f, 15.6f, z - 0.65f}};
    for (int i = 0; i < 2; ++i) m.Cylinder(hose, q[i], q[i + 1], 0.09f, 6);
    return m;
}

Mesh ExcavatorArm() {
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
    return m;
}

}  // namespace gen
