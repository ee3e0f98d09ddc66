#include "framework/MotionBlend.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {
constexpr float kDeg = 0.0174533f;

Matrix Place(float yawDeg, const Vector3& at, float spinDeg = 0.0f) {
    return Matrix::CreateRotationX(spinDeg * kDeg) * Matrix::CreateRotationY(yawDeg * kDeg) *
           Matrix::CreateTranslation(at);
}

void ExpectNear(const Matrix& a, const Matrix& b, float tolerance = 1e-4f) {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) EXPECT_NEAR(a.m[r][c], b.m[r][c], tolerance) << r << "," << c;
}
}  // namespace

// A placement between two updates turns the short way, keeps its size even
// for a wheel's large turn, and moves in a straight line; what is no
// placement (a flattened puff) blends number by number.
TEST(MotionBlend, PlacementsBlendAsRigidMotion) {
    for (float yaw : {0.0f, 95.0f, 179.0f, -120.0f}) {
        const Matrix m = Place(yaw, {1, 2, 3}, 33.0f);
        Matrix rotation = m;
        rotation.m[3][0] = rotation.m[3][1] = rotation.m[3][2] = 0.0f;
        ExpectNear(Matrix::CreateFromQuaternion(MotionBlend::RotationOf(rotation)), rotation);
    }
    ExpectNear(MotionBlend::BlendWorld(Place(10, {0, 0, 0}), Place(30, {2, 0, 4}), 0.5f), Place(20, {1, 0, 2}));
    // Across 350 -> 10 degrees: through 0, not back round through 180.
    ExpectNear(MotionBlend::BlendWorld(Place(350, {}), Place(10, {}), 0.5f), Place(0, {}));
    // A wheel turning 65 degrees in one update keeps its size halfway.
    const Matrix wheel = MotionBlend::BlendWorld(Place(0, {}, 0), Place(0, {}, 65), 0.5f);
    ExpectNear(wheel, Place(0, {}, 32.5f));
    // Scaled fragments keep their scale; flattened puffs blend element by element.
    const Matrix small = Matrix::CreateScale(0.3f) * Place(0, {});
    ExpectNear(MotionBlend::BlendWorld(small, Matrix::CreateScale(0.3f) * Place(40, {}), 0.5f),
               Matrix::CreateScale(0.3f) * Place(20, {}));
    const Matrix flatA = Matrix::CreateScale(1, 1, 0), flatB = Matrix::CreateScale(3, 3, 0);
    ExpectNear(MotionBlend::BlendWorld(flatA, flatB, 0.25f), Matrix::CreateScale(1.5f, 1.5f, 0));
}

// The store the drawables read: the full step draws the update's own
// placement bit for bit; a picture between updates the blend; after a jump,
// a leap or a long absence, the placement as it is.
TEST(MotionBlend, PicturesStandBetweenTheLastTwoUpdatesAndNeverAcrossAJump) {
    MotionBlend& blend = Motion();
    blend.Jump();
    int bike = 0, box = 0;
    const Matrix a = Place(0, {0, 0, 0}), b = Place(0, {0, 0, 1}), c = Place(0, {0, 0, 2});

    blend.BeginPicture(1, 0.5f);
    ExpectNear(blend.World(&bike, a), a);  // first seen: nothing to blend with
    blend.BeginPicture(2, 1.0f);
    EXPECT_EQ(blend.World(&bike, b), b) << "at the full step the update's own";
    blend.BeginPicture(3, 0.25f);
    ExpectNear(blend.World(&bike, c), Place(0, {0, 0, 1.25f}));
    // Two more pictures in the same step: the same two placements.
    blend.BeginPicture(3, 0.75f);
    ExpectNear(blend.World(&bike, c), Place(0, {0, 0, 1.75f}));
    // Two updates since the last picture: between the last drawn and now.
    const Matrix e = Place(0, {0, 0, 4});
    blend.BeginPicture(5, 0.5f);
    ExpectNear(blend.World(&bike, e), Place(0, {0, 0, 3.5f}));  // update 4.5 on the line from 3 to 5

    // A jump: the next picture shows where things are.
    blend.Jump();
    blend.BeginPicture(6, 0.5f);
    EXPECT_EQ(blend.World(&bike, a), a);
    blend.BeginPicture(7, 0.5f);
    ExpectNear(blend.World(&bike, b), Place(0, {0, 0, 0.5f}));
    blend.Jump(&bike);
    blend.BeginPicture(8, 0.5f);
    EXPECT_EQ(blend.World(&bike, c), c);
    // Farther in one update than anything moves: put somewhere new.
    blend.BeginPicture(9, 0.5f);
    const Matrix far = Place(0, {50, 0, 0});
    EXPECT_EQ(blend.World(&bike, far), far);
    // Not drawn for longer than the longest catch-up: forgotten, not blended.
    blend.BeginPicture(10, 0.5f);
    blend.World(&box, a);
    blend.BeginPicture(10 + MotionBlend::kMaxSpan + 1, 0.5f);
    EXPECT_EQ(blend.World(&box, b), b);
    // Plain numbers (a camera's eye and view angle) blend one by one.
    Matrix eye1, eye2;
    eye1.m[2][0] = 60.0f;
    eye2.m[2][0] = 66.0f;
    blend.BeginPicture(20, 1.0f);
    blend.Values(&box, eye1);
    blend.BeginPicture(21, 0.5f);
    EXPECT_FLOAT_EQ(blend.Values(&box, eye2).m[2][0], 63.0f);
    blend.Jump();
}
