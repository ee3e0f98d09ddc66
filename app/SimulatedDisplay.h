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

    // The next refresh after now on the pace clock: a picture presented now is
    // shown then, and presenting returns then.
    double NextRefresh() {
        const double now = platform.PaceMilliseconds();
        if (!started) {
            origin = now;
            started = true;
        }
        return origin + (std::floor((now - origin) / period) + 1.0) * period;
    }

private:
    IPlatform& platform;
    double period;
    double origin = 0.0;
    bool started = false;
};
