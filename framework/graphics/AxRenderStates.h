#pragma once
// Pipeline state objects made by the device's factories. A null state stands
// for the pipeline's default (depth LESS with writes; solid fill culling back
// faces; linear clamped sampling).

#include <memory>

enum class AxTopology { PointList = 1, LineList = 2, LineStrip = 3, TriangleList = 4, TriangleStrip = 5 };
enum AxCullMode { AX_CULL_NONE = 1, AX_CULL_FRONT = 2, AX_CULL_BACK = 3 };
enum AxFillMode { AX_FILL_WIREFRAME = 2, AX_FILL_SOLID = 3 };

struct AxDepthStencilState {
    bool depthEnable = true;
    bool depthWrite = true;  // comparison is always LESS_EQUAL, stencil off
};

struct AxRasterizerState {
    int cullMode = AX_CULL_NONE;
    int fillMode = AX_FILL_SOLID;
    bool depthClipEnable = true;
    bool scissorEnable = false;
};

struct AxSamplerState {
    AxSamplerState() = default;
    AxSamplerState(const AxSamplerState&) = delete;
    AxSamplerState& operator=(const AxSamplerState&) = delete;
    ~AxSamplerState();
    unsigned sampler = 0;  // GL sampler object
    int filterType = 1;    // 0 point, 1 linear, 2 anisotropic
    int maxAnisotropy = 1;
    int addressMode = 0;   // 0 wrap, 1 clamp
    bool comparison = false;
};

using AxDepthStencilStatePtr = std::shared_ptr<AxDepthStencilState>;
using AxRasterizerStatePtr = std::shared_ptr<AxRasterizerState>;
using AxSamplerStatePtr = std::shared_ptr<AxSamplerState>;
