#pragma once
// A bounding volume tree over a mesh's triangles: the triangles a ray may
// hit, found without testing every one. The boxes are grown by a margin far
// wider than any rounding of the ray-triangle test, so a triangle the test
// would call hit is always among the candidates.

#include "framework/Math.h"

#include <cstdint>
#include <vector>

class TriangleTree {
public:
    // faces: three vertex indices each; faces naming a missing vertex are left out.
    TriangleTree(const std::vector<Vector3>& positions, const uint32_t* faces, size_t faceCount);

    // The faces whose boxes the ray (from origin along direction, forwards)
    // passes through, in ascending order.
    void Candidates(const Vector3& origin, const Vector3& direction, std::vector<uint32_t>& out) const;

    size_t NodeCount() const { return nodes.size(); }

private:
    struct Node {
        float lo[3], hi[3];
        uint32_t first = 0, count = 0;  // a leaf's faces in order[]
        uint32_t right = 0;             // an inner node's second child (the first follows it)
    };
    uint32_t Build(std::vector<uint32_t>& items, size_t first, size_t count, const std::vector<float>& centres,
                   const std::vector<float>& boxes, int depth);

    std::vector<Node> nodes;
    std::vector<uint32_t> order;
};
