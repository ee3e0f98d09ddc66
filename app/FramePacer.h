#pragma once
// The loop's pacing: sleep out the rest of the frame budget and measure the
// frame rate over windows of at least 500 ms of frame start times.

#include "framework/platform/Platform.h"

#include <cstdint>

class FramePacer {
public:
    static constexpr uint32_t kFpsWindowMs = 500;

    FramePacer(IPlatform& platform, int maxFps) : platform(platform), maxFps(maxFps) {}

    // Before the scene is made: the fps window opens.
    void Start() { fpsStart = platform.Milliseconds(); }
    // Just before the first frame.
    void BeginLoop() {
        frameCount = 0;
        frameStart = platform.Milliseconds();
    }
    uint32_t Budget() const { return 1000u / static_cast<uint32_t>(maxFps); }
    // Returns the milliseconds slept.
    uint32_t SleepOutBudget() {
        const uint32_t elapsed = platform.Milliseconds() - frameStart;
        const uint32_t budget = Budget();
        if (elapsed >= budget) return 0;
        platform.Sleep(budget - elapsed);
        return budget - elapsed;
    }
    // Counts the frame and, once the window is long enough, recomputes fps
    // from the start time of the frame just finished.
    void CountFrame() {
        ++frameCount;
        const uint32_t window = frameStart - fpsStart;
        if (window >= kFpsWindowMs) {
            fps = static_cast<int>(frameCount * 1000u / window);
            fpsStart = frameStart;
            frameCount = 0;
        }
    }
    void NextFrame() { frameStart = platform.Milliseconds(); }

    int fps = 0;
    uint32_t frameStart = 0;
    uint32_t fpsStart = 0;
    uint32_t frameCount = 0;

private:
    IPlatform& platform;
    int maxFps;
};
