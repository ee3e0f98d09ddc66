#pragma once
// SDL window and OpenGL context, the only place SDL video is touched.

#include <string>

namespace WindowBackend {
// Creates a window whose client (drawable) area is exactly width x height,
// ready for an OpenGL 3.3 core context. Returns the native handle or null.
void* Create(int width, int height, const std::string& title, std::string& error);
void Destroy(void* window);
// Handles every pending event without blocking. Returns true when the user
// asked to close the window (close button, Escape pressed).
bool PumpEvents();
void ClientSize(void* window, int& width, int& height);

void* CreateGLContext(void* window, std::string& error);
void DeleteGLContext(void* context);
void SwapWindow(void* window);
// False once the window under the context has gone: GL calls would have no target.
bool IsContextCurrent(void* context);
}  // namespace WindowBackend
