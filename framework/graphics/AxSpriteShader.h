#pragma once
// 2D textured rectangles in pixels, origin at the viewport centre, +Y up.
// Begin/End switch the pipeline into sprite mode and restore the depth state,
// rasterizer state and sampler 0 afterwards; DrawTex outside them does both.

#include "framework/Math.h"
#include "framework/graphics/AxConstantBuffer.h"
#include "framework/graphics/AxShaderProgram.h"

#include <cstddef>

class AxTexture;

struct cbSprite {
    Matrix g_mTransform;
    Vector4 g_color{1.0f, 1.0f, 1.0f, 1.0f};
};
static_assert(sizeof(cbSprite) == 80 && offsetof(cbSprite, g_color) == 64);

struct cbProjection {
    Matrix g_mProj;
};
static_assert(sizeof(cbProjection) == 64);

struct AxSpriteVertex {
    Vector3 position;
    Vector2 uv;
};
static_assert(sizeof(AxSpriteVertex) == 20);

// Source rectangle in texels.
struct AxRect {
    int x = 0, y = 0, width = 0, height = 0;
};

class AxSpriteShader {
public:
    bool Init();
    void Release();
    void Begin(bool linearFilter, bool disableZBuffer);
    // pivot (0.5, 0.5) centres the rectangle on (x, y); (0, 0) puts (x, y) at
    // its lower left. A null texture draws nothing.
    void DrawTex(const AxTexture* texture, int x, int y, int w, int h, const AxRect* srcRect, const float* color,
                 const float* pivot);
    void End();

    AxShaderProgram program;
    AxInputLayout inputLayout;
    AxConstantBuffer<cbSprite> cb0;
    AxConstantBuffer<cbProjection> cb1;
    bool isBegin = false;
    Matrix projection;
    AxDepthStencilStatePtr noDepthState;
    AxRasterizerStatePtr rasterizerState;
    AxSamplerStatePtr pointSampler;
    AxSamplerStatePtr linearSampler;
    AxDepthStencilStatePtr savedDepthState;
    unsigned savedStencilRef = 0;
    AxRasterizerStatePtr savedRasterizerState;
    AxSamplerStatePtr savedSampler;
    // The corners of the last DrawTex (x0, y0, x1, y1) and its uv (u0, v0, u1, v1).
    float lastCorners[4] = {0, 0, 0, 0};
    float lastUV[4] = {0, 0, 0, 0};
};
