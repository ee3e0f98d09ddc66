#include "framework/platform/KeyBindings.h"

#include <SDL2/SDL.h>

namespace {
KeyBindings g_bindings;
int g_lastPressed = 0;

// Keys with a job of their own: the menus' Up and Down (Up may throttle, as
// it does anyway), options, ghost and fullscreen.
bool Taken(int code, bool throttle) {
    return (!throttle && (code == SDL_SCANCODE_UP || code == SDL_SCANCODE_DOWN)) || code == SDL_SCANCODE_O ||
           code == SDL_SCANCODE_G || code == SDL_SCANCODE_F11;
}
}  // namespace

bool IsFixedScancode(int code) {
    return code == SDL_SCANCODE_RETURN || code == SDL_SCANCODE_KP_ENTER || code == SDL_SCANCODE_ESCAPE;
}

const KeyBindings& CurrentKeyBindings() { return g_bindings; }

std::string KeyBindingProblem(const KeyBindings& b) {
    const int codes[4] = {b.throttle, b.left, b.right, b.pause};
    for (int i = 0; i < 4; ++i) {
        if (ScancodeName(codes[i]).empty()) return "not a key";
        if (IsFixedScancode(codes[i])) return "Enter and Escape cannot be bound";
        if (Taken(codes[i], i == 0)) return ScancodeName(codes[i]) + " is kept for the menus";
        for (int j = 0; j < i; ++j)
            if (codes[i] == codes[j]) return ScancodeName(codes[i]) + " is bound twice";
    }
    return {};
}

bool SetKeyBindings(const KeyBindings& bindings) {
    if (!KeyBindingProblem(bindings).empty()) return false;
    g_bindings = bindings;
    return true;
}

int BoundScancode(Key key) {
    switch (key) {
        case Key::Z: return g_bindings.throttle;
        case Key::Left: return g_bindings.left;
        case Key::Right: return g_bindings.right;
        case Key::Pause: return g_bindings.pause;
        default: return -1;
    }
}

std::string ScancodeName(int scancode) {
    if (scancode <= SDL_SCANCODE_UNKNOWN || scancode >= SDL_NUM_SCANCODES) return {};
    const char* name = SDL_GetScancodeName(static_cast<SDL_Scancode>(scancode));
    return name ? name : "";
}

int ScancodeFromName(const std::string& name) {
    if (name.empty()) return -1;
    const SDL_Scancode code = SDL_GetScancodeFromName(name.c_str());
    return code == SDL_SCANCODE_UNKNOWN ? -1 : static_cast<int>(code);
}

void NoteKeyPressed(int scancode) { g_lastPressed = scancode; }

int TakeKeyPressed() {
    const int code = g_lastPressed;
    g_lastPressed = 0;
    return code;
}

int DefaultScancode(Key key) {
    switch (key) {
        case Key::Z: return SDL_SCANCODE_Z;
        case Key::Left: return SDL_SCANCODE_LEFT;
        case Key::Right: return SDL_SCANCODE_RIGHT;
        case Key::Enter: return SDL_SCANCODE_RETURN;
        case Key::Escape: return SDL_SCANCODE_ESCAPE;
        case Key::Pause: return SDL_SCANCODE_P;
        case Key::Up: return SDL_SCANCODE_UP;
        case Key::Down: return SDL_SCANCODE_DOWN;
        case Key::Options: return SDL_SCANCODE_O;
        case Key::Ghost: return SDL_SCANCODE_G;
        case Key::Courses: return SDL_SCANCODE_C;
    }
    return 0;
}
