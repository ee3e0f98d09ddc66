#include "framework/graphics/AxShaderManager.h"

#include "framework/graphics/AxDirect3D.h"

AxShaderManager& AxShaderManager::GetInstance() {
    static AxShaderManager instance;
    return instance;
}

void AxShaderManager::Init() {
    modelShader.Init();
    effectShader.Init();
    spriteShader.Init();
    AxDirect3D& device = AxDirect3D::GetInstance();

    cb7Camera.Create();
    device.SetConstantBuffer(7, &cb7Camera.buffer);
    cb7Camera.data.g_mV = Matrix::CreateTranslation(0.0f, 0.0f, -5.0f).Invert();
    float aspect = 1.0f;
    if (device.backBuffer && device.backBuffer->desc.Height)
        aspect = static_cast<float>(device.backBuffer->desc.Width) / static_cast<float>(device.backBuffer->desc.Height);
    cb7Camera.data.g_mP = Matrix::PerspectiveFovLH(60.0f * kDegToRad, aspect, 0.01f, 1000.0f);
    cb7Camera.dirty = true;

    cb8Light.Create();
    device.SetConstantBuffer(8, &cb8Light.buffer);
}

void AxShaderManager::Release() {
    modelShader.Release();
    effectShader.Release();
    spriteShader.Release();
    cb7Camera.Release();
    cb8Light.Release();
}
