#pragma once
// First loading stage: a glTF 2.0 file (.gltf text or .glb binary) read into
// nodes with merged, left-handed triangle data and plain materials.

#include "framework/Math.h"
#include "framework/graphics/AxMesh.h"

#include <memory>
#include <string>
#include <vector>

struct AxGLTFMaterial {
    std::string name;
    std::string baseColorTexture;  // image URI, "" for none
    float baseColor[4] = {1, 1, 1, 1};
    std::string metallicRoughnessTexture;
    float metallic = 1.0f;
    float roughness = 1.0f;
    std::string emissiveTexture;
    float emissive[3] = {0, 0, 0};
};

struct AxGLTFNode {
    std::string name;
    Matrix localTransform;
    bool isMesh = false;
    std::vector<AxMeshVertex> vertices;
    std::vector<AxMeshFace> faces;
    std::vector<AxMeshSubset> subsets;  // ordered by material number
};

struct AxGLTFModel {
    std::vector<std::shared_ptr<AxGLTFNode>> nodes;  // file order
    std::vector<AxGLTFMaterial> materials;           // never empty
};

// Prints "Reading ..." and any "Warn: " / "Err: " lines to standard output;
// empty on a parse failure. Primitives whose data does not fit their buffers
// are skipped with a warning rather than read.
std::shared_ptr<AxGLTFModel> AxLoadGLTFModel(const std::string& path);

// The path up to and including its last "/" or "\", "" when it has neither.
std::string AxGetDirFromPath(const std::string& path);

// While one lives, loading prints nothing.
struct AxGLTFQuiet {
    AxGLTFQuiet();
    ~AxGLTFQuiet();
    AxGLTFQuiet(const AxGLTFQuiet&) = delete;
    AxGLTFQuiet& operator=(const AxGLTFQuiet&) = delete;
};
