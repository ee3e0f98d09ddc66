#pragma once
// Every shader of the game and the two constant buffers all 3D programs share:
// the camera (slot 7) and the lights (slot 8).

#include "framework/Math.h"
#include "framework/graphics/AxConstantBuffer.h"
#include "framework/graphics/AxEffectShader.h"
#include "framework/graphics/AxModelShader.h"
#include "framework/graphics/AxSpriteShader.h"

#include <cstddef>

struct cbCamera {
    Matrix g_mV;
    Matrix g_mP;
    Vector3 g_CamPos;
    int g_DistanceFogEnable = 0;
    Vector3 g_DistanceFogColor{1.0f, 1.0f, 1.0f};
    float g_DistanceFogDensity = 0.001f;
};
static_assert(sizeof(cbCamera) == 160 && offsetof(cbCamera, g_mP) == 64 && offsetof(cbCamera, g_CamPos) == 128 &&
              offsetof(cbCamera, g_DistanceFogEnable) == 140 && offsetof(cbCamera, g_DistanceFogColor) == 144 &&
              offsetof(cbCamera, g_DistanceFogDensity) == 156);

struct AxPointLight {
    Vector3 color{3.0f, 3.0f, 3.0f};
    float radius = 0.0f;
    Vector3 pos;
    float tmp4 = 0.0f;
};
static_assert(sizeof(AxPointLight) == 32 && offsetof(AxPointLight, pos) == 16);

struct cbLight {
    static constexpr int kMaxPointLights = 100;
    Vector3 g_AmbientLight;
    float pad0 = 0.0f;
    Vector3 g_DL_Dir{0.0f, -1.0f, 0.0f};
    float pad1 = 0.0f;
    Vector3 g_DL_Color{1.0f, 1.0f, 1.0f};
    float pad2 = 0.0f;
    AxPointLight g_PL[kMaxPointLights];
    int g_PL_Num = 0;
    float pad3[3] = {0, 0, 0};
};
static_assert(sizeof(cbLight) == 3264 && offsetof(cbLight, g_DL_Dir) == 16 && offsetof(cbLight, g_DL_Color) == 32 &&
              offsetof(cbLight, g_PL) == 48 && offsetof(cbLight, g_PL_Num) == 3248);

class AxShaderManager {
public:
    static AxShaderManager& GetInstance();

    // After the device: builds the programs, the camera buffer with the
    // default camera (uploaded by the next Write) and the light buffer.
    void Init();
    void Release();

    AxModelShader modelShader;
    AxEffectShader effectShader;
    AxSpriteShader spriteShader;
    AxConstantBuffer<cbCamera> cb7Camera;
    AxConstantBuffer<cbLight> cb8Light;

private:
    AxShaderManager() = default;
};
