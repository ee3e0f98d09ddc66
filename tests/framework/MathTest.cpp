#include "framework/Math.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {
void ExpectMatrixNear(const Matrix& a, const Matrix& b, float tolerance) {
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) EXPECT_NEAR(a.m[i][j], b.m[i][j], tolerance) << "element " << i << "," << j;
}
void ExpectVectorNear(const Vector3& a, const Vector3& b, float tolerance) {
    EXPECT_NEAR(a.x, b.x, tolerance);
    EXPECT_NEAR(a.y, b.y, tolerance);
    EXPECT_NEAR(a.z, b.z, tolerance);
}
}  // namespace

TEST(Math, RotationRowsAreTheRowVectorForms) {
    const float a = 30.0f * kDegToRad;
    const float c = std::cos(a), s = std::sin(a);
    const Matrix y = Matrix::CreateRotationY(a);
    ExpectVectorNear({y.m[0][0], y.m[0][1], y.m[0][2]}, {c, 0, -s}, 1e-6f);
    ExpectVectorNear({y.m[2][0], y.m[2][1], y.m[2][2]}, {s, 0, c}, 1e-6f);
    const Matrix z = Matrix::CreateRotationZ(a);
    ExpectVectorNear({z.m[0][0], z.m[0][1], z.m[0][2]}, {c, s, 0}, 1e-6f);
    ExpectVectorNear({z.m[1][0], z.m[1][1], z.m[1][2]}, {-s, c, 0}, 1e-6f);
    const Matrix x = Matrix::CreateRotationX(a);
    ExpectVectorNear({x.m[1][0], x.m[1][1], x.m[1][2]}, {0, c, s}, 1e-6f);
    ExpectVectorNear({x.m[2][0], x.m[2][1], x.m[2][2]}, {0, -s, c}, 1e-6f);

    // A positive heading turns the forward axis (+Z) towards the right (+X).
    const Vector3 forward = Vector3::TransformNormal({0, 0, 1}, Matrix::CreateRotationY(90.0f * kDegToRad));
    ExpectVectorNear(forward, {1, 0, 0}, 1e-5f);
}

TEST(Math, RightAnglesInDegreesAreExact) {
    // A gate turned onto an axis must slide exactly along it, or its place drifts.
    const struct {
        float degrees, sine, cosine;
    } exact[] = {{0, 0, 1}, {90, 1, 0}, {180, 0, -1}, {270, -1, 0}, {360, 0, 1}, {-90, -1, 0}, {450, 1, 0}, {-270, 1, 0}};
    for (const auto& e : exact) {
        float s = 7, c = 7;
        SinCosDegrees(e.degrees, s, c);
        EXPECT_EQ(s, e.sine) << e.degrees;
        EXPECT_EQ(c, e.cosine) << e.degrees;
        const Vector3 forward = Vector3::Transform({0, 0, 1}, Matrix::CreateRotationYDegrees(e.degrees));
        EXPECT_EQ(forward.x, e.sine) << e.degrees;
        EXPECT_EQ(forward.z, e.cosine) << e.degrees;
    }
    float s, c;
    SinCosDegrees(30.0f, s, c);
    EXPECT_NEAR(s, 0.5f, 1e-6f);
    EXPECT_NEAR(c, 0.8660254f, 1e-6f);
    const Matrix general = Matrix::CreateRotationYDegrees(123.0f), radians = Matrix::CreateRotationY(123.0f * kDegToRad);
    for (int r = 0; r < 4; ++r)
        for (int k = 0; k < 4; ++k) EXPECT_NEAR(general.m[r][k], radians.m[r][k], 1e-6f);
}

TEST(Math, CompositesApplyLeftToRight) {
    const Matrix world = Matrix::CreateScale(2.0f) * Matrix::CreateRotationY(90.0f * kDegToRad) *
                         Matrix::CreateTranslation(10, 0, 0);
    // (0,0,1) scaled to (0,0,2), turned to (2,0,0), moved to (12,0,0).
    ExpectVectorNear(Vector3::Transform({0, 0, 1}, world), {12, 0, 0}, 1e-5f);
    ExpectVectorNear(Vector3::TransformNormal({0, 0, 1}, world), {2, 0, 0}, 1e-5f);
    EXPECT_EQ(Matrix::CreateTranslation(1, 2, 3).Translation(), Vector3(1, 2, 3));
    ExpectVectorNear(Vector3::Transform({1, 1, 1}, Matrix::CreateScale(1, 2, 3)), {1, 2, 3}, 0);
}

TEST(Math, QuaternionMatchesAxisRotation) {
    const float a = 0.7f;
    const Quaternion qz{0, 0, std::sin(a / 2), std::cos(a / 2)};
    ExpectMatrixNear(Matrix::CreateFromQuaternion(qz), Matrix::CreateRotationZ(a), 1e-6f);
    const Quaternion qx{std::sin(a / 2), 0, 0, std::cos(a / 2)};
    ExpectMatrixNear(Matrix::CreateFromQuaternion(qx), Matrix::CreateRotationX(a), 1e-6f);
    const Quaternion qy{0, std::sin(a / 2), 0, std::cos(a / 2)};
    ExpectMatrixNear(Matrix::CreateFromQuaternion(qy), Matrix::CreateRotationY(a), 1e-6f);
    ExpectMatrixNear(Matrix::CreateFromQuaternion({}), Matrix::Identity(), 0);
}

TEST(Math, InverseUndoesGeneralMatrices) {
    std::srand(7);
    for (int n = 0; n < 50; ++n) {
        Matrix m;
        for (auto& row : m.m)
            for (float& e : row) e = static_cast<float>(std::rand() % 2001 - 1000) / 250.0f;
        if (std::fabs(m.Determinant()) < 1.0f) continue;
        ExpectMatrixNear(m * m.Invert(), Matrix::Identity(), 2e-3f);
    }
    const Matrix rigid = Matrix::CreateRotationY(1.1f) * Matrix::CreateTranslation(3, -4, 5);
    ExpectMatrixNear(rigid.Invert() * rigid, Matrix::Identity(), 1e-5f);
    // The camera position is the translation of the inverted view.
    const Matrix view = Matrix::CreateTranslation(0, 0, -5).Invert();
    ExpectVectorNear(view.Translation(), {0, 0, 5}, 1e-6f);
    ExpectVectorNear(view.Invert().Translation(), {0, 0, -5}, 1e-6f);
}

TEST(Math, DefaultProjectionElements) {
    const float aspect = 1280.0f / 720.0f;
    const Matrix p = Matrix::PerspectiveFovLH(60.0f * kDegToRad, aspect, 0.01f, 1000.0f);
    EXPECT_NEAR(p.m[1][1], 1.7320508f, 1e-5f);
    EXPECT_NEAR(p.m[0][0], 1.7320508f / 1.7777778f, 1e-5f);
    EXPECT_NEAR(p.m[2][2], 1.00001f, 1e-6f);
    EXPECT_FLOAT_EQ(p.m[2][3], 1.0f);
    EXPECT_NEAR(p.m[3][2], -0.0100001f, 1e-8f);
    EXPECT_EQ(p.m[3][3], 0.0f);
    EXPECT_EQ(p.m[0][1], 0.0f);
    // Depth runs 0 at the near plane to 1 at the far plane.
    EXPECT_NEAR(Vector3::Transform({0, 0, 0.01f}, p).z, 0.0f, 1e-5f);
    EXPECT_NEAR(Vector3::Transform({0, 0, 1000.0f}, p).z, 1.0f, 1e-5f);
}

TEST(Math, LookAtLeftHanded) {
    const Matrix view = Matrix::LookAtLH({0, 0, -5}, {0, 0, 0}, {0, 1, 0});
    ExpectMatrixNear(view, Matrix::CreateTranslation(0, 0, 5), 1e-6f);
    // Looking along +X, a point further along +X is in front (+z), and +Z lies to the left (-x).
    const Matrix side = Matrix::LookAtLH({0, 0, 0}, {1, 0, 0}, {0, 1, 0});
    ExpectVectorNear(Vector3::Transform({2, 0, 0}, side), {0, 0, 2}, 1e-6f);
    ExpectVectorNear(Vector3::Transform({0, 0, 1}, side), {-1, 0, 0}, 1e-6f);
}

TEST(Math, NormaliseAndProducts) {
    EXPECT_EQ(Vector3().Normalized(), Vector3());
    ExpectVectorNear(Vector3(0, -1, 0.3f).Normalized(), {0, -0.957826f, 0.287348f}, 1e-6f);
    const Vector3 huge = Vector3(1e30f, 0, 0).Normalized();
    EXPECT_TRUE(std::isnan(huge.x) && std::isnan(huge.y) && std::isnan(huge.z));
    EXPECT_FLOAT_EQ(Vector3(3, 4, 0).Length(), 5.0f);
    EXPECT_FLOAT_EQ(Vector3(1, 2, 3).Dot({4, -5, 6}), 12.0f);
    EXPECT_EQ(Vector3(1, 0, 0).Cross({0, 1, 0}), Vector3(0, 0, 1));
    // The point transform divides by w.
    Matrix m;
    m.m[3][3] = 2.0f;
    ExpectVectorNear(Vector3::Transform({2, 4, 6}, m), {1, 2, 3}, 0);
}

TEST(Math, RayTriangleBothFacesAndBoundaries) {
    const Vector3 v0{0, 0, 0}, v1{0, 0, 1}, v2{1, 0, 0};
    float t = -1;
    ASSERT_TRUE(RayTriangleIntersects({0.25f, 1, 0.25f}, {0, -1, 0}, v0, v1, v2, t));
    EXPECT_FLOAT_EQ(t, 1.0f);
    // From below: the other face.
    ASSERT_TRUE(RayTriangleIntersects({0.25f, -2, 0.25f}, {0, 1, 0}, v0, v1, v2, t));
    EXPECT_FLOAT_EQ(t, 2.0f);
    // An edge and a corner count as inside.
    EXPECT_TRUE(RayTriangleIntersects({0.5f, 1, 0.5f}, {0, -1, 0}, v0, v1, v2, t));
    EXPECT_TRUE(RayTriangleIntersects({0, 1, 0}, {0, -1, 0}, v0, v1, v2, t));
    // Just outside, behind the origin, and parallel rays miss.
    EXPECT_FALSE(RayTriangleIntersects({0.6f, 1, 0.6f}, {0, -1, 0}, v0, v1, v2, t));
    EXPECT_FALSE(RayTriangleIntersects({0.25f, 1, 0.25f}, {0, 1, 0}, v0, v1, v2, t));
    EXPECT_FALSE(RayTriangleIntersects({0.25f, 0, 0.25f}, {1, 0, 0}, v0, v1, v2, t));
    EXPECT_FALSE(RayTriangleIntersects({0.25f, 1, 0.25f}, {0, 0, 0}, v0, v1, v2, t));
    // An origin on the plane hits at t = 0.
    ASSERT_TRUE(RayTriangleIntersects({0.25f, 0, 0.25f}, {0, -1, 0}, v0, v1, v2, t));
    EXPECT_EQ(t, 0.0f);
    // t is measured in lengths of the direction.
    ASSERT_TRUE(RayTriangleIntersects({0.25f, 4, 0.25f}, {0, -2, 0}, v0, v1, v2, t));
    EXPECT_FLOAT_EQ(t, 2.0f);
}
