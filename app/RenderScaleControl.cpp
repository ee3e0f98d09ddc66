#include "app/RenderScaleControl.h"

#include <algorithm>

namespace {
// A step up needs this much of the period left free, so the scale does not
// swing between two steps on a machine at the edge.
constexpr double kUpHeadroom = 0.8;
constexpr int kSettlePictures = 3;
constexpr int kMaxUpHold = 64;
}  // namespace

float RenderScaleControl::Picture(double costMs) {
    if (skipNext > 0) {
        --skipNext;
        return scale;
    }
    total += costMs;
    if (++count < kWindow) return scale;
    const double mean = total / count;
    total = 0.0;
    count = 0;
    if (upHeldFor > 0) --upHeldFor;

    if (mean > period && scale > kMin) {
        scale = std::max(kMin, scale - kStep);
        // A step up that did not hold waits longer before the next try.
        if (lastWasUp) upHoldAfterDown = std::min(kMaxUpHold, upHoldAfterDown * 2);
        upHeldFor = upHoldAfterDown;
        lastWasUp = false;
        skipNext = kSettlePictures;
    } else if (scale < kMax && upHeldFor == 0) {
        // Most of the cost grows with the pixels drawn.
        const double ratio = (scale + kStep) / scale;
        if (mean * ratio * ratio < kUpHeadroom * period) {
            scale = std::min(kMax, scale + kStep);
            lastWasUp = true;
            skipNext = kSettlePictures;
        }
    }
    return scale;
}
