#include "ContentModel.h"

#include "framework/graphics/AxGLTFModel.h"

#include <algorithm>
#include <limits>

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

// Through the game's own first loading stage, so the tests see exactly the
// triangles the ray queries will see.
ContentModel LoadContentModel(const std::string& path) {
    ContentModel out;
    const std::shared_ptr<AxGLTFModel> model = AxLoadGLTFModel(path);
    if (!model) {
        out.error = "cannot parse " + path;
        return out;
    }
    for (const AxGLTFMaterial& material : model->materials) {
        for (const std::string* uri : {&material.baseColorTexture, &material.metallicRoughnessTexture,
                                       &material.emissiveTexture}) {
            if (!uri->empty() && std::find(out.images.begin(), out.images.end(), *uri) == out.images.end())
                out.images.push_back(*uri);
        }
    }
    for (const auto& source : model->nodes) {
        ContentNode node;
        node.transform = source->localTransform;
        for (const AxMeshVertex& v : source->vertices) {
            node.positions.push_back(v.position);
            node.uvs.push_back(v.uv);
        }
        for (const AxMeshFace& face : source->faces) node.faces.insert(node.faces.end(), {face.idx[0], face.idx[1], face.idx[2]});
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
