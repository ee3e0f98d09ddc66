#include "framework/graphics/AxDirect3D.h"

#include "framework/platform/WindowBackend.h"

#include <epoxy/gl.h>

#include <algorithm>

AxDirect3D& AxDirect3D::GetInstance() {
    static AxDirect3D instance;
    return instance;
}

bool AxDirect3D::Init(void* hWnd, int w, int h, bool /*debugDevice*/, std::string& errorMessage) {
    std::string detail;
    context = WindowBackend::CreateGLContext(hWnd, detail);
    if (!context) {
        errorMessage = "Direct3D11デバイス作成失敗";
        Release();
        return false;
    }
    window = hWnd;
    width = w;
    height = h;

    glGenTextures(1, &colourTarget);
    glBindTexture(GL_TEXTURE_2D, colourTarget);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glGenTextures(1, &depthTarget);
    glBindTexture(GL_TEXTURE_2D, depthTarget);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_DEPTH_COMPONENT32F, w, h, 0, GL_DEPTH_COMPONENT, GL_FLOAT, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glBindTexture(GL_TEXTURE_2D, 0);

    glGenFramebuffers(1, &frameBuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, frameBuffer);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, colourTarget, 0);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_TEXTURE_2D, depthTarget, 0);
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
        errorMessage = "バックバッファ作成失敗";
        Release();
        return false;
    }
    glViewport(0, 0, w, h);
    return true;
}

void AxDirect3D::Release() {
    if (context) {
        // Closing the window (Escape, close box) takes the context's surface
        // with it; deleting the context then frees its objects on its own.
        if (WindowBackend::IsContextCurrent(context)) {
            if (frameBuffer) glDeleteFramebuffers(1, &frameBuffer);
            if (colourTarget) glDeleteTextures(1, &colourTarget);
            if (depthTarget) glDeleteTextures(1, &depthTarget);
        }
        WindowBackend::DeleteGLContext(context);
    }
    frameBuffer = colourTarget = depthTarget = 0;
    context = nullptr;
    window = nullptr;
    width = height = 0;
}

void AxDirect3D::ClearBackBuffer(float r, float g, float b, float a) {
    if (!context || !submitEnabled) return;
    glBindFramebuffer(GL_FRAMEBUFFER, frameBuffer);
    glClearColor(r, g, b, a);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glClear(GL_COLOR_BUFFER_BIT);
}

void AxDirect3D::ClearDepthStencil(float depth, uint8_t stencil) {
    if (!context || !submitEnabled) return;
    glBindFramebuffer(GL_FRAMEBUFFER, frameBuffer);
    glClearDepth(depth);
    glClearStencil(stencil);
    glDepthMask(GL_TRUE);
    glClear(GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
}

void AxDirect3D::Present() {
    if (!context) return;
    if (submitEnabled) {
        int windowWidth = 0, windowHeight = 0;
        WindowBackend::ClientSize(window, windowWidth, windowHeight);
        glBindFramebuffer(GL_READ_FRAMEBUFFER, frameBuffer);
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
        glBlitFramebuffer(0, 0, width, height, 0, 0, windowWidth, windowHeight, GL_COLOR_BUFFER_BIT, GL_LINEAR);
        glBindFramebuffer(GL_FRAMEBUFFER, frameBuffer);
    }
    WindowBackend::SwapWindow(window);
}

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
