#pragma once
// The options screen over the title: Up and Down choose a line, Left and
// Right change it, a key line waits for the next key; O (a gamepad's Y or
// B) or Escape close it. Every change goes to the settings at once. It shows
// the values in force, marking this run's own (from the command line) that
// are not saved, and reads its own fixed keys whatever the bindings.

#include "framework/platform/Platform.h"

#include <functional>
#include <string>

class Settings;
struct SettingsOverrides;
class AxTexture;

class OptionsScreen {
public:
    enum Line { kGhost, kDifficulty, kMusic, kEffects, kFullscreen, kRenderScale, kThrottle, kLeft, kRight, kPause,
                kPlayer, kLineCount };

    OptionsScreen(Settings& settings, SettingsOverrides& overrides) : settings(settings), overrides(overrides) {}

    // Once a frame. canOpen: the title is showing and waiting. rawKeys: a
    // key to bind may come from the keyboard itself (not in scripted runs).
    void Update(IPlatform& platform, bool canOpen, bool rawKeys);
    void Draw(AxTexture* atlas) const;

    // While open, and after Escape closed it until Escape is let go: Escape
    // belongs to this screen rather than quitting.
    bool HoldsEscape() const { return open || escapeHeld; }
    // While open (the frame it closes included) the keys are the screen's:
    // nothing else acts on them.
    bool OwnsKeys() const { return open || openAtFrameStart; }

    bool open = false;
    int line = 0;
    bool waitingForKey = false;
    // The player line: Enter (or Left, Right) starts typing the name from the
    // keyboard, Backspace takes a letter back, Enter keeps it, Escape leaves it.
    bool editingName = false;
    std::string nameDraft;
    // A note in words (the server refused the name) over the atlas's notes.
    void ShowText(const std::string& text);
    std::string textNote;
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
    void TypeName(int scancode, bool escape);
    void ShowNote(int which);

    Settings& settings;
    SettingsOverrides& overrides;
    bool down[kKeyCount] = {};
    bool before[kKeyCount] = {};
    bool escapeHeld = false;
    bool openAtFrameStart = false;
};
