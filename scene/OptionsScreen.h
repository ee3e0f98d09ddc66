#pragma once
// The options screen over the title: Up and Down choose a line, Left and
// Right change it, a key line waits for the next key; O (a gamepad's Y or
// B) or Escape close it. Every change goes to the settings at once.

#include "framework/platform/Platform.h"

#include <functional>

class Settings;
class AxTexture;

class OptionsScreen {
public:
    enum Line { kGhost, kDifficulty, kMusic, kEffects, kFullscreen, kRenderScale, kThrottle, kLeft, kRight, kPause,
                kLineCount };

    explicit OptionsScreen(Settings& settings) : settings(settings) {}

    // Once a frame. canOpen: the title is showing and waiting. rawKeys: a
    // key to bind may come from the keyboard itself (not in scripted runs).
    void Update(IPlatform& platform, bool canOpen, bool rawKeys);
    void Draw(AxTexture* atlas) const;

    // While open, and after Escape closed it until Escape is let go: Escape
    // belongs to this screen rather than quitting.
    bool HoldsEscape() const { return open || escapeHeld; }

    bool open = false;
    int line = 0;
    bool waitingForKey = false;
    int note = 0;        // the note under the lines (see OptionsLayout.h); 0 is the hint
    int noteFrames = 0;  // frames left before the hint comes back

    // The setting of a line changed: apply it now.
    std::function<void(int line)> onChange;
    // Closed: keep the settings; false when they could not be written.
    std::function<bool()> onClose;

private:
    bool Pressed(Key key) const { return down[static_cast<int>(key)] && !before[static_cast<int>(key)]; }
    void Change(int step);
    void Bind(int scancode);
    void ShowNote(int which);

    Settings& settings;
    bool down[kKeyCount] = {};
    bool before[kKeyCount] = {};
    bool escapeHeld = false;
};
