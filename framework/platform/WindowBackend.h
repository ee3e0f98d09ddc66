#pragma once
// SDL window and OpenGL context, the only place SDL video is touched.

#include <string>

namespace WindowBackend {
// Creates a resizable window whose client area starts at exactly width x
// height, ready for an OpenGL 3.3 core context. Unless headless it also
// opens the gamepads. Returns the native handle or null.
void* Create(int width, int height, const std::string& title, std::string& error);
void Destroy(void* window);

struct Events {
    bool close = false;      // close button, quit request
    bool escape = false;     // Escape pressed: a close request unless the scene takes it
    bool focusLost = false;  // the window stopped taking the keyboard
};
// Handles every pending event without blocking: gamepads come and go, F11
// and Alt+Enter switch fullscreen (when fullscreenKeys), and what the game
// must act on is returned.
Events PumpEvents(bool fullscreenKeys = true);
void ClientSize(void* window, int& width, int& height);
// The size in pixels the picture is shown at; larger than the client size
// on HiDPI screens.
void DrawableSize(void* window, int& width, int& height);
// Borderless fullscreen on the window's display, or back to the window.
bool SetFullscreen(void* window, bool fullscreen);
bool IsFullscreen(void* window);

void* CreateGLContext(void* window, std::string& error);
void DeleteGLContext(void* context);
void SwapWindow(void* window);
// Presenting waits for the display's refresh (adaptively where the driver
// can) or not; true when the driver took a waiting swap interval.
bool SetVsync(bool on);
// The refresh rate of the window's display in Hz, 0 when unknown.
int RefreshRate(void* window);
// False once the window under the context has gone: GL calls would have no target.
bool IsContextCurrent(void* context);
}  // namespace WindowBackend
