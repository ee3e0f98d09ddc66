#pragma once
#include <cstdint>
#include <memory>

class AxTextureCache;
class AxTexture;
class AxSoundEffect;
class AxSoundInstance;

// Base of every screen-filling state: a texture cache, the fade overlay and
// the Enter sound, and the default frame (update unless paused, clear to
// blue, draw).
class Scene_base {
public:
    Scene_base();
    virtual ~Scene_base();
    virtual void Update() {}
    virtual void Draw() {}
    // One update of the scene (unless paused): what the clock's 16 ms steps run.
    virtual void Step();
    // One picture of the scene as it stands; it may come between two updates.
    virtual void Picture();
    // An update and its picture.
    virtual void Frame();
    // Called when the game resumes from a pause that lasted ms milliseconds:
    // clocks that measure play time move their references on by it.
    virtual void ShiftClock(uint32_t ms) { (void)ms; }

    // Set by the app while the game is paused: Frame draws but does not update.
    bool paused = false;
    // Set by a scene in which the gamepad's Start pauses (racing) rather than
    // standing for Enter (the title and result screens).
    bool startPauses = false;
    // Set by a scene showing something Escape leaves (a menu): Escape then
    // does not close the window.
    bool takesEscape = false;
    // Set by a scene whose menu has the keys: no other action (pause,
    // fullscreen) reacts to a key pressed there.
    bool ownsKeys = false;

    AxTextureCache* textureCache = nullptr;
    AxTexture* fadeTex = nullptr;
    bool fadeOut = false;
    float fadeAlpha = 0.0f;
    std::shared_ptr<AxSoundEffect> pressSound;
    std::shared_ptr<AxSoundInstance> pressInst;

protected:
    // The shared clear of every frame: opaque blue, depth 1, stencil 0.
    static void ClearTargets();
};
