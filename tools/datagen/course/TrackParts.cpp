#include "course/TrackParts.h"

#include "model/Texture.h"

#include <array>

using namespace gen;

namespace track {
namespace {

constexpr float kSliceStep = 1.5f;

void QuadFacing(Mesh& m, int mat, Vector3 a, Vector3 b, Vector3 c, Vector3 d, Vector3 facing, Vector2 uv0, Vector2 uv1) {
    if (FaceNormal(a, b, c).Dot(facing) < 0)
        m.Face(mat, {d, c, b, a}, {{uv1.x, uv1.y}, {uv1.x, uv0.y}, {uv0.x, uv0.y}, {uv0.x, uv1.y}});
    else
        m.Face(mat, {a, b, c, d}, {{uv0.x, uv1.y}, {uv0.x, uv0.y}, {uv1.x, uv0.y}, {uv1.x, uv1.y}});
}

}  // namespace

Vector3 Slice::Right() const {
    const float r = heading * kDegToRad;
    return {std::cos(r), 0, -std::sin(r)};
}

std::vector<Slice> Slices(float length, const std::function<Slice(float s)>& at) {
    std::vector<Slice> out;
    const int n = int(std::ceil(length / kSliceStep));
    for (int i = 0; i <= n; ++i) out.push_back(at(length * float(i) / float(n)));
    out.back() = out.front();
    out.back().s = length;
    return out;
}

Mesh RoadMesh(const std::vector<Slice>& sl, float halfWidth, float fenceOffset, float roadY) {
    Mesh m;
    const int asphalt = m.AddMaterial(Mat("Asphalt", {1, 1, 1, 1}, 0.9f, "asphalt.png"));
    const int kerb = m.AddMaterial(Mat("Kerb", {1, 1, 1, 1}, 0.8f, "kerb.png"));
    const int checker = m.AddMaterial(Mat("StartLine", {1, 1, 1, 1}, 0.8f, "checker.png"));
    const int post = m.AddMaterial(Mat("ArchPost", {0.35f, 0.36f, 0.4f, 1}, 0.6f, ""));
    const float w = halfWidth, kw = 0.8f, y = roadY, vPer = 1.0f / 10.0f;
    auto at = [&](const Slice& s, float off) { const Vector3 p = s.p + s.Right() * off; return Vector3{p.x, y, p.z}; };
    for (size_t i = 0; i + 1 < sl.size(); ++i) {
        const Slice &a = sl[i], &b = sl[i + 1];
        const bool bend = a.curvature != 0.0f || b.curvature != 0.0f;
        const float va = a.s * vPer, vb = b.s * vPer;
        // quads run from slice a to slice b; the face looks up (a-left, b-left, b-right, a-right)
        auto strip = [&](int mat, float o0, float o1, float u0, float u1, float v0, float v1) {
            m.Face(mat, {at(a, o0), at(b, o0), at(b, o1), at(a, o1)}, {{u0, v0}, {u0, v1}, {u1, v1}, {u1, v0}});
        };
        if (bend) {
            const float ka = a.s / 2.0f, kb = b.s / 2.0f;  // one pair of kerb blocks per 2 units
            strip(kerb, -w, -w + kw, 0, 1, ka, kb);
            strip(asphalt, -w + kw, w - kw, kw / (2 * w), 1 - kw / (2 * w), va, vb);
            strip(kerb, w - kw, w, 0, 1, ka, kb);
        } else {
            strip(asphalt, -w, w, 0, 1, va, vb);
        }
    }
    // start / finish line across the road at the origin, just above the asphalt
    const float ly = y + 0.01f;
    m.Face(checker, {{-w, ly, -0.6f}, {-w, ly, 0.6f}, {w, ly, 0.6f}, {w, ly, -0.6f}}, {{0, 1}, {0, 0}, {8, 0}, {8, 1}});
    // start arch: posts outside the fence, a chequered banner overhead
    const float px = fenceOffset + 1.2f;
    m.Box(post, {-px - 0.35f, 0, -0.35f}, {-px + 0.35f, 6.2f, 0.35f});
    m.Box(post, {px - 0.35f, 0, -0.35f}, {px + 0.35f, 6.2f, 0.35f});
    m.Box(checker, {-px - 0.2f, 5.0f, -0.15f}, {px + 0.2f, 6.0f, 0.15f}, 0.5f);
    return m;
}

Mesh FenceMesh(const std::vector<Slice>& sl, float fenceOffset, float height) {
    Mesh m;
    const int board = m.AddMaterial(Mat("Barrier", {1, 1, 1, 1}, 0.7f, "barrier.png"));
    const int cap = m.AddMaterial(Mat("BarrierCap", {0.22f, 0.22f, 0.24f, 1}, 0.7f, ""));
    const float h = height, t = 0.3f, off = fenceOffset;
    for (int side = -1; side <= 1; side += 2)
        for (size_t i = 0; i + 1 < sl.size(); ++i) {
            const Slice &a = sl[i], &b = sl[i + 1];
            const Vector3 ra = a.Right() * float(side), rb = b.Right() * float(side);
            const Vector3 ia = a.p + ra * off, ib = b.p + rb * off;
            const Vector3 oa = a.p + ra * (off + t), ob = b.p + rb * (off + t);
            const Vector3 up{0, h, 0};
            const float u0 = a.s / 4.0f, u1 = b.s / 4.0f;
            const Vector3 toTrack = -(ra + rb) * 0.5f;
            QuadFacing(m, board, ia, ia + up, ib + up, ib, toTrack, {u0, 0}, {u1, 1});
            QuadFacing(m, board, oa, oa + up, ob + up, ob, -toTrack, {u0, 0}, {u1, 1});
            QuadFacing(m, cap, ia + up, oa + up, ob + up, ib + up, {0, 1, 0}, {0, 0}, {1, 1});
        }
    return m;
}

void AddGroundGrid(Mesh& m, int material, float groundY, const std::function<Color(float x, float z)>& colour) {
    const float half = 780.0f;
    const int n = 48;
    Primitive& p = m.Prim(material);
    for (int j = 0; j <= n; ++j)
        for (int i = 0; i <= n; ++i) {
            const float x = -half + 2 * half * float(i) / n, z = -half + 2 * half * float(j) / n;
            p.vertices.push_back({{x, groundY, z}, {0, 1, 0}, {x / 8.0f, -z / 8.0f}, colour(x, z)});
        }
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i) {
            const uint32_t a = uint32_t(j * (n + 1) + i), b = a + uint32_t(n + 1), c = b + 1, d = a + 1;
            // (x, z) -> (x, z+1) -> (x+1, z+1) faces up
            p.indices.insert(p.indices.end(), {a, b, c, a, c, d});
        }
}

void AddHills(Mesh& m, int material, float groundY) {
    const int segs = 72;
    for (int i = 0; i < segs; ++i) {
        auto ridge = [&](int k) {
            const float t = 2 * kPi * float(k % segs) / segs;
            const float h = 25.0f + 70.0f * TileNoise(float(k % segs) / segs, 0.3f, 9, 41) + 25.0f * Hash01(uint32_t(k % segs), 1, 42);
            const float r0 = 560.0f, r1 = 610.0f + 30.0f * Hash01(uint32_t(k % segs), 2, 43), r2 = 700.0f;
            const Vector3 dir{std::sin(t), 0, std::cos(t)};
            return std::array<Vector3, 3>{Vector3{dir.x * r0, groundY - 1, dir.z * r0}, Vector3{dir.x * r1, h, dir.z * r1},
                                          Vector3{dir.x * r2, groundY - 1, dir.z * r2}};
        };
        auto a = ridge(i), b = ridge(i + 1);
        const float shade = 0.85f + 0.15f * Hash01(uint32_t(i), 3, 44);
        const Color c{shade, shade, shade, 1};
        // inner slope faces the course (towards the centre), outer slope away
        Vector3 inward = -(a[1] + b[1]) * 0.5f;
        inward.y = 0;
        auto face = [&](Vector3 p0, Vector3 p1, Vector3 p2, Vector3 want) {
            if (FaceNormal(p0, p1, p2).Dot(want) < 0) std::swap(p1, p2);
            m.Face(material, {p0, p1, p2}, {}, c);
        };
        const Vector3 up{0, 1, 0};
        face(a[0], a[1], b[1], inward + up * 300.0f);
        face(a[0], b[1], b[0], inward + up * 300.0f);
        face(a[1], a[2], b[2], -inward + up * 300.0f);
        face(a[1], b[2], b[1], -inward + up * 300.0f);
    }
}

void AddCactus(Mesh& m, int material, uint32_t i, float x, float z, float groundY) {
    const float h = 1.6f + 2.5f * Hash01(i, 9, 65);
    m.Beam(material, {x, groundY, z}, {x, groundY + h, z}, 0.45f, 0.45f, {0, 0, 1});
    const float side = Hash01(i, 10, 66) < 0.5f ? -1.0f : 1.0f;
    m.Beam(material, {x, groundY + h * 0.45f, z}, {x + side * 0.8f, groundY + h * 0.45f, z}, 0.3f, 0.3f);
    m.Beam(material, {x + side * 0.8f, groundY + h * 0.4f, z}, {x + side * 0.8f, groundY + h * 0.8f, z}, 0.3f, 0.3f, {0, 0, 1});
}

void AddRock(Mesh& m, int material, uint32_t i, float x, float z, float groundY, Color colour) {
    const float size = 0.6f + 2.2f * Hash01(i, 7, 63);
    const float a = 6.28f * Hash01(i, 11, 67);
    Vector3 ring[5];
    for (int k = 0; k < 5; ++k) {
        const float t = a + 6.2832f * float(k) / 5.0f;
        const float r = size * (0.75f + 0.4f * Hash01(i, 12 + uint32_t(k), 68));
        ring[k] = {x + std::cos(t) * r, groundY + size * 0.25f, z + std::sin(t) * r};
    }
    const Vector3 top{x + 0.2f * size, groundY + size * (0.7f + 0.5f * Hash01(i, 20, 69)), z};
    const Vector3 bottom{x, groundY - 0.3f, z};
    for (int k = 0; k < 5; ++k) {
        const Vector3 p0 = ring[k], p1 = ring[(k + 1) % 5];
        const Vector3 out = (p0 + p1) * 0.5f - Vector3{x, (p0.y + p1.y) * 0.5f, z};
        auto tri = [&](Vector3 q0, Vector3 q1, Vector3 q2, Vector3 want) {
            if (FaceNormal(q0, q1, q2).Dot(want) < 0) std::swap(q1, q2);
            m.Face(material, {q0, q1, q2}, {}, colour);
        };
        tri(p0, p1, top, out + Vector3{0, size, 0});
        tri(p0, p1, bottom, out - Vector3{0, size * 0.2f, 0});
    }
}

namespace {
constexpr float kSkyRadius = 760.0f;  // inside the far plane (1000) from anywhere on a course
}

void AddDome(Mesh& m, int material, const std::function<Color(float elevation)>& colour) {
    const float R = kSkyRadius;
    const int seg = 32, rings = 12;
    Primitive& p = m.Prim(material);
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
}

void AddSun(Mesh& m, int material, const Vector3& toSun, Color colour) {
    const float R = kSkyRadius;
    const Vector3 right = Vector3{0, 1, 0}.Cross(toSun).Normalized(), up = toSun.Cross(right).Normalized();
    std::vector<Vector3> disc;
    const int n = 16;
    for (int i = 0; i < n; ++i) {
        const float a = -2 * kPi * float(i) / float(n);
        disc.push_back(toSun * (R - 20.0f) + (right * std::cos(a) + up * std::sin(a)) * 28.0f);
    }
    if (FaceNormal(disc[0], disc[1], disc[2]).Dot(toSun) > 0) std::reverse(disc.begin(), disc.end());
    m.Face(material, disc, {}, colour);
}

}  // namespace track
