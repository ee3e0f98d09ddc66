#pragma once
// A drawable model loaded from a glTF file: nodes (in file order, with their
// local transforms and meshes) and materials with their textures.

#include "framework/Math.h"
#include "framework/graphics/AxMesh.h"
#include "framework/graphics/AxTexture.h"

#include <memory>
#include <string>
#include <vector>

struct AxMaterial {
    AxMaterial();  // every texture starts as the device's white texture
    std::string name;
    std::shared_ptr<AxTexture> baseColorTex;
    float baseColor[4] = {1, 1, 1, 1};
    std::shared_ptr<AxTexture> metallicRoughnessTex;
    float metallic = 0.0f;
    float roughness = 1.0f;
    std::shared_ptr<AxTexture> emissiveTex;
    float emissive[3] = {0, 0, 0};
};

struct AxModelNode {
    std::string name;
    Matrix transform;  // the node's own transform, not combined with parents
    std::shared_ptr<AxMesh> mesh;
};

class AxModel {
public:
    // Textures are looked up beside the model file; one that does not load
    // is replaced by white. False (and an empty model) when parsing fails.
    bool Load(const std::string& path);

    std::vector<AxModelNode> nodes;
    std::vector<AxMaterial> materials;
};
