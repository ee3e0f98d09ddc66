#pragma once
// A display that is not there: presenting waits for the next refresh of a
// screen of the given rate, so pacing can be measured on a machine without one.

#include "framework/platform/Platform.h"

#include <cmath>

class SimulatedDisplay {
public:
    static constexpr int kMinHz = 24;
    static constexpr int kMaxHz = 360;

    SimulatedDisplay(IPlatform& platform, int hz) : platform(platform), period(1000.0 / hz) {}
    double Period() const { return period; }

    // Waits for the next refresh after now; returns its time on the pace clock.
    double WaitForRefresh() {
        const double now = platform.PaceMilliseconds();
        if (!started) {
            origin = now;
            started = true;
        }
        const double refresh = origin + (std::floor((now - origin) / period) + 1.0) * period;
        platform.PaceSleep(refresh - now);
        return refresh;
    }

private:
    IPlatform& platform;
    double period;
    double origin = 0.0;
    bool started = false;
};
