#include "framework/platform/Platform.h"

#include "framework/platform/Gamepads.h"
#include "framework/platform/KeyBindings.h"
#include "framework/platform/KeyLatch.h"

#include <SDL2/SDL.h>
#include <sys/resource.h>
#include <time.h>

#include <cstdio>

int IPlatform::TakeKeyPressed() { return ::TakeKeyPressed(); }

double IPlatform::PaceMilliseconds() { return PerfMilliseconds(); }

void IPlatform::PaceSleep(double ms) {
    if (!(ms > 0.0)) return;
    // Coarse sleep for all but the last millisecond, then short naps: a
    // picture due at a refresh must not wake a millisecond late.
    const double target = PerfMilliseconds() + ms;
    if (ms > 1.5) SDL_Delay(static_cast<Uint32>(ms - 1.0));
    const timespec step{0, 50000};  // 0.05 ms
    while (PerfMilliseconds() < target) nanosleep(&step, nullptr);
}

namespace {
class SdlPlatformImpl final : public IPlatform {
public:
    bool IsKeyDown(Key key) override { return KeyboardDown(key) || Gamepads::IsDown(key); }
    bool IsMenuKeyDown(Key key) override { return KeyboardMenuDown(key) || Gamepads::IsMenuDown(key); }
    uint32_t Milliseconds() override { return SDL_GetTicks(); }
    // Wakes on the clock's own millisecond tick, as a 1 ms system timer does:
    // a plain delay overshoots into the next tick now and then, which would
    // stretch a 16 ms frame to 17 on the millisecond clock.
    void Sleep(uint32_t ms) override {
        if (ms == 0) return;
        const uint32_t target = SDL_GetTicks() + ms;
        if (ms > 1) SDL_Delay(ms - 1);
        const timespec step{0, 100000};  // 0.1 ms
        while (static_cast<int32_t>(target - SDL_GetTicks()) > 0) nanosleep(&step, nullptr);
    }

private:
    // Held now, or tapped since the last frame's events.
    static bool ScancodeDown(SDL_Scancode code) {
        int count = 0;
        const Uint8* state = SDL_GetKeyboardState(&count);
        return (state && code < count && state[code] != 0) || KeyLatch::WentDown(code);
    }
    static bool KeyboardMenuDown(Key key) {
        switch (key) {
            case Key::Left: return ScancodeDown(SDL_SCANCODE_LEFT);
            case Key::Right: return ScancodeDown(SDL_SCANCODE_RIGHT);
            case Key::Pause:
            case Key::Z:
            case Key::Ghost: return false;
            default: return FixedKeyDown(key);
        }
    }
    static bool KeyboardDown(Key key) {
        // Throttle, steering and pause follow the player's bindings; Up throttles too.
        if (const int bound = BoundScancode(key); bound >= 0)
            return ScancodeDown(static_cast<SDL_Scancode>(bound)) || (key == Key::Z && ScancodeDown(SDL_SCANCODE_UP));
        return FixedKeyDown(key);
    }
    static bool FixedKeyDown(Key key) {
        auto down = ScancodeDown;
        switch (key) {
            // Up too, for keyboards that drop Z while both arrows are held.
            case Key::Z: return down(SDL_SCANCODE_Z) || down(SDL_SCANCODE_UP);
            case Key::Left: return down(SDL_SCANCODE_LEFT);
            case Key::Right: return down(SDL_SCANCODE_RIGHT);
            // Either Enter key; Alt+Return is the fullscreen toggle.
            case Key::Enter:
                return (down(SDL_SCANCODE_RETURN) || down(SDL_SCANCODE_KP_ENTER)) && !(SDL_GetModState() & KMOD_ALT);
            case Key::Escape: return down(SDL_SCANCODE_ESCAPE);
            case Key::Pause: return down(SDL_SCANCODE_P);
            case Key::Up: return down(SDL_SCANCODE_UP);
            case Key::Down: return down(SDL_SCANCODE_DOWN);
            case Key::Options: return down(SDL_SCANCODE_O);
            case Key::Ghost: return down(SDL_SCANCODE_G);
            case Key::Courses: return down(SDL_SCANCODE_C);
        }
        return false;
    }
};

}  // namespace

IPlatform& SdlPlatform() {
    static SdlPlatformImpl instance;
    return instance;
}

void ShowMessageBox(const std::string& text, const std::string& caption, bool isError, void* ownerWindow) {
    if (!IsHeadless()) {
        const Uint32 flags = isError ? SDL_MESSAGEBOX_ERROR : SDL_MESSAGEBOX_INFORMATION;
        if (SDL_ShowSimpleMessageBox(flags, caption.c_str(), text.c_str(), static_cast<SDL_Window*>(ownerWindow)) == 0)
            return;
    }
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
}

double PerfMilliseconds() {
    static const Uint64 frequency = SDL_GetPerformanceFrequency();
    return static_cast<double>(SDL_GetPerformanceCounter()) * 1000.0 / static_cast<double>(frequency);
}
