#include "framework/Math.h"

#include "framework/StableMath.h"

#include <limits>

Vector3 Vector3::Normalized() const {
    const float lengthSq = LengthSquared();
    if (std::isinf(lengthSq)) {
        const float nan = std::numeric_limits<float>::quiet_NaN();
        return {nan, nan, nan};
    }
    const float length = std::sqrt(lengthSq);
    if (!(length > 0.0f)) return {};
    return {x / length, y / length, z / length};
}

Vector3 Vector3::Transform(const Vector3& v, const Matrix& m) {
    const auto& a = m.m;
    const float x = v.x * a[0][0] + v.y * a[1][0] + v.z * a[2][0] + a[3][0];
    const float y = v.x * a[0][1] + v.y * a[1][1] + v.z * a[2][1] + a[3][1];
    const float z = v.x * a[0][2] + v.y * a[1][2] + v.z * a[2][2] + a[3][2];
    const float w = v.x * a[0][3] + v.y * a[1][3] + v.z * a[2][3] + a[3][3];
    return {x / w, y / w, z / w};
}

Vector3 Vector3::TransformNormal(const Vector3& v, const Matrix& m) {
    const auto& a = m.m;
    return {v.x * a[0][0] + v.y * a[1][0] + v.z * a[2][0],
            v.x * a[0][1] + v.y * a[1][1] + v.z * a[2][1],
            v.x * a[0][2] + v.y * a[1][2] + v.z * a[2][2]};
}

Vector4 Vector4::Transform(const Vector4& v, const Matrix& m) {
    const auto& a = m.m;
    Vector4 r;
    r.x = v.x * a[0][0] + v.y * a[1][0] + v.z * a[2][0] + v.w * a[3][0];
    r.y = v.x * a[0][1] + v.y * a[1][1] + v.z * a[2][1] + v.w * a[3][1];
    r.z = v.x * a[0][2] + v.y * a[1][2] + v.z * a[2][2] + v.w * a[3][2];
    r.w = v.x * a[0][3] + v.y * a[1][3] + v.z * a[2][3] + v.w * a[3][3];
    return r;
}

Matrix Matrix::CreateTranslation(float x, float y, float z) {
    Matrix r;
    r.m[3][0] = x;
    r.m[3][1] = y;
    r.m[3][2] = z;
    return r;
}

Matrix Matrix::CreateScale(float x, float y, float z) {
    Matrix r;
    r.m[0][0] = x;
    r.m[1][1] = y;
    r.m[2][2] = z;
    return r;
}

Matrix Matrix::CreateRotationX(float radians) {
    float s, c;
    StableMath::SinCos(radians, s, c);
    Matrix r;
    r.m[1][1] = c;
    r.m[1][2] = s;
    r.m[2][1] = -s;
    r.m[2][2] = c;
    return r;
}

void SinCosDegrees(float degrees, float& sine, float& cosine) {
    const float turns = degrees / 90.0f;
    if (turns == std::floor(turns) && std::fabs(turns) < 1e6f) {
        static constexpr float kSin[4] = {0.0f, 1.0f, 0.0f, -1.0f};
        const int quarter = int(std::fmod(turns, 4.0f) + 4.0f) % 4;
        sine = kSin[quarter];
        cosine = kSin[(quarter + 1) % 4];
        return;
    }
    StableMath::SinCos(degrees * kDegToRad, sine, cosine);
}

namespace {
Matrix RotationY(float s, float c) {
    Matrix r;
    r.m[0][0] = c;
    r.m[0][2] = -s;
    r.m[2][0] = s;
    r.m[2][2] = c;
    return r;
}
}  // namespace

Matrix Matrix::CreateRotationY(float radians) {
    float s, c;
    StableMath::SinCos(radians, s, c);
    return RotationY(s, c);
}

Matrix Matrix::CreateRotationYDegrees(float degrees) {
    float s, c;
    SinCosDegrees(degrees, s, c);
    return RotationY(s, c);
}

Matrix Matrix::CreateRotationZ(float radians) {
    float s, c;
    StableMath::SinCos(radians, s, c);
    Matrix r;
    r.m[0][0] = c;
    r.m[0][1] = s;
    r.m[1][0] = -s;
    r.m[1][1] = c;
    return r;
}

Matrix Matrix::CreateFromQuaternion(const Quaternion& q) {
    const float xx = q.x * q.x, yy = q.y * q.y, zz = q.z * q.z;
    const float xy = q.x * q.y, xz = q.x * q.z, yz = q.y * q.z;
    const float wx = q.w * q.x, wy = q.w * q.y, wz = q.w * q.z;
    return Matrix(1 - 2 * (yy + zz), 2 * (xy + wz), 2 * (xz - wy), 0,
                  2 * (xy - wz), 1 - 2 * (xx + zz), 2 * (yz + wx), 0,
                  2 * (xz + wy), 2 * (yz - wx), 1 - 2 * (xx + yy), 0,
                  0, 0, 0, 1);
}

Matrix Matrix::LookAtLH(const Vector3& eye, const Vector3& target, const Vector3& up) {
    const Vector3 zAxis = (target - eye).Normalized();
    const Vector3 xAxis = up.Cross(zAxis).Normalized();
    const Vector3 yAxis = zAxis.Cross(xAxis);
    return Matrix(xAxis.x, yAxis.x, zAxis.x, 0,
                  xAxis.y, yAxis.y, zAxis.y, 0,
                  xAxis.z, yAxis.z, zAxis.z, 0,
                  -xAxis.Dot(eye), -yAxis.Dot(eye), -zAxis.Dot(eye), 1);
}

Matrix Matrix::PerspectiveFovLH(float fovY, float aspect, float nearZ, float farZ) {
    float s, c;
    StableMath::SinCos(0.5f * fovY, s, c);
    const float h = c / s;
    const float w = h / aspect;
    const float range = farZ / (farZ - nearZ);
    return Matrix(w, 0, 0, 0,
                  0, h, 0, 0,
                  0, 0, range, 1,
                  0, 0, -range * nearZ, 0);
}

Matrix Matrix::operator*(const Matrix& o) const {
    Matrix r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            r.m[i][j] = m[i][0] * o.m[0][j] + m[i][1] * o.m[1][j] + m[i][2] * o.m[2][j] + m[i][3] * o.m[3][j];
    return r;
}

Matrix Matrix::Transpose() const {
    Matrix r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) r.m[i][j] = m[j][i];
    return r;
}

namespace {
// Cofactor expansion over 2 x 2 sub-determinants of the lower and upper halves.
struct Cofactors {
    float s0, s1, s2, s3, s4, s5, c0, c1, c2, c3, c4, c5;
    explicit Cofactors(const float (&a)[4][4]) {
        s0 = a[0][0] * a[1][1] - a[1][0] * a[0][1];
        s1 = a[0][0] * a[1][2] - a[1][0] * a[0][2];
        s2 = a[0][0] * a[1][3] - a[1][0] * a[0][3];
        s3 = a[0][1] * a[1][2] - a[1][1] * a[0][2];
        s4 = a[0][1] * a[1][3] - a[1][1] * a[0][3];
        s5 = a[0][2] * a[1][3] - a[1][2] * a[0][3];
        c5 = a[2][2] * a[3][3] - a[3][2] * a[2][3];
        c4 = a[2][1] * a[3][3] - a[3][1] * a[2][3];
        c3 = a[2][1] * a[3][2] - a[3][1] * a[2][2];
        c2 = a[2][0] * a[3][3] - a[3][0] * a[2][3];
        c1 = a[2][0] * a[3][2] - a[3][0] * a[2][2];
        c0 = a[2][0] * a[3][1] - a[3][0] * a[2][1];
    }
    float Determinant() const { return s0 * c5 - s1 * c4 + s2 * c3 + s3 * c2 - s4 * c1 + s5 * c0; }
};
}  // namespace

float Matrix::Determinant() const { return Cofactors(m).Determinant(); }

Matrix Matrix::Invert() const {
    const auto& a = m;
    const Cofactors k(a);
    const float inv = 1.0f / k.Determinant();
    Matrix r;
    r.m[0][0] = (a[1][1] * k.c5 - a[1][2] * k.c4 + a[1][3] * k.c3) * inv;
    r.m[0][1] = (-a[0][1] * k.c5 + a[0][2] * k.c4 - a[0][3] * k.c3) * inv;
    r.m[0][2] = (a[3][1] * k.s5 - a[3][2] * k.s4 + a[3][3] * k.s3) * inv;
    r.m[0][3] = (-a[2][1] * k.s5 + a[2][2] * k.s4 - a[2][3] * k.s3) * inv;
    r.m[1][0] = (-a[1][0] * k.c5 + a[1][2] * k.c2 - a[1][3] * k.c1) * inv;
    r.m[1][1] = (a[0][0] * k.c5 - a[0][2] * k.c2 + a[0][3] * k.c1) * inv;
    r.m[1][2] = (-a[3][0] * k.s5 + a[3][2] * k.s2 - a[3][3] * k.s1) * inv;
    r.m[1][3] = (a[2][0] * k.s5 - a[2][2] * k.s2 + a[2][3] * k.s1) * inv;
    r.m[2][0] = (a[1][0] * k.c4 - a[1][1] * k.c2 + a[1][3] * k.c0) * inv;
    r.m[2][1] = (-a[0][0] * k.c4 + a[0][1] * k.c2 - a[0][3] * k.c0) * inv;
    r.m[2][2] = (a[3][0] * k.s4 - a[3][1] * k.s2 + a[3][3] * k.s0) * inv;
    r.m[2][3] = (-a[2][0] * k.s4 + a[2][1] * k.s2 - a[2][3] * k.s0) * inv;
    r.m[3][0] = (-a[1][0] * k.c3 + a[1][1] * k.c1 - a[1][2] * k.c0) * inv;
    r.m[3][1] = (a[0][0] * k.c3 - a[0][1] * k.c1 + a[0][2] * k.c0) * inv;
    r.m[3][2] = (-a[3][0] * k.s3 + a[3][1] * k.s1 - a[3][2] * k.s0) * inv;
    r.m[3][3] = (a[2][0] * k.s3 - a[2][1] * k.s1 + a[2][2] * k.s0) * inv;
    return r;
}

bool RayTriangleIntersects(const Vector3& origin, const Vector3& direction,
                           const Vector3& v0, const Vector3& v1, const Vector3& v2, float& t) {
    constexpr float kEpsilon = 1e-20f;
    const Vector3 e1 = v1 - v0;
    const Vector3 e2 = v2 - v0;
    const Vector3 p = direction.Cross(e2);
    const float det = e1.Dot(p);
    const Vector3 s = origin - v0;
    float u, v, dist;
    if (det >= kEpsilon) {
        u = s.Dot(p);
        if (u < 0.0f || u > det) return false;
        const Vector3 q = s.Cross(e1);
        v = direction.Dot(q);
        if (v < 0.0f || u + v > det) return false;
        dist = e2.Dot(q);
        if (dist < 0.0f) return false;
    } else if (det <= -kEpsilon) {
        u = s.Dot(p);
        if (u > 0.0f || u < det) return false;
        const Vector3 q = s.Cross(e1);
        v = direction.Dot(q);
        if (v > 0.0f || u + v < det) return false;
        dist = e2.Dot(q);
        if (dist > 0.0f) return false;
    } else {
        return false;
    }
    t = dist / det;
    return true;
}
