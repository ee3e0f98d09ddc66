#include "framework/graphics/AxDirect3D.h"

#include "framework/platform/WindowBackend.h"

#include <epoxy/gl.h>


#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>

namespace {
void* g_context = nullptr;

GLenum GlTopology(AxTopology t) {
    switch (t) {
    case AxTopology::PointList: return GL_POINTS;
    case AxTopology::LineList: return GL_LINES;
    case AxTopology::LineStrip: return GL_LINE_STRIP;
    case AxTopology::TriangleStrip: return GL_TRIANGLE_STRIP;
    default: return GL_TRIANGLES;
    }
}
}  // namespace

AxFitRect FitPicture(int width, int height, int targetWidth, int targetHeight) {
    AxFitRect fit;
    if (width <= 0 || height <= 0 || targetWidth <= 0 || targetHeight <= 0) return fit;
    const long long w = width, h = height, tw = targetWidth, th = targetHeight;
    if (tw * h > th * w) {  // the target is wider: bars left and right
        fit.height = targetHeight;
        fit.width = static_cast<int>((th * w + h / 2) / h);
    } else {
        fit.width = targetWidth;
        fit.height = static_cast<int>((tw * h + w / 2) / w);
    }
    fit.x = (targetWidth - fit.width) / 2;
    fit.y = (targetHeight - fit.height) / 2;
    return fit;
}

bool AxGLContextAlive() { return g_context && WindowBackend::IsContextCurrent(g_context); }

AxSamplerState::~AxSamplerState() {
    if (sampler && AxGLContextAlive()) glDeleteSamplers(1, &sampler);
}

AxDirect3D& AxDirect3D::GetInstance() {
    static AxDirect3D instance;
    return instance;
}

bool AxDirect3D::Init(void* hWnd, int w, int h, bool /*debugDevice*/, std::string& errorMessage) {
    Release();
    // There is no separate factory object on this back end; the context is
    // the device and its immediate context in one.
    std::string detail;
    context = hWnd ? WindowBackend::CreateGLContext(hWnd, detail) : nullptr;
    if (!context || epoxy_gl_version() < 33) {
        errorMessage = "Direct3D11デバイス作成失敗";
        Release();
        return false;
    }
    g_context = context;
    window = hWnd;
    if (w <= 0 || h <= 0) {
        errorMessage = "スワップチェイン作成失敗";
        Release();
        return false;
    }
    width = w;
    height = h;
    while (glGetError() != GL_NO_ERROR) {}

    // The back buffer is a colour texture drawn into and blitted to the window.
    AxTexture2DDesc colourDesc;
    colourDesc.Width = static_cast<unsigned>(w);
    colourDesc.Height = static_cast<unsigned>(h);
    colourDesc.Format = AxFormat::R8G8B8A8_UNORM;
    colourDesc.BindFlags = AX_BIND_RENDER_TARGET | AX_BIND_SHADER_RESOURCE;
    std::shared_ptr<AxGLTexture> buffer0 = AxCreateTexture2D(colourDesc, nullptr);
    if (!buffer0) {
        errorMessage = "バックバッファ取得失敗";
        Release();
        return false;
    }
    backBuffer = std::make_shared<AxTexture>();
    if (!backBuffer->Create(buffer0)) {
        errorMessage = "バックバッファ作成失敗";
        Release();
        return false;
    }
    buffer0.reset();

    AxTexture2DDesc depthDesc;
    depthDesc.Width = static_cast<unsigned>(w);
    depthDesc.Height = static_cast<unsigned>(h);
    depthDesc.Format = AxFormat::R32_TYPELESS;
    depthDesc.BindFlags = AX_BIND_DEPTH_STENCIL | AX_BIND_SHADER_RESOURCE;
    zBuffer = std::make_shared<AxTexture>();
    if (!zBuffer->Create(depthDesc)) {
        errorMessage = "Zバッファ作成失敗";
        Release();
        return false;
    }

    glGenFramebuffers(1, &frameBuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, frameBuffer);
    drawTarget = frameBuffer;
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, backBuffer->rtv->texture->name, 0);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_TEXTURE_2D, zBuffer->dsv->texture->name, 0);
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
        errorMessage = "バックバッファ作成失敗";
        Release();
        return false;
    }

    // Depth 0 to 1 like the projections produce: straight through when the
    // context can clip that way, else the vertex programs remap it.
    depthRemap = forceDepthRemap || !(epoxy_gl_version() >= 45 || epoxy_has_gl_extension("GL_ARB_clip_control"));
    if (!depthRemap) glClipControl(GL_LOWER_LEFT, GL_ZERO_TO_ONE);
    anisotropySupported = epoxy_gl_version() >= 46 || epoxy_has_gl_extension("GL_EXT_texture_filter_anisotropic") ||
                          epoxy_has_gl_extension("GL_ARB_texture_filter_anisotropic");

    glGenVertexArrays(1, &vertexArray);
    glBindVertexArray(vertexArray);
    // The unbound sampler slot behaves like the default: linear, clamped.
    glGenSamplers(1, &defaultSampler);
    glSamplerParameteri(defaultSampler, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    glSamplerParameteri(defaultSampler, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glSamplerParameteri(defaultSampler, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glSamplerParameteri(defaultSampler, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glSamplerParameteri(defaultSampler, GL_TEXTURE_WRAP_R, GL_CLAMP_TO_EDGE);

    SetViewport(0, 0, w, h);
    glDepthRange(0.0, 1.0);
    glEnable(GL_BLEND);
    blendEnabled = true;
    glBlendFuncSeparate(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
    glBlendEquation(GL_FUNC_ADD);
    glBlendColor(0, 0, 0, 0);
    glDisable(GL_SAMPLE_ALPHA_TO_COVERAGE);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glFrontFace(GL_CW);  // clockwise triangles face the viewer

    // Anisotropic x4, except on software rasterisers: there it walks the
    // whole footprint of a texel run seen edge-on and makes a frame over the
    // course cost twenty times a trilinear one, for a barely sharper horizon.
    const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    softwareRasteriser = renderer && (std::strstr(renderer, "llvmpipe") || std::strstr(renderer, "softpipe") ||
                                      std::strstr(renderer, "Software"));
    const int defaultFilter = softwareRasteriser ? 1 : 2;
    SetSampler(0, CreateSamplerState(defaultFilter, 4, 0, false));
    SetSampler(1, CreateSamplerState(defaultFilter, 4, 1, false));
    SetRasterizerState(CreateRasterizerState(AX_CULL_NONE, AX_FILL_SOLID, true, false));
    SetDepthStencilState(CreateDepthStencilState(true, true), 0);

    const uint8_t white[4] = {255, 255, 255, 255};
    AxSubresourceData whiteData;
    whiteData.pSysMem = white;
    whiteData.SysMemPitch = 4;
    whiteTex = std::make_shared<AxTexture>();
    whiteTex->Create(1, 1, AxFormat::R8G8B8A8_UNORM, 1, &whiteData);

    for (int k = 0; k < kPoolBuffers; ++k)
        tempVertexBuffers[k].Create(AX_BIND_VERTEX_BUFFER, 80u << k, AX_USAGE_DYNAMIC, nullptr);
    return true;
}

void AxDirect3D::Release() {
    const bool live = AxGLContextAlive();
    for (AxBuffer& b : tempVertexBuffers) b.Release();
    overflowVertexBuffer.Release();
    if (live) ReleaseSceneTarget();
    sceneFrameBuffer = sceneRenderbuffers[0] = sceneRenderbuffers[1] = 0;
    sceneScale = 1.0f;
    inScene3D = false;
    backBuffer.reset();
    zBuffer.reset();
    whiteTex.reset();
    depthState.reset();
    rasterizerState.reset();
    for (AxSamplerStatePtr& s : samplers) s.reset();
    // Closing the window (Escape, close box) takes the context's surface with
    // it; deleting the context then frees its objects on its own.
    if (live) {
        if (frameBuffer) glDeleteFramebuffers(1, &frameBuffer);
        if (vertexArray) glDeleteVertexArrays(1, &vertexArray);
        if (defaultSampler) glDeleteSamplers(1, &defaultSampler);
    }
    g_context = nullptr;
    if (context) WindowBackend::DeleteGLContext(context);
    frameBuffer = drawTarget = vertexArray = defaultSampler = 0;
    context = nullptr;
    window = nullptr;
    width = height = 0;
    inputLayout = nullptr;
    vertexBuffer = nullptr;
    lastDrawBuffer = nullptr;
    stencilRef = 0;
    blendEnabled = true;
    for (int& v : viewport) v = 0;
}

AxDepthStencilStatePtr AxDirect3D::CreateDepthStencilState(bool depthEnable, bool depthWrite) {
    auto state = std::make_shared<AxDepthStencilState>();
    state->depthEnable = depthEnable;
    state->depthWrite = depthWrite;
    return state;
}

AxRasterizerStatePtr AxDirect3D::CreateRasterizerState(int cullMode, int fillMode, bool depthClipEnable,
                                                       bool scissorEnable) {
    if (cullMode < AX_CULL_NONE || cullMode > AX_CULL_BACK) return nullptr;
    if (fillMode != AX_FILL_SOLID && fillMode != AX_FILL_WIREFRAME) return nullptr;
    auto state = std::make_shared<AxRasterizerState>();
    state->cullMode = cullMode;
    state->fillMode = fillMode;
    state->depthClipEnable = depthClipEnable;
    state->scissorEnable = scissorEnable;
    return state;
}

AxSamplerStatePtr AxDirect3D::CreateSamplerState(int filterType, int maxAnisotropy, int addressMode, bool comparison) {
    if (!AxGLContextAlive() || filterType < 0 || filterType > 2 || addressMode < 0 || addressMode > 1) return nullptr;
    auto state = std::make_shared<AxSamplerState>();
    state->filterType = filterType;
    state->maxAnisotropy = filterType == 2 ? std::clamp(maxAnisotropy, 1, 16) : 1;
    state->addressMode = addressMode;
    state->comparison = comparison;
    glGenSamplers(1, &state->sampler);
    const GLuint s = state->sampler;
    GLint minFilter = GL_LINEAR_MIPMAP_LINEAR, magFilter = GL_LINEAR;
    if (comparison) minFilter = GL_LINEAR_MIPMAP_NEAREST;
    else if (filterType == 0) minFilter = GL_NEAREST_MIPMAP_NEAREST, magFilter = GL_NEAREST;
    glSamplerParameteri(s, GL_TEXTURE_MIN_FILTER, minFilter);
    glSamplerParameteri(s, GL_TEXTURE_MAG_FILTER, magFilter);
    if (filterType == 2 && !comparison && anisotropySupported)
        glSamplerParameterf(s, GL_TEXTURE_MAX_ANISOTROPY_EXT, static_cast<float>(state->maxAnisotropy));
    const GLint wrap = addressMode == 0 ? GL_REPEAT : GL_CLAMP_TO_EDGE;
    glSamplerParameteri(s, GL_TEXTURE_WRAP_S, wrap);
    glSamplerParameteri(s, GL_TEXTURE_WRAP_T, wrap);
    glSamplerParameteri(s, GL_TEXTURE_WRAP_R, wrap);
    glSamplerParameterf(s, GL_TEXTURE_LOD_BIAS, 0.0f);
    glSamplerParameterf(s, GL_TEXTURE_MIN_LOD, 0.0f);
    glSamplerParameterf(s, GL_TEXTURE_MAX_LOD, FLT_MAX);
    const float border[4] = {0, 0, 0, 0};
    glSamplerParameterfv(s, GL_TEXTURE_BORDER_COLOR, border);
    if (comparison) {
        glSamplerParameteri(s, GL_TEXTURE_COMPARE_MODE, GL_COMPARE_REF_TO_TEXTURE);
        glSamplerParameteri(s, GL_TEXTURE_COMPARE_FUNC, GL_LEQUAL);
    }
    return state;
}

void AxDirect3D::DrawVertexBuffer(AxTopology t, unsigned vertexCount, const void* vertices, unsigned stride) {
    SetPrimitiveTopology(t);
    const size_t size64 = static_cast<size_t>(vertexCount) * stride;
    if (size64 == 0 || size64 > 0xffffffffu) return;
    const unsigned size = static_cast<unsigned>(size64);
    AxBuffer* chosen = nullptr;
    for (AxBuffer& b : tempVertexBuffers) {
        if (b.bufSize > size) {  // an exact fit is passed over
            chosen = &b;
            break;
        }
    }
    if (!chosen) {
        chosen = &overflowVertexBuffer;
        if (overflowVertexBuffer.bufSize < size)
            overflowVertexBuffer.Create(AX_BIND_VERTEX_BUFFER, size, AX_USAGE_DYNAMIC, nullptr);
    }
    lastDrawBuffer = chosen;
    if (submitEnabled) chosen->WriteData(vertices, size);
    SetVertexBuffer(chosen, stride, 0);
    Draw(vertexCount, 0);
}

void AxDirect3D::ClearBackBuffer(float r, float g, float b, float a) {
    if (!context || !submitEnabled) return;
    glBindFramebuffer(GL_FRAMEBUFFER, drawTarget);
    glClearColor(r, g, b, a);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glClear(GL_COLOR_BUFFER_BIT);
}

void AxDirect3D::ClearDepthStencil(float depth, uint8_t stencil) {
    if (!context || !submitEnabled) return;
    glBindFramebuffer(GL_FRAMEBUFFER, drawTarget);
    glClearDepth(depth);
    glClearStencil(stencil);
    glDepthMask(GL_TRUE);
    glClear(GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    ApplyDepthState();
}

void AxDirect3D::ReleaseSceneTarget() {
    if (sceneFrameBuffer) glDeleteFramebuffers(1, &sceneFrameBuffer);
    if (sceneRenderbuffers[0]) glDeleteRenderbuffers(2, sceneRenderbuffers);
    sceneFrameBuffer = sceneRenderbuffers[0] = sceneRenderbuffers[1] = 0;
    sceneWidth = sceneHeight = 0;
}

bool AxDirect3D::SetRenderScale(float scale) {
    if (!context || inScene3D) return false;
    ReleaseSceneTarget();
    sceneScale = 1.0f;
    if (!(scale > 0.0f && scale < 1.0f)) return scale == 1.0f;
    const int w = std::max(1, static_cast<int>(std::lround(width * scale)));
    const int h = std::max(1, static_cast<int>(std::lround(height * scale)));
    glGenRenderbuffers(2, sceneRenderbuffers);
    glBindRenderbuffer(GL_RENDERBUFFER, sceneRenderbuffers[0]);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, w, h);
    glBindRenderbuffer(GL_RENDERBUFFER, sceneRenderbuffers[1]);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT32F, w, h);
    glBindRenderbuffer(GL_RENDERBUFFER, 0);
    glGenFramebuffers(1, &sceneFrameBuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, sceneFrameBuffer);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, sceneRenderbuffers[0]);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, sceneRenderbuffers[1]);
    const bool complete = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    glBindFramebuffer(GL_FRAMEBUFFER, frameBuffer);
    if (!complete || glGetError() != GL_NO_ERROR) {
        ReleaseSceneTarget();
        return false;
    }
    sceneWidth = w;
    sceneHeight = h;
    sceneScale = scale;
    return true;
}

void AxDirect3D::BeginScene3D() {
    if (!context || !sceneFrameBuffer || inScene3D) return;
    inScene3D = true;
    GetViewport(savedViewport[0], savedViewport[1], savedViewport[2], savedViewport[3]);
    drawTarget = sceneFrameBuffer;
    if (submitEnabled) glBindFramebuffer(GL_FRAMEBUFFER, sceneFrameBuffer);
    SetViewport(0, 0, sceneWidth, sceneHeight);
}

void AxDirect3D::EndScene3D() {
    if (!inScene3D) return;
    inScene3D = false;
    drawTarget = frameBuffer;
    if (submitEnabled) {
        const bool scissor = glIsEnabled(GL_SCISSOR_TEST);
        glDisable(GL_SCISSOR_TEST);
        glBindFramebuffer(GL_READ_FRAMEBUFFER, sceneFrameBuffer);
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, frameBuffer);
        glBlitFramebuffer(0, 0, sceneWidth, sceneHeight, 0, 0, width, height, GL_COLOR_BUFFER_BIT, GL_LINEAR);
        if (scissor) glEnable(GL_SCISSOR_TEST);
    }
    glBindFramebuffer(GL_FRAMEBUFFER, frameBuffer);
    SetViewport(savedViewport[0], savedViewport[1], savedViewport[2], savedViewport[3]);
}

void AxDirect3D::Present() {
    if (!context) return;
    if (submitEnabled) {
        // Drawable pixels, not window units: on HiDPI screens they are more.
        int targetWidth = 0, targetHeight = 0;
        WindowBackend::DrawableSize(window, targetWidth, targetHeight);
        const AxFitRect fit = FitPicture(width, height, targetWidth, targetHeight);
        const bool scissor = glIsEnabled(GL_SCISSOR_TEST);
        glDisable(GL_SCISSOR_TEST);
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
        if (fit.width != targetWidth || fit.height != targetHeight) {
            glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
            glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
            glClear(GL_COLOR_BUFFER_BIT);
        }
        if (fit.width > 0) {
            glBindFramebuffer(GL_READ_FRAMEBUFFER, frameBuffer);
            const bool same = fit.width == width && fit.height == height;
            glBlitFramebuffer(0, 0, width, height, fit.x, fit.y, fit.x + fit.width, fit.y + fit.height,
                              GL_COLOR_BUFFER_BIT, same ? GL_NEAREST : GL_LINEAR);
        }
        if (scissor) glEnable(GL_SCISSOR_TEST);
        glBindFramebuffer(GL_FRAMEBUFFER, frameBuffer);
    }
    WindowBackend::SwapWindow(window);
}

bool AxDirect3D::SetVsync(bool on) { return context && WindowBackend::SetVsync(on); }

int AxDirect3D::DisplayRefreshRate() const { return WindowBackend::RefreshRate(window); }

bool AxDirect3D::ReadBackBuffer(std::vector<uint8_t>& rgba, int& w, int& h) {
    if (!context) return false;
    w = width;
    h = height;
    rgba.assign(static_cast<size_t>(w) * h * 4, 0);
    glBindFramebuffer(GL_FRAMEBUFFER, frameBuffer);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    // OpenGL reads bottom row first; pictures are stored top row first.
    const size_t rowBytes = static_cast<size_t>(w) * 4;
    for (int y = 0; y < h / 2; ++y) {
        std::swap_ranges(rgba.begin() + y * rowBytes, rgba.begin() + (y + 1) * rowBytes,
                         rgba.begin() + (h - 1 - y) * rowBytes);
    }
    return glGetError() == GL_NO_ERROR;
}

void AxDirect3D::SetVertexBuffer(const AxBuffer* buffer, unsigned stride, unsigned offset) {
    vertexBuffer = buffer;
    vertexStride = stride;
    vertexOffset = offset;
}

void AxDirect3D::SetIndexBuffer(const AxBuffer* buffer) {
    if (!context) return;
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffer ? buffer->buffer : 0);
}

void AxDirect3D::SetProgram(unsigned program) {
    if (context) glUseProgram(program);
}

void AxDirect3D::SetConstantBuffer(int slot, const AxBuffer* buffer) {
    if (!context || slot < 0) return;
    glBindBufferBase(GL_UNIFORM_BUFFER, static_cast<GLuint>(slot), buffer ? buffer->buffer : 0);
}

void AxDirect3D::SetShaderResource(int slot, const AxTextureViewPtr& view) {
    if (!context || slot < 0 || slot >= kTextureSlots) return;
    glActiveTexture(GL_TEXTURE0 + slot);
    // An empty view reads as zero; unbind every target so nothing stale shows.
    const GLenum target = view && view->texture ? view->target : GL_TEXTURE_2D;
    if (!view || !view->texture) {
        glBindTexture(GL_TEXTURE_2D, 0);
        glBindTexture(GL_TEXTURE_2D_ARRAY, 0);
        glBindTexture(GL_TEXTURE_CUBE_MAP, 0);
        return;
    }
    glBindTexture(target, view->texture->name);
}

void AxDirect3D::SetDepthStencilState(const AxDepthStencilStatePtr& state, unsigned ref) {
    depthState = state;
    stencilRef = ref;
    ApplyDepthState();
}

AxDepthStencilStatePtr AxDirect3D::GetDepthStencilState(unsigned* ref) const {
    if (ref) *ref = stencilRef;
    return depthState;
}

void AxDirect3D::SetRasterizerState(const AxRasterizerStatePtr& state) {
    rasterizerState = state;
    ApplyRasterizerState();
}

void AxDirect3D::SetSampler(int slot, const AxSamplerStatePtr& state) {
    if (slot < 0 || slot >= kSamplerSlots) return;
    samplers[slot] = state;
    ApplySampler(slot);
}

AxSamplerStatePtr AxDirect3D::GetSampler(int slot) const {
    return slot >= 0 && slot < kSamplerSlots ? samplers[slot] : nullptr;
}

void AxDirect3D::SetBlendEnabled(bool enabled) {
    if (!context || enabled == blendEnabled) return;
    blendEnabled = enabled;
    if (enabled) glEnable(GL_BLEND);
    else glDisable(GL_BLEND);
}

void AxDirect3D::SetViewport(int x, int y, int w, int h) {
    viewport[0] = x;
    viewport[1] = y;
    viewport[2] = w;
    viewport[3] = h;
    if (context) glViewport(x, y, w, h);
}

void AxDirect3D::GetViewport(int& x, int& y, int& w, int& h) const {
    x = viewport[0];
    y = viewport[1];
    w = viewport[2];
    h = viewport[3];
}

void AxDirect3D::ApplyDepthState() {
    if (!context) return;
    // No state object means the pipeline default: test LESS, write on.
    const bool enable = depthState ? depthState->depthEnable : true;
    const bool write = depthState ? depthState->depthWrite : true;
    if (enable) glEnable(GL_DEPTH_TEST);
    else glDisable(GL_DEPTH_TEST);
    glDepthMask(write ? GL_TRUE : GL_FALSE);
    glDepthFunc(depthState ? GL_LEQUAL : GL_LESS);
    glDisable(GL_STENCIL_TEST);
}

void AxDirect3D::ApplyRasterizerState() {
    if (!context) return;
    const int cull = rasterizerState ? rasterizerState->cullMode : AX_CULL_BACK;
    const int fill = rasterizerState ? rasterizerState->fillMode : AX_FILL_SOLID;
    const bool clip = rasterizerState ? rasterizerState->depthClipEnable : true;
    const bool scissor = rasterizerState ? rasterizerState->scissorEnable : false;
    if (cull == AX_CULL_NONE) {
        glDisable(GL_CULL_FACE);
    } else {
        glEnable(GL_CULL_FACE);
        glCullFace(cull == AX_CULL_FRONT ? GL_FRONT : GL_BACK);
    }
    glPolygonMode(GL_FRONT_AND_BACK, fill == AX_FILL_WIREFRAME ? GL_LINE : GL_FILL);
    if (clip) glDisable(GL_DEPTH_CLAMP);
    else glEnable(GL_DEPTH_CLAMP);
    if (scissor) glEnable(GL_SCISSOR_TEST);
    else glDisable(GL_SCISSOR_TEST);
}

void AxDirect3D::ApplySampler(int slot) {
    if (!context) return;
    const GLuint s = samplers[slot] ? samplers[slot]->sampler : defaultSampler;
    const int first = slot == 0 ? 0 : 3;
    const int last = slot == 0 ? 2 : kTextureSlots - 1;
    for (int unit = first; unit <= last; ++unit) glBindSampler(static_cast<GLuint>(unit), s);
}

bool AxDirect3D::ApplyVertexInput() {
    if (!vertexBuffer || !vertexBuffer->buffer || !inputLayout || vertexStride == 0) return false;
    glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer->buffer);
    GLuint index = 0;
    for (const AxInputElement& e : *inputLayout) {
        glEnableVertexAttribArray(index);
        glVertexAttribPointer(index, e.components, e.glType, e.normalized ? GL_TRUE : GL_FALSE,
                              static_cast<GLsizei>(vertexStride),
                              reinterpret_cast<const void*>(static_cast<uintptr_t>(vertexOffset + e.offset)));
        ++index;
    }
    for (; index < 8; ++index) glDisableVertexAttribArray(index);
    return true;
}

void AxDirect3D::Draw(unsigned vertexCount, unsigned startVertex) {
    ++drawCount;
    if (!context || !submitEnabled || vertexCount == 0) return;
    if (!ApplyVertexInput()) return;
    glDrawArrays(GlTopology(topology), static_cast<GLint>(startVertex), static_cast<GLsizei>(vertexCount));
}

void AxDirect3D::DrawIndexed(unsigned indexCount, unsigned startIndex, int baseVertex) {
    ++drawCount;
    if (!context || !submitEnabled || indexCount == 0) return;
    if (!ApplyVertexInput()) return;
    glDrawElementsBaseVertex(GlTopology(topology), static_cast<GLsizei>(indexCount), GL_UNSIGNED_INT,
                             reinterpret_cast<const void*>(static_cast<uintptr_t>(startIndex) * 4u), baseVertex);
}
