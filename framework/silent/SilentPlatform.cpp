// The platform without SDL: no keyboard, no gamepads, no window. Whoever runs
// the race installs a platform of its own (SetPlatform) for keys and clock.

#include "framework/platform/KeyBindings.h"
#include "framework/platform/Platform.h"

#include <chrono>
#include <cstdio>
#include <thread>

namespace {
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
void ShowMessageBox(const std::string& text, const std::string& caption, bool, void*) {
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
}

double PerfMilliseconds() {
    using Clock = std::chrono::steady_clock;
    static const Clock::time_point start = Clock::now();
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
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
