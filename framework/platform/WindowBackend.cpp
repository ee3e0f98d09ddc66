#include "framework/platform/WindowBackend.h"

#include "framework/platform/Gamepads.h"
#include "framework/platform/KeyBindings.h"
#include "framework/platform/KeyLatch.h"
#include "framework/platform/Platform.h"

#include <SDL2/SDL.h>

namespace WindowBackend {
namespace {
// The game has one window; key events pushed without a window id mean it.
SDL_Window* g_window = nullptr;
// Below this the picture is too small to play on.
constexpr int kMinWidth = 320;
constexpr int kMinHeight = 180;

void ToggleFullscreen(Uint32 windowId) {
    SDL_Window* window = windowId ? SDL_GetWindowFromID(windowId) : g_window;
    if (window) SetFullscreen(window, !IsFullscreen(window));
}
}  // namespace

void* Create(int width, int height, const std::string& title, std::string& error) {
    if (IsHeadless()) SDL_SetHint(SDL_HINT_VIDEODRIVER, "offscreen");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        error = SDL_GetError();
        return nullptr;
    }
    // Hold the GL library for the whole run: SDL would otherwise unload it with
    // the last window, which buys nothing and hides the driver from leak reports.
    static const bool glLoaded = SDL_GL_LoadLibrary(nullptr) == 0;
    (void)glLoaded;
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    // The game draws into its own colour and depth targets; the window only shows them.
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);

    Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_ALLOW_HIGHDPI | SDL_WINDOW_RESIZABLE;
    flags |= IsHeadless() ? SDL_WINDOW_HIDDEN : SDL_WINDOW_SHOWN;
    SDL_Window* window = SDL_CreateWindow(title.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                          width, height, flags);
    if (!window) {
        error = SDL_GetError();
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return nullptr;
    }
    SDL_SetWindowMinimumSize(window, kMinWidth, kMinHeight);
    // Headless runs are scripted; a pad lying on the desk must not steer them.
    if (!IsHeadless()) Gamepads::Open();
    g_window = window;
    return window;
}

void Destroy(void* window) {
    if (!window) return;
    // Video stays initialised until exit: unloading the GL driver mid-run
    // gains nothing and loses the driver's symbols for leak reports.
    if (window == g_window) {
        g_window = nullptr;
        Gamepads::Close();
    }
    SDL_DestroyWindow(static_cast<SDL_Window*>(window));
}

Events PumpEvents(bool fullscreenKeys) {
    Events events;
    Gamepads::Update();
    KeyLatch::BeginPoll();
    Gamepads::BeginPoll();
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        switch (event.type) {
            case SDL_QUIT: events.close = true; break;
            case SDL_WINDOWEVENT:
                if (event.window.event == SDL_WINDOWEVENT_CLOSE) events.close = true;
                if (event.window.event == SDL_WINDOWEVENT_FOCUS_LOST) events.focusLost = true;
                break;
            case SDL_KEYDOWN: {
                const SDL_Scancode code = event.key.keysym.scancode;
                KeyLatch::NoteDown(code);
                if (code == SDL_SCANCODE_ESCAPE) events.escape = true;
                if (!event.key.repeat) NoteKeyPressed(code);
                const bool alt = (event.key.keysym.mod & KMOD_ALT) != 0;
                if (fullscreenKeys && !event.key.repeat &&
                    (code == SDL_SCANCODE_F11 || (code == SDL_SCANCODE_RETURN && alt)))
                    ToggleFullscreen(event.key.windowID);
                break;
            }
            case SDL_CONTROLLERBUTTONDOWN: Gamepads::NoteButtonDown(event.cbutton.which, event.cbutton.button); break;
            case SDL_CONTROLLERDEVICEADDED:
            case SDL_CONTROLLERDEVICEREMOVED: Gamepads::HandleEvent(event); break;
            default: break;
        }
    }
    return events;
}

void ClientSize(void* window, int& width, int& height) {
    width = height = 0;
    if (window) SDL_GetWindowSize(static_cast<SDL_Window*>(window), &width, &height);
}

void DrawableSize(void* window, int& width, int& height) {
    width = height = 0;
    if (window) SDL_GL_GetDrawableSize(static_cast<SDL_Window*>(window), &width, &height);
}

bool SetFullscreen(void* window, bool fullscreen) {
    if (!window) return false;
    return SDL_SetWindowFullscreen(static_cast<SDL_Window*>(window),
                                   fullscreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0) == 0;
}

bool IsFullscreen(void* window) {
    return window && (SDL_GetWindowFlags(static_cast<SDL_Window*>(window)) & SDL_WINDOW_FULLSCREEN) != 0;
}

void* CreateGLContext(void* window, std::string& error) {
    if (!window) {
        error = "no window";
        return nullptr;
    }
    SDL_GLContext context = SDL_GL_CreateContext(static_cast<SDL_Window*>(window));
    if (!context) {
        error = SDL_GetError();
        return nullptr;
    }
    // Until the app says otherwise, presenting does not wait for the display.
    SDL_GL_SetSwapInterval(0);
    return context;
}

bool SetVsync(bool on) {
    if (!on) {
        SDL_GL_SetSwapInterval(0);
        return false;
    }
    // Adaptive where offered: a late picture tears instead of waiting a whole refresh.
    if (SDL_GL_SetSwapInterval(-1) == 0) return true;
    return SDL_GL_SetSwapInterval(1) == 0;
}

int RefreshRate(void* window) {
    if (!window) return 0;
    SDL_DisplayMode mode{};
    if (SDL_GetWindowDisplayMode(static_cast<SDL_Window*>(window), &mode) != 0) return 0;
    return mode.refresh_rate;
}

void DeleteGLContext(void* context) {
    if (context) SDL_GL_DeleteContext(static_cast<SDL_GLContext>(context));
}

void SwapWindow(void* window) {
    if (window) SDL_GL_SwapWindow(static_cast<SDL_Window*>(window));
}

bool IsContextCurrent(void* context) {
    return context && SDL_GL_GetCurrentContext() == static_cast<SDL_GLContext>(context);
}

}  // namespace WindowBackend
