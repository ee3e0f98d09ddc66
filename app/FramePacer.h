#pragma once
// The loop's pacing. The game updates in fixed 16 ms steps on a timeline
// kept by the clock; pictures follow the display. Each pass of the loop runs
// the updates the clock has reached (none, one or more), then draws one
// picture at the share of the next step the clock has got to, then waits for
// the display (or, where presenting does not wait, sleeps to the next
// refresh). While it waits, updates that fall due run on time, so each
// update reads the race clock when its step comes, as it did when every
// update had its own picture.
//
// Catching up: a machine that cannot draw in time runs several updates
// before a picture, at most kMaxUpdatesInRow so the picture still moves; a
// debt longer than kMaxDebtMs (a stall: a window dragged, a machine swapping)
// is forgiven rather than raced through.
//
// Only the pace clock is read here, never the game's: which passes ran and
// how many updates each took changes nothing in the race, so a recording
// replays the same however its pictures fall.

#include "framework/platform/Platform.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

class FramePacer {
public:
    static constexpr double kFpsWindowMs = 500.0;
    static constexpr int kMaxUpdatesInRow = 5;
    static constexpr double kMaxDebtMs = 100.0;

    FramePacer(IPlatform& platform, int maxFps) : platform(platform), maxFps(maxFps) {}

    uint32_t Budget() const { return 1000u / static_cast<uint32_t>(maxFps); }

    enum class Skip {
        Never,   // one update and its picture per pass, the budget slept out (the
                 // virtual clock, uncapped runs, --frame-skip off)
        Behind,  // updates as the clock calls for them, pictures at the display's pace
        Always,  // five updates per picture (tests)
    };
    void SetSkip(Skip mode) { skip = mode; }
    // The refresh period the pictures are paced to.
    void SetDisplayPeriod(double ms) { period = ms > 0.0 ? ms : 1000.0 / 60.0; }
    double DisplayPeriod() const { return period; }

    // Before the scene is made: the fps window opens.
    void Start() { fpsStart = platform.PaceMilliseconds(); }
    // Just before the first pass: the first update is due at once.
    void BeginLoop() {
        pictures = 0;
        due = platform.PaceMilliseconds();
        pictureTime = passTime = due;
        havePicture = false;
    }

    // At the start of a pass: how many updates to run now. Reads the pace clock once.
    int UpdatesDue() {
        const double now = platform.PaceMilliseconds();
        passStart = now;
        if (skip != Skip::Behind) {
            fraction = 1.0f;
            return skip == Skip::Always ? kMaxUpdatesInRow : 1;
        }
        // Passes start on the display's refreshes: each is timed a whole number
        // of refreshes after the last (the clock's own jitter would otherwise
        // show as uneven motion), drawn gently towards the clock.
        if (havePicture) {
            const double refreshes = std::max(1.0, std::round((now - passTime) / period));
            const double expected = passTime + refreshes * period;
            passTime = expected + kFollow * (now - expected);
        } else {
            passTime = now;
        }
        havePicture = true;
        // The picture is seen at the first refresh after it is made. One that
        // takes longer than a refresh is timed for the refresh it will be seen
        // at, running the updates that needs a little early, so the time shown
        // moves on as the pictures are seen.
        const double step = Budget();
        const double refreshesToShow = std::max(1.0, std::ceil((pictureCost + kCostMargin) / period));
        pictureTime = passTime + (refreshesToShow - 1.0) * period;
        if (pictureTime - due > kMaxDebtMs) due = pictureTime - kMaxDebtMs;
        int count = 0;
        while (pictureTime >= due && waitUpdates + count < kMaxUpdatesInRow) {
            due += step;
            ++count;
        }
        waitUpdates = 0;
        const double into = (pictureTime - (due - step)) / step;
        fraction = static_cast<float>(into < 0.0 ? 0.0 : into > 1.0 ? 1.0 : into);
        return count;
    }
    // How far into the step after the last update the coming picture stands (0 to 1).
    float Fraction() const { return fraction; }

    // After the picture: waits for the next one's turn where presenting did
    // not, running the updates that fall due meanwhile through runUpdate
    // (false from it ends the wait and the run). Returns false when ended so.
    template <class RunUpdate>
    bool WaitForNextPicture(RunUpdate&& runUpdate) {
        if (skip != Skip::Behind) {
            const int updates = skip == Skip::Always ? kMaxUpdatesInRow : 1;
            const double wait =
                static_cast<double>(Budget()) * updates - (platform.PaceMilliseconds() - passStart);
            if (wait > 0.0) platform.PaceSleep(wait);
            return true;
        }
        // The next refresh after the picture was made; a present that waited
        // for the refresh itself returns just after it, which is no reason to
        // wait for another.
        const double now = platform.PaceMilliseconds();
        const double refreshes = std::max(1.0, std::ceil((now - passTime) / period - kLateShare));
        const double target = passTime + refreshes * period;
        return WaitUntil(target, runUpdate);
    }
    // How long the last picture took to make, without waiting: the next ones
    // are timed for the refresh they will be ready for. Rises at once, falls slowly.
    void SetPictureCost(double ms) { pictureCost = ms > pictureCost ? ms : pictureCost + kCostFall * (ms - pictureCost); }
    // Waits until target on the pace clock, running updates as they fall due.
    template <class RunUpdate>
    bool WaitUntil(double target, RunUpdate&& runUpdate) {
        if (skip != Skip::Behind) {
            const double wait = target - platform.PaceMilliseconds();
            if (wait > 0.0) platform.PaceSleep(wait);
            return true;
        }
        for (;;) {
            const double now = platform.PaceMilliseconds();
            if (now - due > kMaxDebtMs) due = now - kMaxDebtMs;
            if (now >= due && waitUpdates < kMaxUpdatesInRow) {
                due += Budget();
                ++waitUpdates;
                if (!runUpdate()) return false;
                continue;
            }
            if (now >= target) return true;
            platform.PaceSleep((due < target && waitUpdates < kMaxUpdatesInRow ? due : target) - now);
        }
    }

    // Counts a picture and, once the window is long enough, recomputes fps
    // from the start time of the pass just finished.
    void CountPicture() {
        ++pictures;
        const double window = passStart - fpsStart;
        if (window >= kFpsWindowMs) {
            fps = static_cast<int>(pictures * 1000.0 / window);
            fpsStart = passStart;
            pictures = 0;
        }
    }

    int fps = 0;

private:
    // How much of the clock's disagreement a paced picture time takes on.
    static constexpr double kFollow = 0.05;
    static constexpr double kCostFall = 0.05;
    static constexpr double kCostMargin = 1.0;
    static constexpr double kLateShare = 0.25;

    IPlatform& platform;
    int maxFps;
    Skip skip = Skip::Never;
    double period = 1000.0 / 60.0;
    double due = 0.0;          // when the next update is due on the timeline
    double passTime = 0.0;     // when the pass began, on the refresh grid
    double pictureTime = 0.0;  // the moment of the game the coming picture shows
    double pictureCost = 0.0;
    bool havePicture = false;
    double passStart = 0.0;
    double fpsStart = 0.0;
    long long pictures = 0;
    float fraction = 1.0f;
    int waitUpdates = 0;  // updates run while waiting since the last picture
};
