#include "app/FramePacer.h"
#include "FakePlatform.h"

#include <gtest/gtest.h>

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
