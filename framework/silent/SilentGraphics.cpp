// The graphics classes without a device: buffers and textures hold no GPU
// object, nothing is drawn. Models still load their triangles, which the
// race's collision queries read.

#include "framework/graphics/AxBuffer.h"
#include "framework/graphics/AxDirect3D.h"
#include "framework/graphics/AxEffectShader.h"
#include "framework/graphics/AxModelShader.h"
#include "framework/graphics/AxShaderProgram.h"
#include "framework/graphics/AxSpriteShader.h"
#include "framework/graphics/AxTexture.h"

bool AxGLContextAlive() { return false; }

bool AxBuffer::Create(unsigned flags, unsigned byteWidth, unsigned usage, const AxSubresourceData*) {
    bufSize = byteWidth;
    bufUsage = usage;
    bindFlags = flags;
    return true;
}
void AxBuffer::WriteData(const void*, size_t) {}
void AxBuffer::Release() {
    buffer = 0;
    bufSize = 0;
}

AxGLTexture::~AxGLTexture() = default;
AxSamplerState::~AxSamplerState() = default;

bool AxTexture::Load(const std::string& path, bool, bool, bool) {
    filePath = path;
    return true;
}
bool AxTexture::Create(const std::shared_ptr<AxGLTexture>&) { return true; }
bool AxTexture::Create(const AxTexture2DDesc& description, const AxSubresourceData*) {
    desc = description;
    return true;
}
bool AxTexture::Create(int width, int height, AxFormat format, int arraySize, const AxSubresourceData*) {
    desc.Width = static_cast<unsigned>(width);
    desc.Height = static_cast<unsigned>(height);
    desc.Format = format;
    desc.ArraySize = static_cast<unsigned>(arraySize);
    return true;
}
void AxTexture::Release() {
    srv.reset();
    rtv.reset();
    dsv.reset();
}

AxDirect3D& AxDirect3D::GetInstance() {
    static AxDirect3D instance;
    return instance;
}
AxDepthStencilStatePtr AxDirect3D::CreateDepthStencilState(bool depthEnable, bool depthWrite) {
    auto state = std::make_shared<AxDepthStencilState>();
    state->depthEnable = depthEnable;
    state->depthWrite = depthWrite;
    return state;
}
void AxDirect3D::DrawVertexBuffer(AxTopology, unsigned, const void*, unsigned) {}
void AxDirect3D::ClearBackBuffer(float, float, float, float) {}
void AxDirect3D::ClearDepthStencil(float, uint8_t) {}
bool AxDirect3D::SetRenderScale(float scale) {
    sceneScale = scale;
    return true;
}
void AxDirect3D::BeginScene3D() {}
void AxDirect3D::EndScene3D() {}
void AxDirect3D::SetVertexBuffer(const AxBuffer*, unsigned, unsigned) {}
void AxDirect3D::SetIndexBuffer(const AxBuffer*) {}
void AxDirect3D::SetConstantBuffer(int, const AxBuffer*) {}
void AxDirect3D::SetShaderResource(int, const AxTextureViewPtr&) {}
void AxDirect3D::SetDepthStencilState(const AxDepthStencilStatePtr& state, unsigned ref) {
    depthState = state;
    stencilRef = ref;
}
AxDepthStencilStatePtr AxDirect3D::GetDepthStencilState(unsigned* ref) const {
    if (ref) *ref = stencilRef;
    return depthState;
}
void AxDirect3D::DrawIndexed(unsigned, unsigned, int) {}

void AxShaderProgram::Release() {}

bool AxModelShader::Init() { return true; }
void AxModelShader::Release() {}
void AxModelShader::SetToDevice() {}
void AxModelShader::DrawModel(const AxModel*, const std::vector<Matrix>*) {}
void AxModelShader::Prepare(const AxModel*) {}

bool AxSpriteShader::Init() { return true; }
void AxSpriteShader::Release() {}
void AxSpriteShader::Begin(bool, bool) { isBegin = true; }
void AxSpriteShader::DrawTex(const AxTexture*, int, int, int, int, const AxRect*, const float*, const float*) {}
void AxSpriteShader::End() { isBegin = false; }

bool AxEffectShader::Init() { return true; }
void AxEffectShader::Release() {}
void AxEffectShader::SetToDevice() {}
