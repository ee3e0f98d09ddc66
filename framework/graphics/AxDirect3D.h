#pragma once
// The graphics device: an OpenGL 3.3 core context on the game window, with a
// colour target and a 32-bit float depth target of the back buffer's size that
// every frame is drawn into and then shown in the window. Besides the targets
// it owns the shared white texture, the pool of dynamic vertex buffers for
// small immediate draws, and the current pipeline state (tracked here so that
// callers can save and restore it).
//
// Slots: constant buffers bind to uniform-buffer binding points of the same
// number; textures bind to texture units of the same number; sampler 0 serves
// texture units 0 to 2 and sampler 1 units 3 to 7.

#include "framework/graphics/AxBuffer.h"
#include "framework/graphics/AxRenderStates.h"
#include "framework/graphics/AxTexture.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// One vertex attribute: the program input of that name reads `components`
// values of GL type `glType` at `offset` inside each vertex.
struct AxInputElement {
    std::string semantic;
    int components = 0;
    unsigned glType = 0;
    bool normalized = false;
    unsigned offset = 0;
};
using AxInputLayout = std::vector<AxInputElement>;

// Where a picture of width x height is shown inside a target of
// targetWidth x targetHeight: as large as fits with its aspect kept, centred,
// the rest left as bars. Empty when the target is.
struct AxFitRect {
    int x = 0, y = 0, width = 0, height = 0;
};
AxFitRect FitPicture(int width, int height, int targetWidth, int targetHeight);

// True while the device's context exists and is current: GL objects may be
// made and deleted. Objects outliving the context just forget their names.
bool AxGLContextAlive();

class AxDirect3D {
public:
    static constexpr int kTextureSlots = 8;
    static constexpr int kSamplerSlots = 2;
    static constexpr int kScratchTextureUnit = 15;  // texture uploads only
    static constexpr int kPoolBuffers = 10;

    static AxDirect3D& GetInstance();

    bool Init(void* hWnd, int width, int height, bool debugDevice, std::string& errorMessage);
    void Release();
    bool IsInitialised() const { return context != nullptr; }

    // The caller owns the returned objects; null on failure.
    AxDepthStencilStatePtr CreateDepthStencilState(bool depthEnable, bool depthWrite);
    AxRasterizerStatePtr CreateRasterizerState(int cullMode, int fillMode, bool depthClipEnable, bool scissorEnable);
    AxSamplerStatePtr CreateSamplerState(int filterType, int maxAnisotropy, int addressMode, bool comparison);

    // Non-indexed geometry from CPU memory through the vertex-buffer pool.
    void DrawVertexBuffer(AxTopology topology, unsigned vertexCount, const void* vertices, unsigned stride);

    void ClearBackBuffer(float r, float g, float b, float a);
    void ClearDepthStencil(float depth, uint8_t stencil);
    // Shows the back buffer in the window (waiting for the refresh with vsync on),
    // scaled to fit the window's drawable area with black bars beside it.
    void Present();
    // Whether presenting waits for the display's refresh; true when it does.
    bool SetVsync(bool on);
    // The refresh rate of the window's display in Hz, 0 when unknown.
    int DisplayRefreshRate() const;
    // The back buffer as RGBA8, top row first.
    bool ReadBackBuffer(std::vector<uint8_t>& rgba, int& width, int& height);

    // Render scale: the 3D scene is drawn into a target of scale times the
    // back buffer's size and stretched onto it with linear filtering, so the
    // 2D screens drawn afterwards stay sharp. 1 draws straight into the back
    // buffer. False (and no scaling) when the target cannot be made.
    bool SetRenderScale(float scale);
    float RenderScale() const { return sceneScale; }
    // Around the 3D part of a frame: clears and draws between them go to the
    // scaled target and its viewport.
    void BeginScene3D();
    void EndScene3D();

    // With submission off every call still runs its CPU side (state, constant
    // data, pool choice) but no clear, upload of immediate vertices or draw
    // reaches the GPU; long logic runs on software rasterisers use it.
    void SetSubmitEnabled(bool enabled) { submitEnabled = enabled; }
    bool IsSubmitEnabled() const { return submitEnabled; }

    // Pipeline state.
    void SetInputLayout(const AxInputLayout* layout) { inputLayout = layout; }
    void SetVertexBuffer(const AxBuffer* buffer, unsigned stride, unsigned offset);
    void SetIndexBuffer(const AxBuffer* buffer);
    void SetPrimitiveTopology(AxTopology t) { topology = t; }
    void SetProgram(unsigned program);
    void SetConstantBuffer(int slot, const AxBuffer* buffer);
    void SetShaderResource(int slot, const AxTextureViewPtr& view);
    void SetDepthStencilState(const AxDepthStencilStatePtr& state, unsigned stencilRef);
    AxDepthStencilStatePtr GetDepthStencilState(unsigned* stencilRef = nullptr) const;
    void SetRasterizerState(const AxRasterizerStatePtr& state);
    AxRasterizerStatePtr GetRasterizerState() const { return rasterizerState; }
    void SetSampler(int slot, const AxSamplerStatePtr& state);
    AxSamplerStatePtr GetSampler(int slot) const;
    // Blending (source alpha over the target) is on unless a draw turns it
    // off for pixels it covers completely; whoever turns it off turns it back on.
    void SetBlendEnabled(bool enabled);
    bool IsBlendEnabled() const { return blendEnabled; }
    void SetViewport(int x, int y, int w, int h);
    void GetViewport(int& x, int& y, int& w, int& h) const;

    void Draw(unsigned vertexCount, unsigned startVertex);
    void DrawIndexed(unsigned indexCount, unsigned startIndex, int baseVertex);

    std::shared_ptr<AxTexture> backBuffer;
    std::shared_ptr<AxTexture> zBuffer;
    std::array<AxBuffer, kPoolBuffers> tempVertexBuffers;
    AxBuffer overflowVertexBuffer;
    std::shared_ptr<AxTexture> whiteTex;

    int width = 0;
    int height = 0;
    // The vertex programs remap depth when the context cannot take it 0 to 1.
    bool depthRemap = false;
    // Mesa's llvmpipe and the like: the default samplers filter trilinearly.
    bool softwareRasteriser = false;
    // Set before Init to remap even when clip control is there (tests).
    bool forceDepthRemap = false;
    // What the last DrawVertexBuffer wrote into, and draws issued (counted
    // with submission off too).
    const AxBuffer* lastDrawBuffer = nullptr;
    unsigned long long drawCount = 0;

private:
    AxDirect3D() = default;
    bool ApplyVertexInput();
    void ApplyDepthState();
    void ApplyRasterizerState();
    void ApplySampler(int slot);
    void ReleaseSceneTarget();

    void* window = nullptr;
    void* context = nullptr;
    unsigned frameBuffer = 0;
    unsigned drawTarget = 0;  // the frame buffer clears go to: frameBuffer or sceneFrameBuffer
    unsigned sceneFrameBuffer = 0;
    unsigned sceneRenderbuffers[2] = {0, 0};  // colour, depth
    int sceneWidth = 0, sceneHeight = 0;
    float sceneScale = 1.0f;
    bool inScene3D = false;
    int savedViewport[4] = {0, 0, 0, 0};
    unsigned vertexArray = 0;
    unsigned defaultSampler = 0;
    bool submitEnabled = true;
    bool anisotropySupported = false;
    bool blendEnabled = true;

    const AxInputLayout* inputLayout = nullptr;
    const AxBuffer* vertexBuffer = nullptr;
    unsigned vertexStride = 0;
    unsigned vertexOffset = 0;
    AxTopology topology = AxTopology::TriangleList;
    AxDepthStencilStatePtr depthState;
    unsigned stencilRef = 0;
    AxRasterizerStatePtr rasterizerState;
    std::array<AxSamplerStatePtr, kSamplerSlots> samplers;
    int viewport[4] = {0, 0, 0, 0};
};
