#pragma once
// A generated glTF file as the game's loader reads it (left-handed, merged by
// material), in the plain form the content tests work on.

#include "framework/Math.h"

#include <string>
#include <vector>

struct ContentNode {
    Matrix transform;
    std::vector<Vector3> positions;
    std::vector<Vector2> uvs;
    std::vector<uint32_t> faces;  // three per triangle
};

struct ContentModel {
    bool ok = false;
    std::string error;
    std::vector<ContentNode> nodes;
    std::vector<std::string> images;  // URIs
    size_t TriangleCount() const;
    // Bounds of the transformed vertices.
    Vector3 Min() const;
    Vector3 Max() const;
};

ContentModel LoadContentModel(const std::string& path);

struct RayHit {
    bool hit = false;
    float distance = 0;
    Vector3 normal;
};

// Nearest hit of a ray against every triangle of the model placed by `world`.
RayHit CastRay(const ContentModel& model, const Matrix& world, Vector3 origin, Vector3 direction);

std::string DataPath(const std::string& relative);
