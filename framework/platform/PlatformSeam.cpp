// The part of the platform that is the same with SDL or without it: which
// platform is in force, the run's flags, today's date, the peak memory.

#include "framework/platform/Platform.h"

#include <sys/resource.h>
#include <time.h>

namespace {
IPlatform* g_platform = nullptr;
bool g_headless = false;
bool g_startPauses = false;
}  // namespace

IPlatform& Platform() { return g_platform ? *g_platform : SdlPlatform(); }
void SetPlatform(IPlatform* platform) { g_platform = platform; }

void SetGamepadStartPauses(bool pauses) { g_startPauses = pauses; }
bool GamepadStartPauses() { return g_startPauses; }

void SetHeadless(bool headless) { g_headless = headless; }
bool IsHeadless() { return g_headless; }

// Today on the machine's clock, in local time.
std::string IPlatform::LocalDate() {
    const time_t now = time(nullptr);
    tm local{};
    localtime_r(&now, &local);
    char text[16];
    strftime(text, sizeof text, "%Y-%m-%d", &local);
    return text;
}

double PeakRssMiB() {
    rusage usage{};
    if (getrusage(RUSAGE_SELF, &usage) != 0) return 0.0;
    return static_cast<double>(usage.ru_maxrss) / 1024.0;  // ru_maxrss is in KiB on Linux
}
