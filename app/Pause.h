#pragma once
// Pausing: the pause key (P, or Start where it pauses) toggles it, losing the
// window's focus starts it. While paused the frame loop keeps drawing and
// presenting, but scenes do not update and no sound plays.

#include "framework/platform/Platform.h"

#include <cstdint>
#include <memory>

class AxTextureCache;
class AxTexture;

class PauseControl {
public:
    enum class Change { None, Paused, Resumed };

    // Once a frame, before the scene runs. The clock is read only when the
    // state changes, so a run without pauses takes no extra readings.
    // keyOwnedElsewhere: the scene's menu has the keys; a press there does not pause.
    Change Frame(bool pauseKeyDown, bool focusLost, IPlatform& clock, bool keyOwnedElsewhere = false);
    bool IsPaused() const { return paused; }
    // How long the pause that just ended lasted on the platform clock.
    uint32_t LastPauseMs() const { return lastPauseMs; }

private:
    bool paused = false;
    bool keyWasDown = false;
    uint32_t pausedAt = 0;
    uint32_t lastPauseMs = 0;
};

// The dimmed picture with the word over it, drawn by the app on top of
// whatever the scene drew. Its textures load at the first pause.
class PauseOverlay {
public:
    PauseOverlay();
    ~PauseOverlay();
    void Draw();
    // Drops the textures while the device still lives.
    void Release();

private:
    std::unique_ptr<AxTextureCache> textures;
    AxTexture* dim = nullptr;
    AxTexture* word = nullptr;
};
