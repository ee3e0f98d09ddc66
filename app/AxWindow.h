#pragma once
#include "framework/platform/WindowBackend.h"

#include <functional>
#include <string>

// The game's one window. hWnd turns null as soon as the window is closed
// (close button or Escape), which is what ends the main loop.
class AxWindow {
public:
    ~AxWindow() { Release(); }

    bool Create(int clientWidth, int clientHeight, const std::string& title, const std::string& className);
    // Handles every pending event without waiting. False if the quit request was met.
    bool ProcessMessage();
    void Release();
    bool SetFullscreen(bool fullscreen);
    bool IsFullscreen() const;

    void* hWnd = nullptr;
    int wheelDelta = 0;  // kept for parity with the input model; nothing reads it
    // The window lost the keyboard during the last ProcessMessage.
    bool focusLost = false;
    // Escape closes the window unless the scene in front uses it (a menu
    // that Escape leaves).
    bool escapeCloses = true;
    // F11 and Alt+Enter switch fullscreen (not while a menu has the keys).
    bool fullscreenKeys = true;
    // Sees the events before they act, and may change them: recordings note
    // them, replays put the recorded ones in their place.
    std::function<void(WindowBackend::Events&)> eventFilter;
};
