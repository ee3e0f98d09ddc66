#include "framework/graphics/AxSpriteShader.h"

#include "framework/graphics/AxTexture.h"

#include <epoxy/gl.h>

namespace {
const char* const kBlocks = R"(
layout(std140, row_major) uniform cbSprite {
    mat4 g_mTransform;
    vec4 g_color;
};
layout(std140, row_major) uniform cbProjection {
    mat4 g_mProj;
};
)";
const char* const kVertexMain = R"(
in vec4 POSITION;
in vec2 TEXCOORD;
out vec2 vUV;
void main() {
    gl_Position = POSITION * g_mTransform * g_mProj;
#if REMAP_DEPTH
    gl_Position.z = 2.0 * gl_Position.z - gl_Position.w;
#endif
    vUV = TEXCOORD;
}
)";
const char* const kPixelMain = R"(
uniform sampler2D g_inputTex;
in vec2 vUV;
out vec4 SV_Target0;
void main() {
    vec4 texel = texture(g_inputTex, vUV);
    if (texel.a < 0.1) discard;
    SV_Target0 = texel * g_color;
}
)";
}  // namespace

bool AxSpriteShader::Init() {
    Release();
    inputLayout = {
        {"POSITION", 3, GL_FLOAT, false, 0},
        {"TEXCOORD", 2, GL_FLOAT, false, 12},
    };
    const std::string vs = std::string(kBlocks) + kVertexMain;
    const std::string fs = std::string(kBlocks) + kPixelMain;
    if (!program.Build(vs.c_str(), fs.c_str(), inputLayout, {{"cbSprite", 0}, {"cbProjection", 1}},
                       {{"g_inputTex", 0}})) {
        Release();
        return false;
    }
    cb0.Create();
    cb1.Create();
    AxDirect3D& device = AxDirect3D::GetInstance();
    pointSampler = device.CreateSamplerState(0, 0, 0, false);
    linearSampler = device.CreateSamplerState(1, 0, 0, false);
    noDepthState = device.CreateDepthStencilState(false, false);
    rasterizerState = device.CreateRasterizerState(AX_CULL_NONE, AX_FILL_SOLID, true, false);
    return true;
}

void AxSpriteShader::Release() {
    program.Release();
    cb0.Release();
    cb1.Release();
    noDepthState.reset();
    rasterizerState.reset();
    pointSampler.reset();
    linearSampler.reset();
    savedDepthState.reset();
    savedRasterizerState.reset();
    savedSampler.reset();
    isBegin = false;
}

void AxSpriteShader::Begin(bool linearFilter, bool disableZBuffer) {
    if (isBegin) return;
    isBegin = true;
    AxDirect3D& device = AxDirect3D::GetInstance();
    int vx = 0, vy = 0, vw = 0, vh = 0;
    device.GetViewport(vx, vy, vw, vh);
    projection = Matrix(vw ? 2.0f / static_cast<float>(vw) : 0.0f, 0, 0, 0,
                        0, vh ? 2.0f / static_cast<float>(vh) : 0.0f, 0, 0,
                        0, 0, 1, 0,
                        0, 0, 0, 1);
    cb1.data.g_mProj = projection;
    cb1.dirty = true;
    cb1.Write();

    savedDepthState = device.GetDepthStencilState(&savedStencilRef);
    savedRasterizerState = device.GetRasterizerState();
    savedSampler = device.GetSampler(0);
    if (disableZBuffer) device.SetDepthStencilState(noDepthState, 0);
    device.SetSampler(0, linearFilter ? linearSampler : pointSampler);
    device.SetRasterizerState(rasterizerState);
    device.SetProgram(program.program);
    device.SetInputLayout(&inputLayout);
    device.SetConstantBuffer(0, &cb0.buffer);
    device.SetConstantBuffer(1, &cb1.buffer);
}

void AxSpriteShader::DrawTex(const AxTexture* texture, int x, int y, int w, int h, const AxRect* srcRect,
                             const float* color, const float* pivot) {
    if (!texture) return;
    const bool ownBegin = !isBegin;
    if (ownBegin) Begin(false, true);
    AxDirect3D& device = AxDirect3D::GetInstance();
    device.SetShaderResource(0, texture->srv);
    if (color) {
        cb0.data.g_color = Vector4(color[0], color[1], color[2], color[3]);
        cb0.dirty = true;
    }
    cb0.Write();

    float u0 = 0, u1 = 1, v0 = 0, v1 = 1;
    if (srcRect && texture->desc.Width && texture->desc.Height) {
        const float tw = static_cast<float>(texture->desc.Width), th = static_cast<float>(texture->desc.Height);
        u0 = static_cast<float>(srcRect->x) / tw;
        u1 = static_cast<float>(srcRect->x + srcRect->width) / tw;
        v0 = static_cast<float>(srcRect->y) / th;
        v1 = static_cast<float>(srcRect->y + srcRect->height) / th;
    }
    // A missing pivot would be read through a null pointer; treat it as (0, 0).
    const float px = pivot ? pivot[0] : 0.0f, py = pivot ? pivot[1] : 0.0f;
    const float fx = static_cast<float>(x), fy = static_cast<float>(y);
    const float fw = static_cast<float>(w), fh = static_cast<float>(h);
    const float x0 = fx - fw * px, x1 = fx + fw - fw * px;
    const float y0 = fy - fh * py, y1 = fy + fh - fh * py;
    const AxSpriteVertex quad[4] = {
        {{x0, y0, 0}, {u0, v1}},
        {{x0, y1, 0}, {u0, v0}},
        {{x1, y0, 0}, {u1, v1}},
        {{x1, y1, 0}, {u1, v0}},
    };
    lastCorners[0] = x0, lastCorners[1] = y0, lastCorners[2] = x1, lastCorners[3] = y1;
    lastUV[0] = u0, lastUV[1] = v0, lastUV[2] = u1, lastUV[3] = v1;
    device.DrawVertexBuffer(AxTopology::TriangleStrip, 4, quad, sizeof(AxSpriteVertex));
    device.SetShaderResource(0, nullptr);
    if (ownBegin) End();
}

void AxSpriteShader::End() {
    if (!isBegin) return;
    isBegin = false;
    AxDirect3D& device = AxDirect3D::GetInstance();
    device.SetDepthStencilState(savedDepthState, savedStencilRef);
    device.SetRasterizerState(savedRasterizerState);
    device.SetSampler(0, savedSampler);
    savedDepthState.reset();
    savedRasterizerState.reset();
    savedSampler.reset();
}
