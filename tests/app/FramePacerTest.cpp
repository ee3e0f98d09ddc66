#include "app/FramePacer.h"
#include "FakePlatform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

TEST(FramePacer, SleepsOutTheSixteenMillisecondBudget) {
    FakePlatform clock;
    FramePacer pacer(clock, 60);
    EXPECT_EQ(pacer.Budget(), 16u);  // integer division, not 16.67
    pacer.Start();
    pacer.BeginLoop();

    clock.now += 5;  // a 5 ms frame sleeps 11 ms
    EXPECT_EQ(pacer.SleepOutBudget(), 11u);
    pacer.CountFrame();
    pacer.NextFrame();

    clock.now += 16;  // a 16 ms frame sleeps not at all
    EXPECT_EQ(pacer.SleepOutBudget(), 0u);
    pacer.NextFrame();
    clock.now += 40;  // a slow frame gets no catch-up either
    EXPECT_EQ(pacer.SleepOutBudget(), 0u);
    EXPECT_EQ(clock.sleeps, std::vector<uint32_t>{11});
}

TEST(FramePacer, BudgetHoldsAcrossClockWrap) {
    FakePlatform clock;
    clock.now = 0xFFFFFFFCu;
    FramePacer pacer(clock, 60);
    pacer.Start();
    pacer.BeginLoop();
    clock.now += 6;  // wraps past zero
    EXPECT_EQ(pacer.SleepOutBudget(), 10u);
}

TEST(FramePacer, IdleGameMeasuresAboutSixtyTwoFps) {
    FakePlatform clock;
    FramePacer pacer(clock, 60);
    pacer.Start();
    pacer.BeginLoop();
    std::vector<int> reported;
    for (int frame = 0; frame < 200; ++frame) {
        clock.now += 2;
        pacer.SleepOutBudget();
        const int before = pacer.fps;
        pacer.CountFrame();
        if (pacer.fps != before || frame == 32) reported.push_back(pacer.fps);
        pacer.NextFrame();
    }
    ASSERT_FALSE(reported.empty());
    EXPECT_EQ(pacer.fps, 62);
}

TEST(FramePacer, FpsWindowUsesFrameStartTimes) {
    FakePlatform clock;
    FramePacer pacer(clock, 60);
    pacer.Start();  // t = 0
    clock.now = 100;  // the scene took 100 ms to load
    pacer.BeginLoop();
    // Frames start at 100, 200, ..., each 100 ms long.
    int frames = 0;
    while (pacer.fps == 0) {
        clock.now += 100;
        pacer.SleepOutBudget();
        pacer.CountFrame();
        ++frames;
        pacer.NextFrame();
        ASSERT_LT(frames, 20);
    }
    // The frame that started at 500 closes the window: 5 frames over 500 ms.
    EXPECT_EQ(frames, 5);
    EXPECT_EQ(pacer.fps, 10);
    EXPECT_EQ(pacer.fpsStart, 500u);
    EXPECT_EQ(pacer.frameCount, 0u);
}

namespace {
// Runs frames whose work takes work(frame) ms through a pacer; returns for
// each frame whether it was drawn.
template <class Work>
std::vector<bool> RunFrames(FakePlatform& clock, FramePacer& pacer, int frames, Work work) {
    std::vector<bool> drawn;
    pacer.Start();
    pacer.BeginLoop();
    for (int frame = 0; frame < frames; ++frame) {
        const bool draw = pacer.DrawNext();
        drawn.push_back(draw);
        clock.now += work(frame, draw);
        pacer.SleepOutBudget();
        pacer.CountFrame();
        pacer.NextFrame();
    }
    return drawn;
}
}  // namespace

TEST(FramePacer, SlowDrawingIsCaughtUpWithUndrawnFramesAndTheGameKeepsItsPace) {
    FakePlatform clock;
    FramePacer pacer(clock, 60);
    pacer.SetSkip(FramePacer::Skip::Behind);
    // Drawing costs 45 ms, an undrawn frame 1 ms: as llvmpipe at 1280 x 720.
    const int frames = 620;
    const std::vector<bool> drawn =
        RunFrames(clock, pacer, frames, [](int, bool draw) { return draw ? 45u : 1u; });
    // 62 updates a second: the frames take their 16 ms each, give or take one.
    EXPECT_NEAR(static_cast<double>(clock.now), frames * 16.0, 16.0);
    EXPECT_GE(pacer.fps, 61);
    const long long shown = std::count(drawn.begin(), drawn.end(), true);
    EXPECT_GT(shown, frames / 4);  // about every third frame: 45 ms of each 48
    EXPECT_LT(shown, frames / 2);
    EXPECT_TRUE(drawn[0]);
    EXPECT_FALSE(drawn[1]) << "the frame after an overrun catches up";
}

TEST(FramePacer, PictureMovesAtLeastEveryFifthFrameAndAStallIsForgiven) {
    FakePlatform clock;
    FramePacer pacer(clock, 60);
    pacer.SetSkip(FramePacer::Skip::Behind);
    // Drawing slower than five budgets: the loop can never catch up.
    std::vector<bool> drawn = RunFrames(clock, pacer, 100, [](int, bool draw) { return draw ? 120u : 1u; });
    int run = 0;
    for (bool d : drawn) {
        run = d ? 0 : run + 1;
        EXPECT_LE(run, FramePacer::kMaxUndrawn);
    }
    // A one-off stall of 2 s: afterwards the game is back on time within a
    // few frames instead of racing through two seconds of undrawn frames.
    FakePlatform clock2;
    FramePacer pacer2(clock2, 60);
    pacer2.SetSkip(FramePacer::Skip::Behind);
    drawn = RunFrames(clock2, pacer2, 40, [](int frame, bool) { return frame == 10 ? 2000u : 2u; });
    EXPECT_FALSE(drawn[11]);
    EXPECT_TRUE(std::all_of(drawn.begin() + 20, drawn.end(), [](bool d) { return d; }));
}

TEST(FramePacer, OtherModesDrawAsToldAndEveryModeReadsTheClockOnce) {
    // Never: every frame drawn however slow; Always: every fifth.
    FakePlatform clock;
    FramePacer never(clock, 60);
    std::vector<bool> drawn = RunFrames(clock, never, 20, [](int, bool) { return 45u; });
    EXPECT_TRUE(std::all_of(drawn.begin(), drawn.end(), [](bool d) { return d; }));
    FramePacer always(clock, 60);
    always.SetSkip(FramePacer::Skip::Always);
    drawn = RunFrames(clock, always, 10, [](int, bool) { return 1u; });
    EXPECT_EQ(drawn, (std::vector<bool>{true, false, false, false, false, true, false, false, false, false}));

    // A recorded run replays its clock readings one by one: the pacer must
    // take the same number whatever it decides.
    for (FramePacer::Skip mode : {FramePacer::Skip::Never, FramePacer::Skip::Behind, FramePacer::Skip::Always}) {
        FakePlatform counting;
        FramePacer pacer(counting, 60);
        pacer.SetSkip(mode);
        pacer.BeginLoop();
        for (uint32_t work : {5u, 45u, 1u, 1u, 30u}) {
            counting.now += work;
            const int before = counting.reads;
            pacer.SleepOutBudget();
            EXPECT_EQ(counting.reads - before, 1);
        }
    }
}
