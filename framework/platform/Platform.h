#pragma once
// The one seam through which game code sees the keyboard, the gamepads and
// the clock. The SDL layer, the scripted-input/fixed-clock harness, replays
// and unit-test fakes all implement it, so every frame is reproducible from
// (seed, keys, clock).

#include <cstdint>
#include <string>

// What each key stands for on the keyboard and on a gamepad:
//   Z       Z or Up; south face button (A) or right trigger
//   Left    Left; d-pad left or left stick left
//   Right   Right; d-pad right or left stick right
//   Enter   Return (not with Alt: Alt+Return is the fullscreen toggle);
//           Start, unless the scene lets Start pause
//   Escape  Escape; Back
//   Pause   P; Start where the scene lets it pause
//   Up      Up; d-pad up (menus)
//   Down    Down; d-pad down (menus)
//   Options O; north face button (Y) opens, east (B) closes
//   Ghost   G
// New keys go at the end: recordings keep each key's bit.
enum class Key { Z, Left, Right, Enter, Escape, Pause, Up, Down, Options, Ghost, Courses };
constexpr int kKeyCount = 11;

class IPlatform {
public:
    virtual ~IPlatform() = default;
    // Down at this moment (polled, not edge-triggered).
    virtual bool IsKeyDown(Key key) = 0;
    // Millisecond clock; wraps like a 32-bit tick count.
    virtual uint32_t Milliseconds() = 0;
    virtual void Sleep(uint32_t ms) = 0;
    // The keyboard key (SDL scancode) pressed since the last call, 0 for none;
    // taken once. Screens that wait for any key read it.
    virtual int TakeKeyPressed();
    // A menu's keys, whatever the player bound: the arrows, Enter, Escape and
    // O on the keyboard; the d-pad, A (Enter), B and Y (Options), Back
    // (Escape) and Start (Enter) on a gamepad. By default the keys above.
    virtual bool IsMenuKeyDown(Key key) { return IsKeyDown(key); }
    // Today as YYYY-MM-DD on the player's clock (local time).
    virtual std::string LocalDate();

    // The clock that paces pictures to the display: fine-grained and never
    // recorded, because no update reads it (only when to draw depends on it).
    virtual double PaceMilliseconds();
    // Sleeps on that clock, to within a fraction of a millisecond.
    virtual void PaceSleep(double ms);
};

// The platform in force; the SDL one unless something else was installed.
IPlatform& Platform();
// Installs a platform (null restores the SDL one). The caller keeps ownership.
void SetPlatform(IPlatform* platform);

// The real keyboard, clock and sleep through SDL.
IPlatform& SdlPlatform();

// Start means Enter on screens that wait for it and Pause during play; the
// app says which holds for the scene in front.
void SetGamepadStartPauses(bool pauses);
bool GamepadStartPauses();

// Headless runs use the offscreen video driver and report to stderr, not boxes.
void SetHeadless(bool headless);
bool IsHeadless();

// Start-up error report: a message box, or standard error when headless or
// when no box can be shown.
void ShowMessageBox(const std::string& text, const std::string& caption, bool isError, void* ownerWindow);

// Measurement only (stats, benchmarks), never game logic.
double PerfMilliseconds();
double PeakRssMiB();
