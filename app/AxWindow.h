#pragma once
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

    void* hWnd = nullptr;
    int wheelDelta = 0;  // kept for parity with the input model; nothing reads it
};
