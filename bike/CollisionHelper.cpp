#include "bike/CollisionHelper.h"

#include "framework/TriangleTree.h"
#include "framework/graphics/AxModel.h"

#include <limits>

CollisionHelper& CollisionHelper::GetInstance() {
    static CollisionHelper instance;
    return instance;
}

bool CollisionHelper::RayToModel(const AxModel* model, const Matrix& world, const Vector3& origin,
                                 const Vector3& direction, float& distance, Vector3& normal) const {
    if (!model) return false;
    float nearest = std::numeric_limits<float>::max();
    Vector3 hit[3];
    Matrix hitMatrix;
    for (const AxModelNode& node : model->nodes) {
        if (!node.mesh) continue;
        const AxMesh& mesh = *node.mesh;
        if (mesh.faces.empty()) continue;
        const Matrix m = node.transform * world;
        const Matrix inverse = m.Invert();
        const Vector3 localOrigin = Vector3::Transform(origin, inverse);
        Vector3 localDirection = Vector3::TransformNormal(direction, inverse);
        const float scale = localDirection.Length();
        localDirection.Normalize();
        // Only the faces whose boxes the ray passes, in the order of the
        // mesh: the nearest hit, and the first of equally near ones, as
        // when every face is tried.
        thread_local std::vector<uint32_t> candidates;
        mesh.RayTree().Candidates(localOrigin, localDirection, candidates);
        for (uint32_t index : candidates) {
            const AxMeshFace& face = mesh.faces[index];
            const Vector3& v0 = mesh.positions[face.idx[0]];
            const Vector3& v1 = mesh.positions[face.idx[1]];
            const Vector3& v2 = mesh.positions[face.idx[2]];
            float t = 0.0f;
            if (!RayTriangleIntersects(localOrigin, localDirection, v0, v1, v2, t)) continue;
            const float worldDistance = t / scale;
            if (worldDistance < nearest) {
                nearest = worldDistance;
                hit[0] = v0;
                hit[1] = v1;
                hit[2] = v2;
                hitMatrix = m;
            }
        }
    }
    if (nearest == std::numeric_limits<float>::max()) return false;
    distance = nearest;
    normal = Vector3::TransformNormal((hit[1] - hit[0]).Cross(hit[2] - hit[0]), hitMatrix).Normalized();
    return true;
}

bool CollisionHelper::PushOut(const AxModel* model, const Matrix& world, const Vector3& origin,
                              const Vector3& direction, float& distance, Vector3& push) const {
    Vector3 normal;
    if (!RayToModel(model, world, origin, direction, distance, normal)) return false;
    const float a = (-direction).Dot(normal);
    const float limit = 1.0f / a;
    // Farther than the clearance, or seen from behind (a < 0): no push.
    if (limit < distance) return false;
    push = normal * ((limit - distance) * a);
    return true;
}
