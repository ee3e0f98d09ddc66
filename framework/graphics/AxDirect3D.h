#pragma once
// The graphics device: an OpenGL 3.3 core context on the game window, with a
// colour target and a 32-bit float depth target of the back buffer's size that
// every frame is drawn into and then shown in the window.

#include <cstdint>
#include <string>
#include <vector>

class AxDirect3D {
public:
    static AxDirect3D& GetInstance();

    bool Init(void* hWnd, int width, int height, bool debugDevice, std::string& errorMessage);
    void Release();

    void ClearBackBuffer(float r, float g, float b, float a);
    void ClearDepthStencil(float depth, uint8_t stencil);
    // Shows the back buffer in the window without waiting for the display.
    void Present();
    // The back buffer as RGBA8, top row first.
    bool ReadBackBuffer(std::vector<uint8_t>& rgba, int& width, int& height);

    // With submission off every call still runs but nothing reaches the GPU;
    // long logic runs on software rasterisers use it.
    void SetSubmitEnabled(bool enabled) { submitEnabled = enabled; }
    bool IsSubmitEnabled() const { return submitEnabled; }
    bool IsInitialised() const { return context != nullptr; }

    int width = 0;
    int height = 0;

private:
    AxDirect3D() = default;
    void* window = nullptr;
    void* context = nullptr;
    unsigned frameBuffer = 0;
    unsigned colourTarget = 0;
    unsigned depthTarget = 0;
    bool submitEnabled = true;
};
