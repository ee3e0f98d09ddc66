#pragma once
// The one seam through which game code sees the keyboard and the clock.
// The SDL layer, the scripted-input/fixed-clock harness and unit-test fakes
// all implement it, so every frame is reproducible from (seed, keys, clock).

#include <cstdint>
#include <string>

enum class Key { Z, Left, Right, Enter, Escape };

class IPlatform {
public:
    virtual ~IPlatform() = default;
    // Down at this moment (polled, not edge-triggered).
    virtual bool IsKeyDown(Key key) = 0;
    // Millisecond clock; wraps like a 32-bit tick count.
    virtual uint32_t Milliseconds() = 0;
    virtual void Sleep(uint32_t ms) = 0;
};

// The platform in force; the SDL one unless something else was installed.
IPlatform& Platform();
// Installs a platform (null restores the SDL one). The caller keeps ownership.
void SetPlatform(IPlatform* platform);

// The real keyboard, clock and sleep through SDL.
IPlatform& SdlPlatform();

// Headless runs use the offscreen video driver and report to stderr, not boxes.
void SetHeadless(bool headless);
bool IsHeadless();

// Start-up error report: a message box, or standard error when headless or
// when no box can be shown.
void ShowMessageBox(const std::string& text, const std::string& caption, bool isError, void* ownerWindow);

// Measurement only (stats, benchmarks), never game logic.
double PerfMilliseconds();
double PeakRssMiB();
