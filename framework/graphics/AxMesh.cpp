#include "framework/graphics/AxMesh.h"

#include "framework/TriangleTree.h"

#include "framework/graphics/AxDirect3D.h"

#include <algorithm>
#include <limits>

bool AxMesh::Create(const std::vector<AxMeshVertex>& vertices, const std::vector<AxMeshFace>& meshFaces,
                    const std::vector<AxMeshSubset>& meshSubsets) {
    Release();
    subsets = meshSubsets;
    constexpr size_t kMaxBytes = std::numeric_limits<unsigned>::max();
    if (!vertices.empty()) {
        if (vertices.size() <= kMaxBytes / sizeof(AxMeshVertex)) {
            AxSubresourceData init;
            init.pSysMem = vertices.data();
            vertexBuffer.Create(AX_BIND_VERTEX_BUFFER, static_cast<unsigned>(vertices.size() * sizeof(AxMeshVertex)),
                                AX_USAGE_DEFAULT, &init);
        }
        opaqueColors = std::all_of(vertices.begin(), vertices.end(),
                                   [](const AxMeshVertex& v) { return (v.color >> 24) == 0xffu; });
        positions.reserve(vertices.size());
        for (const AxMeshVertex& v : vertices) positions.push_back(v.position);
    }
    if (!meshFaces.empty()) {
        if (meshFaces.size() <= kMaxBytes / sizeof(AxMeshFace)) {
            AxSubresourceData init;
            init.pSysMem = meshFaces.data();
            indexBuffer.Create(AX_BIND_INDEX_BUFFER, static_cast<unsigned>(meshFaces.size() * sizeof(AxMeshFace)),
                               AX_USAGE_DEFAULT, &init);
        }
        faces = meshFaces;
    }
    return true;
}

void AxMesh::SetToDevice() {
    AxDirect3D& device = AxDirect3D::GetInstance();
    device.SetVertexBuffer(&vertexBuffer, sizeof(AxMeshVertex), 0);
    device.SetIndexBuffer(&indexBuffer);
    device.SetPrimitiveTopology(AxTopology::TriangleList);
}

void AxMesh::DrawSubset(int subsetNo) {
    if (subsetNo < 0 || static_cast<size_t>(subsetNo) >= subsets.size()) return;
    const AxMeshSubset& s = subsets[static_cast<size_t>(subsetNo)];
    if (s.faceCount == 0) return;
    // Subsets reaching past the faces would read outside the index buffer.
    if (static_cast<uint64_t>(s.faceStart) + s.faceCount > faces.size()) return;
    AxDirect3D::GetInstance().DrawIndexed(s.faceCount * 3, s.faceStart * 3, 0);
}

void AxMesh::Release() {
    vertexBuffer.Release();
    indexBuffer.Release();
    subsets.clear();
    positions.clear();
    faces.clear();
    opaqueColors = false;
}

const TriangleTree& AxMesh::RayTree() const {
    if (!rayTree) rayTree = std::make_shared<TriangleTree>(positions, faces.empty() ? nullptr : faces[0].idx, faces.size());
    return *rayTree;
}
