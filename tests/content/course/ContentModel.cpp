#include "ContentModel.h"

#include <tiny_gltf.h>

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

// Reads float or unsigned components of an accessor, tightly packed, with bounds checks.
bool ReadAccessor(const tinygltf::Model& m, int index, int components, std::vector<double>& out) {
    if (index < 0 || size_t(index) >= m.accessors.size()) return false;
    const auto& acc = m.accessors[size_t(index)];
    if (acc.bufferView < 0 || size_t(acc.bufferView) >= m.bufferViews.size()) return false;
    const auto& view = m.bufferViews[size_t(acc.bufferView)];
    if (view.buffer < 0 || size_t(view.buffer) >= m.buffers.size()) return false;
    const auto& data = m.buffers[size_t(view.buffer)].data;
    const int size = tinygltf::GetComponentSizeInBytes(uint32_t(acc.componentType));
    if (size <= 0) return false;
    const size_t start = view.byteOffset + acc.byteOffset;
    const size_t bytes = acc.count * size_t(components) * size_t(size);
    if (start + bytes > data.size()) return false;
    out.resize(acc.count * size_t(components));
    for (size_t i = 0; i < out.size(); ++i) {
        const unsigned char* p = &data[start + i * size_t(size)];
        switch (acc.componentType) {
        case TINYGLTF_COMPONENT_TYPE_FLOAT: { float f; std::memcpy(&f, p, 4); out[i] = f; break; }
        case TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT: { uint32_t u; std::memcpy(&u, p, 4); out[i] = u; break; }
        case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT: { uint16_t u; std::memcpy(&u, p, 2); out[i] = u; break; }
        case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE: out[i] = *p; break;
        default: return false;
        }
    }
    return true;
}

Matrix NodeTransform(const tinygltf::Node& n) {
    Matrix s, r, t;
    if (n.scale.size() >= 3) s = Matrix::CreateScale(float(n.scale[0]), float(n.scale[1]), float(n.scale[2]));
    if (n.rotation.size() >= 4)
        r = Matrix::CreateFromQuaternion({float(n.rotation[0]), float(n.rotation[1]), float(n.rotation[2]), float(n.rotation[3])});
    if (n.translation.size() >= 3)
        t = Matrix::CreateTranslation(float(n.translation[0]), float(n.translation[1]), float(n.translation[2]));
    if (n.matrix.size() == 16)
        for (int i = 0; i < 16; ++i) s.m[i / 4][i % 4] = float(n.matrix[size_t(i)]);
    Matrix m = s * r * t;
    m.m[0][2] = -m.m[0][2];
    m.m[1][2] = -m.m[1][2];
    m.m[2][0] = -m.m[2][0];
    m.m[2][1] = -m.m[2][1];
    m.m[3][2] = -m.m[3][2];
    return m;
}

}  // namespace

std::string DataPath(const std::string& relative) { return std::string(VORLAN_BINARY_DIR) + "/Data/" + relative; }

size_t ContentModel::TriangleCount() const {
    size_t n = 0;
    for (const auto& node : nodes) n += node.faces.size() / 3;
    return n;
}

Vector3 ContentModel::Min() const {
    Vector3 r{1e30f, 1e30f, 1e30f};
    for (const auto& n : nodes)
        for (const Vector3& p : n.positions) {
            Vector3 q = Vector3::Transform(p, n.transform);
            r = {std::min(r.x, q.x), std::min(r.y, q.y), std::min(r.z, q.z)};
        }
    return r;
}

Vector3 ContentModel::Max() const {
    Vector3 r{-1e30f, -1e30f, -1e30f};
    for (const auto& n : nodes)
        for (const Vector3& p : n.positions) {
            Vector3 q = Vector3::Transform(p, n.transform);
            r = {std::max(r.x, q.x), std::max(r.y, q.y), std::max(r.z, q.z)};
        }
    return r;
}

ContentModel LoadContentModel(const std::string& path) {
    ContentModel out;
    tinygltf::TinyGLTF loader;
    tinygltf::Model m;
    std::string err, warn;
    if (!loader.LoadASCIIFromFile(&m, &err, &warn, path)) {
        out.error = err.empty() ? "cannot parse " + path : err;
        return out;
    }
    for (const auto& img : m.images) out.images.push_back(img.uri);
    for (const auto& n : m.nodes) {
        ContentNode node;
        node.transform = NodeTransform(n);
        if (n.mesh >= 0 && size_t(n.mesh) < m.meshes.size()) {
            for (const auto& prim : m.meshes[size_t(n.mesh)].primitives) {
                if (prim.mode != TINYGLTF_MODE_TRIANGLES) continue;
                auto pos = prim.attributes.find("POSITION");
                if (pos == prim.attributes.end()) continue;
                std::vector<double> p, uv, idx;
                if (!ReadAccessor(m, pos->second, 3, p) || !ReadAccessor(m, prim.indices, 1, idx)) {
                    out.error = "bad accessor in " + path;
                    return out;
                }
                auto tc = prim.attributes.find("TEXCOORD_0");
                if (tc != prim.attributes.end()) ReadAccessor(m, tc->second, 2, uv);
                const uint32_t base = uint32_t(node.positions.size());
                for (size_t i = 0; i + 2 < p.size(); i += 3) {
                    node.positions.push_back({float(p[i]), float(p[i + 1]), -float(p[i + 2])});
                    const size_t k = i / 3;
                    node.uvs.push_back(2 * k + 1 < uv.size() ? Vector2{float(uv[2 * k]), float(uv[2 * k + 1])} : Vector2{});
                }
                for (size_t i = 0; i + 2 < idx.size(); i += 3) {
                    const uint32_t a = uint32_t(idx[i]), b = uint32_t(idx[i + 2]), c = uint32_t(idx[i + 1]);
                    if (a >= p.size() / 3 || b >= p.size() / 3 || c >= p.size() / 3) {
                        out.error = "index out of range in " + path;
                        return out;
                    }
                    node.faces.insert(node.faces.end(), {base + a, base + b, base + c});
                }
            }
        }
        out.nodes.push_back(std::move(node));
    }
    out.ok = true;
    return out;
}

RayHit CastRay(const ContentModel& model, const Matrix& world, Vector3 origin, Vector3 direction) {
    RayHit best;
    float nearest = std::numeric_limits<float>::max();
    for (const auto& node : model.nodes) {
        if (node.faces.empty()) continue;
        const Matrix M = node.transform * world;
        const Matrix inv = M.Invert();
        const Vector3 o = Vector3::Transform(origin, inv);
        Vector3 d = Vector3::TransformNormal(direction, inv);
        const float L = d.Length();
        d = d.Normalized();
        for (size_t f = 0; f + 2 < node.faces.size(); f += 3) {
            const Vector3 &v0 = node.positions[node.faces[f]], &v1 = node.positions[node.faces[f + 1]],
                          &v2 = node.positions[node.faces[f + 2]];
            float t = 0;
            if (!RayTriangleIntersects(o, d, v0, v1, v2, t)) continue;
            const float dist = t / L;
            if (dist < nearest) {
                nearest = dist;
                best.hit = true;
                best.distance = dist;
                best.normal = Vector3::TransformNormal((v1 - v0).Cross(v2 - v0), M).Normalized();
            }
        }
    }
    return best;
}
