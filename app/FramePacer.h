#pragma once
// The loop's pacing: sleep out the rest of the frame budget and measure the
// frame rate over windows of at least 500 ms of frame start times.
//
// Catching up: every movement in the game counts frames, so a machine that
// cannot draw a frame in 16 ms would play the whole game in slow motion.
// With catch-up on, the pacer keeps a 16 ms timeline instead; a frame that
// ends behind it is followed by frames that update but are not drawn (cheap)
// until the loop is back on time, at most kMaxUndrawn in a row so the
// picture still moves.

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
        due = frameStart;
        drawNext = true;
        undrawnInRow = 0;
    }
    uint32_t Budget() const { return 1000u / static_cast<uint32_t>(maxFps); }

    enum class Skip {
        Never,   // every frame is drawn, however long it takes
        Behind,  // frames are left undrawn while the loop is behind its timeline
        Always,  // only every (kMaxUndrawn + 1)th frame is drawn (tests)
    };
    static constexpr int kMaxUndrawn = 4;
    // A debt longer than this (a stall: a window being dragged, a machine
    // swapping) is forgiven rather than raced through.
    static constexpr uint32_t kMaxDebtMs = 100;
    void SetSkip(Skip mode) { skip = mode; }
    // Whether the coming frame's picture is to be drawn and presented.
    bool DrawNext() const { return drawNext; }

    // Returns the milliseconds slept. Reads the clock exactly once, whatever
    // it decides, so recorded runs replay in step under any skip mode.
    uint32_t SleepOutBudget() {
        const uint32_t now = platform.Milliseconds();
        const uint32_t budget = Budget();
        due += budget;
        uint32_t slept = 0;
        if (skip == Skip::Behind) {
            const int32_t ahead = static_cast<int32_t>(due - now);
            if (ahead > 0) {
                platform.Sleep(static_cast<uint32_t>(ahead));
                slept = static_cast<uint32_t>(ahead);
            } else if (static_cast<uint32_t>(-ahead) > kMaxDebtMs) {
                due = now - kMaxDebtMs;
            }
            ChooseNextDraw(ahead > 0);
            return slept;
        }
        const uint32_t elapsed = now - frameStart;
        if (elapsed < budget) {
            platform.Sleep(budget - elapsed);
            slept = budget - elapsed;
        }
        ChooseNextDraw(skip == Skip::Never);
        return slept;
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
    void ChooseNextDraw(bool onTime) {
        drawNext = onTime || undrawnInRow >= kMaxUndrawn;
        undrawnInRow = drawNext ? 0 : undrawnInRow + 1;
    }

    IPlatform& platform;
    int maxFps;
    Skip skip = Skip::Never;
    uint32_t due = 0;  // when the next frame should start on the timeline
    bool drawNext = true;
    int undrawnInRow = 0;
};
