// The platform without SDL: no keyboard, no gamepads, no window. Whoever runs
// the race installs a platform of its own (SetPlatform) for keys and clock.

#include "framework/platform/KeyBindings.h"
#include "framework/platform/Platform.h"

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <thread>

namespace {
IPlatform* g_platform = nullptr;
bool g_startPauses = false;
bool g_headless = true;

class SilentPlatformImpl final : public IPlatform {
public:
    bool IsKeyDown(Key) override { return false; }
    uint32_t Milliseconds() override { return static_cast<uint32_t>(PerfMilliseconds()); }
    void Sleep(uint32_t ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
};
}  // namespace

int IPlatform::TakeKeyPressed() { return 0; }

double IPlatform::PaceMilliseconds() { return PerfMilliseconds(); }
void IPlatform::PaceSleep(double ms) {
    if (ms > 0.0) std::this_thread::sleep_for(std::chrono::duration<double, std::milli>(ms));
}

IPlatform& SdlPlatform() {
    static SilentPlatformImpl platform;
    return platform;
}
IPlatform& Platform() { return g_platform ? *g_platform : SdlPlatform(); }
void SetPlatform(IPlatform* platform) { g_platform = platform; }
void SetGamepadStartPauses(bool pauses) { g_startPauses = pauses; }
bool GamepadStartPauses() { return g_startPauses; }
void SetHeadless(bool headless) { g_headless = headless; }
bool IsHeadless() { return g_headless; }
void ShowMessageBox(const std::string& text, const std::string& caption, bool, void*) {
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
}

double PerfMilliseconds() {
    using Clock = std::chrono::steady_clock;
    static const Clock::time_point start = Clock::now();
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double PeakRssMiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

const KeyBindings& CurrentKeyBindings() {
    static const KeyBindings defaults;
    return defaults;
}
bool SetKeyBindings(const KeyBindings&) { return true; }
std::string KeyBindingProblem(const KeyBindings&) { return {}; }
bool IsFixedScancode(int) { return false; }
int BoundScancode(Key) { return -1; }
std::string ScancodeName(int) { return {}; }
int ScancodeFromName(const std::string&) { return -1; }
void NoteKeyPressed(int) {}
int TakeKeyPressed() { return 0; }
int DefaultScancode(Key) { return 0; }
