#include "app/Pause.h"

#include "framework/graphics/AxDirect3D.h"
#include "framework/graphics/AxShaderManager.h"
#include "framework/graphics/AxTextureCache.h"

PauseControl::Change PauseControl::Frame(bool pauseKeyDown, bool focusLost, IPlatform& clock, bool keyOwnedElsewhere) {
    const bool pressed = pauseKeyDown && !keyWasDown && !keyOwnedElsewhere;
    keyWasDown = pauseKeyDown;
    if (!paused && (pressed || focusLost)) {
        paused = true;
        pausedAt = clock.Milliseconds();
        return Change::Paused;
    }
    if (paused && pressed) {
        paused = false;
        lastPauseMs = clock.Milliseconds() - pausedAt;  // unsigned: survives the clock wrapping
        return Change::Resumed;
    }
    return Change::None;
}

PauseOverlay::PauseOverlay() = default;
PauseOverlay::~PauseOverlay() = default;

void PauseOverlay::Draw() {
    if (!textures) {
        textures = std::make_unique<AxTextureCache>();
        dim = textures->GetTexture("Data/Texture/black.png");
        word = textures->GetTexture("Data/Texture/pause.png");
    }
    AxDirect3D& device = AxDirect3D::GetInstance();
    int vx = 0, vy = 0, vw = 0, vh = 0;
    device.GetViewport(vx, vy, vw, vh);
    // Over the whole picture whatever viewport the scene left behind.
    device.SetViewport(0, 0, device.width, device.height);
    AxSpriteShader& sprites = AxShaderManager::GetInstance().spriteShader;
    const float centre[2] = {0.5f, 0.5f};
    const float dimmed[4] = {1.0f, 1.0f, 1.0f, 0.55f};
    const float opaque[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    sprites.Begin(true, true);
    sprites.DrawTex(dim, 0, 0, device.width, device.height, nullptr, dimmed, centre);
    if (word && word->desc.Width)
        sprites.DrawTex(word, 0, 0, static_cast<int>(word->desc.Width), static_cast<int>(word->desc.Height), nullptr,
                        opaque, centre);
    sprites.End();
    device.SetViewport(vx, vy, vw, vh);
}

void PauseOverlay::Release() {
    textures.reset();
    dim = word = nullptr;
}
