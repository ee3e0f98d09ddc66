#pragma once
// A drawable triangle mesh with its material subsets and CPU copies of its
// positions and faces (the collision queries read those).

#include "framework/Math.h"
#include "framework/graphics/AxBuffer.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

struct AxMeshVertex {
    Vector3 position;
    Vector2 uv;
    Vector3 normal;
    uint32_t color = 0xffffffffu;  // RGBA bytes, red lowest
};
static_assert(sizeof(AxMeshVertex) == 36 && offsetof(AxMeshVertex, uv) == 12 && offsetof(AxMeshVertex, normal) == 20 &&
              offsetof(AxMeshVertex, color) == 32);

struct AxMeshFace {
    uint32_t idx[3] = {0, 0, 0};
};
static_assert(sizeof(AxMeshFace) == 12);

struct AxMeshSubset {
    int32_t materialNo = -1;
    uint32_t faceStart = 0;
    uint32_t faceCount = 0;
};
static_assert(sizeof(AxMeshSubset) == 12);

class TriangleTree;

class AxMesh {
public:
    AxMesh() = default;
    AxMesh(const AxMesh&) = delete;
    AxMesh& operator=(const AxMesh&) = delete;

    bool Create(const std::vector<AxMeshVertex>& vertices, const std::vector<AxMeshFace>& faces,
                const std::vector<AxMeshSubset>& subsets);
    // Vertex buffer (stride 36), 32-bit index buffer, triangle list.
    void SetToDevice();
    void DrawSubset(int subsetNo);
    void Release();

    AxBuffer vertexBuffer;
    AxBuffer indexBuffer;
    std::vector<AxMeshSubset> subsets;
    std::vector<Vector3> positions;
    std::vector<AxMeshFace> faces;
    // Every vertex colour has alpha 1.
    bool opaqueColors = false;
    // Made on the first ray cast at the mesh: which faces a ray may meet.
    const TriangleTree& RayTree() const;

private:
    mutable std::shared_ptr<TriangleTree> rayTree;
};
