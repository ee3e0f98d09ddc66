#pragma once
// The game's small math layer: float vectors and a 4 x 4 row-major matrix used
// with row vectors (point * matrix), left-handed, +Y up. Composite transforms
// are written in the order they apply: scale * rotation * translation.

#include <cmath>

constexpr float kDegToRad = 0.0174533f;  // single-precision pi / 180
constexpr float kRadToDeg = 57.29578f;
constexpr float kPi = 3.14159265f;

struct Matrix;

// Sine and cosine of an angle in degrees, exact at multiples of 90: an object
// turned onto an axis then moves exactly along it.
void SinCosDegrees(float degrees, float& sine, float& cosine);

struct Vector2 {
    float x = 0.0f, y = 0.0f;

    constexpr Vector2() = default;
    constexpr Vector2(float x_, float y_) : x(x_), y(y_) {}

    Vector2 operator+(const Vector2& o) const { return {x + o.x, y + o.y}; }
    Vector2 operator-(const Vector2& o) const { return {x - o.x, y - o.y}; }
    Vector2 operator*(float s) const { return {x * s, y * s}; }
    Vector2& operator+=(const Vector2& o) { x += o.x; y += o.y; return *this; }
    bool operator==(const Vector2&) const = default;
    float Length() const { return std::sqrt(x * x + y * y); }
};

struct Vector3 {
    float x = 0.0f, y = 0.0f, z = 0.0f;

    constexpr Vector3() = default;
    constexpr Vector3(float x_, float y_, float z_) : x(x_), y(y_), z(z_) {}

    Vector3 operator+(const Vector3& o) const { return {x + o.x, y + o.y, z + o.z}; }
    Vector3 operator-(const Vector3& o) const { return {x - o.x, y - o.y, z - o.z}; }
    Vector3 operator-() const { return {-x, -y, -z}; }
    Vector3 operator*(float s) const { return {x * s, y * s, z * s}; }
    Vector3 operator*(const Vector3& o) const { return {x * o.x, y * o.y, z * o.z}; }
    Vector3 operator/(float s) const { return {x / s, y / s, z / s}; }
    Vector3& operator+=(const Vector3& o) { x += o.x; y += o.y; z += o.z; return *this; }
    Vector3& operator-=(const Vector3& o) { x -= o.x; y -= o.y; z -= o.z; return *this; }
    Vector3& operator*=(float s) { x *= s; y *= s; z *= s; return *this; }
    bool operator==(const Vector3&) const = default;

    float LengthSquared() const { return x * x + y * y + z * z; }
    float Length() const { return std::sqrt(LengthSquared()); }
    float Dot(const Vector3& o) const { return x * o.x + y * o.y + z * o.z; }
    Vector3 Cross(const Vector3& o) const {
        return {y * o.z - z * o.y, z * o.x - x * o.z, x * o.y - y * o.x};
    }
    // A zero vector stays zero; a squared length that overflows to infinity
    // gives not-a-number components, as the vector library the game was tuned
    // on does.
    void Normalize() { *this = Normalized(); }
    Vector3 Normalized() const;

    // Point transform: (x, y, z, 1) * m, divided by w.
    static Vector3 Transform(const Vector3& v, const Matrix& m);
    // Direction transform: (x, y, z, 0) * m, no translation.
    static Vector3 TransformNormal(const Vector3& v, const Matrix& m);
};

inline Vector3 operator*(float s, const Vector3& v) { return v * s; }

struct Vector4 {
    float x = 0.0f, y = 0.0f, z = 0.0f, w = 0.0f;

    constexpr Vector4() = default;
    constexpr Vector4(float x_, float y_, float z_, float w_) : x(x_), y(y_), z(z_), w(w_) {}
    constexpr Vector4(const Vector3& v, float w_) : x(v.x), y(v.y), z(v.z), w(w_) {}

    bool operator==(const Vector4&) const = default;
    static Vector4 Transform(const Vector4& v, const Matrix& m);
};

struct Quaternion {
    float x = 0.0f, y = 0.0f, z = 0.0f, w = 1.0f;
};

struct Matrix {
    float m[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};

    constexpr Matrix() = default;
    constexpr Matrix(float m00, float m01, float m02, float m03,
                     float m10, float m11, float m12, float m13,
                     float m20, float m21, float m22, float m23,
                     float m30, float m31, float m32, float m33)
        : m{{m00, m01, m02, m03}, {m10, m11, m12, m13}, {m20, m21, m22, m23}, {m30, m31, m32, m33}} {}

    static Matrix Identity() { return Matrix(); }
    static Matrix CreateTranslation(float x, float y, float z);
    static Matrix CreateTranslation(const Vector3& t) { return CreateTranslation(t.x, t.y, t.z); }
    static Matrix CreateScale(float s) { return CreateScale(s, s, s); }
    static Matrix CreateScale(float x, float y, float z);
    static Matrix CreateScale(const Vector3& s) { return CreateScale(s.x, s.y, s.z); }
    // Angles in radians; a positive angle about Y turns +Z towards +X.
    static Matrix CreateRotationX(float radians);
    static Matrix CreateRotationY(float radians);
    // The same turn given in degrees, exact at multiples of 90 (SinCosDegrees).
    static Matrix CreateRotationYDegrees(float degrees);
    static Matrix CreateRotationZ(float radians);
    static Matrix CreateFromQuaternion(const Quaternion& q);
    static Matrix LookAtLH(const Vector3& eye, const Vector3& target, const Vector3& up);
    // Depth maps to 0 at the near plane and 1 at the far plane.
    static Matrix PerspectiveFovLH(float fovY, float aspect, float nearZ, float farZ);

    Matrix operator*(const Matrix& o) const;
    Matrix& operator*=(const Matrix& o) { return *this = *this * o; }
    bool operator==(const Matrix&) const = default;

    // General inverse; a singular matrix gives non-finite elements.
    Matrix Invert() const;
    Matrix Transpose() const;
    float Determinant() const;
    Vector3 Translation() const { return {m[3][0], m[3][1], m[3][2]}; }
    const float* Data() const { return &m[0][0]; }
};

// Ray against one triangle, either face. |det| < 1e-20 never hits; the edges
// and corners count as inside; only t >= 0 hits. t is in units of |direction|.
bool RayTriangleIntersects(const Vector3& origin, const Vector3& direction,
                           const Vector3& v0, const Vector3& v1, const Vector3& v2, float& t);
