#include "app/RenderScaleControl.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {
// A machine whose picture costs fixed + pixels x scale squared ms.
float Drive(RenderScaleControl& control, int pictures, double fixedMs, double pixelMs, float* lowest = nullptr) {
    float scale = control.Scale();
    for (int i = 0; i < pictures; ++i) {
        scale = control.Picture(fixedMs + pixelMs * scale * scale);
        if (lowest) *lowest = std::min(*lowest, scale);
    }
    return scale;
}
}  // namespace

// A machine that draws in time stays at full size; one that cannot steps
// down until pictures fit the refresh, never below half size, and climbs
// back when there is room, without swinging between two steps.
TEST(RenderScaleControl, FollowsWhatTheMachineCanDraw) {
    const double period = 1000.0 / 60.0;
    RenderScaleControl fast(period);
    EXPECT_EQ(Drive(fast, 600, 2.0, 8.0), 1.0f);

    // llvmpipe: 24 ms at full size, most of it pixels.
    RenderScaleControl slow(period);
    float lowest = 1.0f;
    const float settled = Drive(slow, 600, 4.0, 20.0, &lowest);
    EXPECT_LT(settled, 1.0f);
    EXPECT_GE(settled, RenderScaleControl::kMin);
    EXPECT_LE(4.0 + 20.0 * settled * settled, period) << "pictures fit the refresh";
    // Settled: another minute changes the scale at most for a few tries up.
    int changes = 0;
    float last = settled;
    for (int i = 0; i < 3600; ++i) {
        const float s = slow.Picture(4.0 + 20.0 * last * last);
        changes += s != last;
        last = s;
    }
    EXPECT_LE(changes, 6);

    // Hopeless: half size and no smaller.
    RenderScaleControl hopeless(period);
    EXPECT_EQ(Drive(hopeless, 600, 40.0, 40.0), RenderScaleControl::kMin);

    // The load goes away: back to full size.
    EXPECT_EQ(Drive(slow, 3000, 1.0, 5.0), 1.0f);
}
