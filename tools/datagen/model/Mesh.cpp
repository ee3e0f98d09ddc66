#include "model/Mesh.h"

#include <algorithm>
#include <cmath>

namespace gen {

Vector3 FaceNormal(Vector3 a, Vector3 b, Vector3 c) { return (b - a).Cross(c - a).Normalized(); }

int Mesh::AddMaterial(const Material& m) {
    materials.push_back(m);
    return int(materials.size()) - 1;
}

Primitive& Mesh::Prim(int material) {
    for (Primitive& p : prims)
        if (p.material == material) return p;
    prims.push_back({material, {}, {}});
    return prims.back();
}

void Mesh::Face(int mat, const std::vector<Vector3>& pts, const std::vector<Vector2>& uvs, Color c) {
    if (pts.size() < 3) return;
    Vector3 n = FaceNormal(pts[0], pts[1], pts[2]);
    Primitive& p = Prim(mat);
    const uint32_t base = uint32_t(p.vertices.size());
    for (size_t i = 0; i < pts.size(); ++i)
        p.vertices.push_back({pts[i], n, i < uvs.size() ? uvs[i] : Vector2{}, c});
    for (uint32_t i = 1; i + 1 < pts.size(); ++i) {
        p.indices.push_back(base);
        p.indices.push_back(base + i);
        p.indices.push_back(base + i + 1);
    }
}

void Mesh::Quad(int mat, Vector3 a, Vector3 b, Vector3 c, Vector3 d, Vector2 uv0, Vector2 uv1, Color col) {
    Face(mat, {a, b, c, d}, {{uv0.x, uv1.y}, {uv0.x, uv0.y}, {uv1.x, uv0.y}, {uv1.x, uv1.y}}, col);
}

void Mesh::Box(int mat, Vector3 n, Vector3 x, float s, bool bottom) {
    auto uv = [&](float w, float h) { return s > 0 ? Vector2{w * s, h * s} : Vector2{1, 1}; };
    const float dx = x.x - n.x, dy = x.y - n.y, dz = x.z - n.z;
    // top (+Y)
    Quad(mat, {n.x, x.y, n.z}, {n.x, x.y, x.z}, {x.x, x.y, x.z}, {x.x, x.y, n.z}, {0, 0}, uv(dz, dx));
    if (bottom) Quad(mat, {n.x, n.y, n.z}, {x.x, n.y, n.z}, {x.x, n.y, x.z}, {n.x, n.y, x.z}, {0, 0}, uv(dx, dz));
    // -Z face, seen from -Z: x grows to the right, y up
    Quad(mat, {n.x, n.y, n.z}, {n.x, x.y, n.z}, {x.x, x.y, n.z}, {x.x, n.y, n.z}, {0, 0}, uv(dx, dy));
    // +Z face
    Quad(mat, {x.x, n.y, x.z}, {x.x, x.y, x.z}, {n.x, x.y, x.z}, {n.x, n.y, x.z}, {0, 0}, uv(dx, dy));
    // -X face
    Quad(mat, {n.x, n.y, x.z}, {n.x, x.y, x.z}, {n.x, x.y, n.z}, {n.x, n.y, n.z}, {0, 0}, uv(dz, dy));
    // +X face
    Quad(mat, {x.x, n.y, n.z}, {x.x, x.y, n.z}, {x.x, x.y, x.z}, {x.x, n.y, x.z}, {0, 0}, uv(dz, dy));
}

void Mesh::Beam(int mat, Vector3 a, Vector3 b, float width, float height, Vector3 up) {
    Vector3 f = (b - a).Normalized();
    Vector3 r = up.Cross(f).Normalized();  // left-handed: up x forward = right
    Vector3 u = f.Cross(r).Normalized();
    Vector3 hr = r * (width * 0.5f), hu = u * (height * 0.5f);
    Vector3 c[8];
    for (int i = 0; i < 8; ++i) {
        Vector3 base = (i & 4) ? b : a;
        c[i] = base + ((i & 1) ? hr : -hr) + ((i & 2) ? hu : -hu);
    }
    // indices: bit0 right, bit1 up, bit2 far end
    Quad(mat, c[2], c[6], c[7], c[3]);  // top
    Quad(mat, c[0], c[1], c[5], c[4]);  // bottom
    Quad(mat, c[1], c[3], c[7], c[5]);  // right
    Quad(mat, c[4], c[6], c[2], c[0]);  // left
    Quad(mat, c[5], c[7], c[6], c[4]);  // far end
    Quad(mat, c[0], c[2], c[3], c[1]);  // near end
}

void Mesh::Cylinder(int mat, Vector3 a, Vector3 b, float radius, int segments, bool caps, float radius2) {
    if (radius2 < 0) radius2 = radius;
    Vector3 f = (b - a).Normalized();
    Vector3 helper = std::fabs(f.y) < 0.9f ? Vector3{0, 1, 0} : Vector3{1, 0, 0};
    Vector3 r = helper.Cross(f).Normalized();
    Vector3 u = f.Cross(r).Normalized();
    Primitive& p = Prim(mat);
    const uint32_t base = uint32_t(p.vertices.size());
    for (int i = 0; i <= segments; ++i) {
        float t = 2.0f * kPi * float(i) / float(segments);
        Vector3 d = r * std::cos(t) + u * std::sin(t);
        float v = float(i) / float(segments);
        p.vertices.push_back({a + d * radius, d, {v, 0}, {}});
        p.vertices.push_back({b + d * radius2, d, {v, 1}, {}});
    }
    for (int i = 0; i < segments; ++i) {
        uint32_t a0 = base + 2 * i, b0 = a0 + 1, a1 = a0 + 2, b1 = a0 + 3;
        // the side faces outward: angle grows from r towards u
        p.indices.insert(p.indices.end(), {a0, b0, b1, a0, b1, a1});
    }
    // fix winding if it came out facing inward
    {
        Vector3 n = FaceNormal(p.vertices[base].position, p.vertices[base + 1].position, p.vertices[base + 3].position);
        if (n.Dot(p.vertices[base].normal) < 0) {
            for (size_t k = p.indices.size() - size_t(segments) * 6; k < p.indices.size(); k += 3)
                std::swap(p.indices[k + 1], p.indices[k + 2]);
        }
    }
    if (caps) {
        std::vector<Vector3> ca, cb;
        for (int i = 0; i < segments; ++i) {
            float t = 2.0f * kPi * float(i) / float(segments);
            Vector3 d = r * std::cos(t) + u * std::sin(t);
            ca.push_back(a + d * radius);
            cb.push_back(b + d * radius2);
        }
        auto orient = [&](std::vector<Vector3>& pts, Vector3 outward) {
            if (FaceNormal(pts[0], pts[1], pts[2]).Dot(outward) < 0) std::reverse(pts.begin(), pts.end());
        };
        orient(ca, -f);
        orient(cb, f);
        std::vector<Vector2> uva;
        for (int i = 0; i < segments; ++i) {
            float t = 2.0f * kPi * float(i) / float(segments);
            uva.push_back({0.5f + 0.5f * std::cos(t), 0.5f + 0.5f * std::sin(t)});
        }
        Face(mat, ca, uva);
        Face(mat, cb, uva);
    }
}

void Mesh::Append(const Mesh& other, const Matrix& m) {
    std::vector<int> remap;
    for (const Material& mat : other.materials) {
        int found = -1;
        for (size_t i = 0; i < materials.size(); ++i)
            if (materials[i].name == mat.name) found = int(i);
        remap.push_back(found >= 0 ? found : AddMaterial(mat));
    }
    const bool mirror = m.Determinant() < 0;
    for (const Primitive& src : other.prims) {
        Primitive& dst = Prim(remap[size_t(src.material)]);
        const uint32_t base = uint32_t(dst.vertices.size());
        for (Vertex v : src.vertices) {
            v.position = Vector3::Transform(v.position, m);
            v.normal = Vector3::TransformNormal(v.normal, m).Normalized();
            dst.vertices.push_back(v);
        }
        for (size_t k = 0; k + 2 < src.indices.size(); k += 3) {
            dst.indices.push_back(base + src.indices[k]);
            dst.indices.push_back(base + src.indices[k + (mirror ? 2 : 1)]);
            dst.indices.push_back(base + src.indices[k + (mirror ? 1 : 2)]);
        }
    }
}

}  // namespace gen
