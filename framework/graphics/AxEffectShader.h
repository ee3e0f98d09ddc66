#pragma once
// Unlit textured, vertex-coloured geometry (the course's quads and the like).
// Vertices: position float3, uv float2, colour float4 (36 bytes).

#include "framework/Math.h"
#include "framework/graphics/AxConstantBuffer.h"
#include "framework/graphics/AxShaderProgram.h"

#include <cstddef>

struct cbPerObject {
    Matrix g_mW;
    Vector2 g_UVOffset{0.0f, 0.0f};
    Vector2 g_UVTiling{1.0f, 1.0f};
    float g_AlphaTestThreshold = 0.0f;
    float pad[3] = {0, 0, 0};
};
static_assert(sizeof(cbPerObject) == 96 && offsetof(cbPerObject, g_UVOffset) == 64 &&
              offsetof(cbPerObject, g_UVTiling) == 72 && offsetof(cbPerObject, g_AlphaTestThreshold) == 80);

struct AxEffectVertex {
    Vector3 position;
    Vector2 uv;
    Vector4 color{1.0f, 1.0f, 1.0f, 1.0f};
};
static_assert(sizeof(AxEffectVertex) == 36);

class AxEffectShader {
public:
    bool Init();
    void Release();
    // Program, layout and cb0 at slot 0; callers bind their vertices (stride
    // 36), topology and texture 0, write g_mW into cb0 and draw.
    void SetToDevice();

    AxShaderProgram program;
    AxInputLayout inputLayout;
    AxConstantBuffer<cbPerObject> cb0;
};
