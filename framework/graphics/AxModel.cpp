#include "framework/graphics/AxModel.h"

#include "framework/graphics/AxDirect3D.h"
#include "framework/graphics/AxGLTFModel.h"

AxMaterial::AxMaterial() {
    const std::shared_ptr<AxTexture>& white = AxDirect3D::GetInstance().whiteTex;
    baseColorTex = white;
    metallicRoughnessTex = white;
    emissiveTex = white;
}

namespace {
std::shared_ptr<AxTexture> LoadOrWhite(const std::string& dir, const std::string& name) {
    auto texture = std::make_shared<AxTexture>();
    // Mipmaps: a texture repeated into the distance is sampled from a level
    // that fits its footprint (without them anisotropic sampling on software
    // rasterisers walks thousands of texels a pixel).
    if (texture->Load(dir + name, false, false, true)) return texture;
    return AxDirect3D::GetInstance().whiteTex;
}
}  // namespace

bool AxModel::Load(const std::string& path) {
    materials.clear();
    nodes.clear();
    // The extra separator keeps "" resolving to "/" + name, as models always have.
    const std::string dir = AxGetDirFromPath(path) + "/";
    std::shared_ptr<AxGLTFModel> src = AxLoadGLTFModel(path);
    if (!src) return false;

    materials.resize(src->materials.size());
    for (size_t i = 0; i < src->materials.size(); ++i) {
        const AxGLTFMaterial& from = src->materials[i];
        AxMaterial& to = materials[i];
        to.name = from.name;
        for (int c = 0; c < 4; ++c) to.baseColor[c] = from.baseColor[c];
        to.baseColorTex = LoadOrWhite(dir, from.baseColorTexture);
        to.metallic = from.metallic;
        to.roughness = from.roughness;
        to.metallicRoughnessTex = LoadOrWhite(dir, from.metallicRoughnessTexture);
        for (int c = 0; c < 3; ++c) to.emissive[c] = from.emissive[c];
        to.emissiveTex = LoadOrWhite(dir, from.emissiveTexture);
    }
    nodes.resize(src->nodes.size());
    for (size_t i = 0; i < src->nodes.size(); ++i) {
        const AxGLTFNode& from = *src->nodes[i];
        nodes[i].name = from.name;
        nodes[i].transform = from.localTransform;
        if (from.isMesh) {
            nodes[i].mesh = std::make_shared<AxMesh>();
            nodes[i].mesh->Create(from.vertices, from.faces, from.subsets);
        }
    }
    return true;
}
