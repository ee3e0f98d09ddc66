#include "framework/graphics/AxEffectShader.h"

#include "framework/graphics/AxModelShader.h"

#include <epoxy/gl.h>

#include <string>

namespace {
const char* const kBlock = R"(
layout(std140, row_major) uniform cbPerObject {
    mat4 g_mW;
    vec2 g_UVOffset;
    vec2 g_UVTiling;
    float g_AlphaTestThreshold;
};
)";
const char* const kVertexMain = R"(
in vec4 POSITION;
in vec2 TEXCOORD;
in vec4 COLOR;
out vec2 vUV;
out vec4 vColor;
void main() {
    gl_Position = POSITION * g_mW * g_mV * g_mP;
#if REMAP_DEPTH
    gl_Position.z = 2.0 * gl_Position.z - gl_Position.w;
#endif
    vUV = TEXCOORD * g_UVTiling + g_UVOffset;
    vColor = COLOR;
}
)";
const char* const kPixelMain = R"(
uniform sampler2D g_tex;
in vec2 vUV;
in vec4 vColor;
out vec4 SV_Target0;
void main() {
    vec4 texel = texture(g_tex, vUV) * vColor;
    if (g_AlphaTestThreshold >= texel.a) discard;
    SV_Target0 = texel;
}
)";
}  // namespace

bool AxEffectShader::Init() {
    Release();
    inputLayout = {
        {"POSITION", 3, GL_FLOAT, false, 0},
        {"TEXCOORD", 2, GL_FLOAT, false, 12},
        {"COLOR", 4, GL_FLOAT, false, 20},
    };
    const std::string vs = std::string(kBlock) + kAxCameraBlockGlsl + kVertexMain;
    const std::string fs = std::string(kBlock) + kPixelMain;
    if (!program.Build(vs.c_str(), fs.c_str(), inputLayout, {{"cbPerObject", 0}, {"cbCamera", 7}}, {{"g_tex", 0}}) ||
        !cb0.Create()) {
        Release();
        return false;
    }
    return true;
}

void AxEffectShader::Release() {
    program.Release();
    cb0.Release();
}

void AxEffectShader::SetToDevice() {
    AxDirect3D& device = AxDirect3D::GetInstance();
    device.SetProgram(program.program);
    device.SetInputLayout(&inputLayout);
    device.SetConstantBuffer(0, &cb0.buffer);
}
