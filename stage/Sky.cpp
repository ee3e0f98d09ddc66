#include "stage/Sky.h"

#include "framework/graphics/AxModelCache.h"
#include "framework/graphics/AxShaderManager.h"

Sky::Sky(AxModelCache& modelCache, const std::string& path) : model(modelCache.GetModel(path)) {}

void Sky::Draw() {
    AxModelShader& shader = AxShaderManager::GetInstance().modelShader;
    // The dome carries its own light; the sun must not shade it.
    shader.cb0.data.g_LightEnable = 0;
    shader.cb0.dirty = true;
    shader.worldMatrix = world;
    shader.DrawModel(model, nullptr);
    shader.cb0.data.g_LightEnable = 1;
    shader.cb0.dirty = true;
}
