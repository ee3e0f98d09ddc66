#include "scene/ReferenceScene.h"

#include "framework/graphics/AxModel.h"
#include "framework/graphics/AxShaderManager.h"
#include "scene/Game.h"

ReferenceScene::ReferenceScene(const std::string& mode) : floor(mode == "floor") {
    if (!floor) return;
    Game::SetLights();
    // One quad over the whole screen in clip space: identity camera and world.
    quad = std::make_unique<AxModel>();
    AxMaterial material;
    auto texture = std::make_shared<AxTexture>();
    if (texture->Load("Data/Course/Road/asphalt.png")) material.baseColorTex = texture;
    quad->materials.push_back(material);
    std::vector<AxMeshVertex> vertices(4);
    const float corners[4][2] = {{-1, -1}, {1, -1}, {-1, 1}, {1, 1}};
    for (int i = 0; i < 4; ++i) {
        vertices[size_t(i)].position = Vector3(corners[i][0], corners[i][1], 0.5f);
        vertices[size_t(i)].uv = Vector2((corners[i][0] + 1) * 8, (corners[i][1] + 1) * 4.5f);
        vertices[size_t(i)].normal = Vector3(0, 1, 0);  // lit by the sun like the road
    }
    std::vector<AxMeshFace> faces(2);
    faces[0].idx[0] = 0, faces[0].idx[1] = 2, faces[0].idx[2] = 1;
    faces[1].idx[0] = 1, faces[1].idx[1] = 2, faces[1].idx[2] = 3;
    AxModelNode node;
    node.mesh = std::make_shared<AxMesh>();
    node.mesh->Create(vertices, faces, {{0, 0, 2}});
    quad->nodes.push_back(node);
}

ReferenceScene::~ReferenceScene() = default;

void ReferenceScene::Draw() {
    if (!floor) return;
    AxShaderManager& shaders = AxShaderManager::GetInstance();
    shaders.cb7Camera.data.g_mV = Matrix();
    shaders.cb7Camera.data.g_mP = Matrix();
    shaders.cb7Camera.dirty = true;
    shaders.cb7Camera.Write();
    shaders.modelShader.SetToDevice();
    shaders.modelShader.worldMatrix = Matrix();
    shaders.modelShader.DrawModel(quad.get());
}
