#include "FakePlatform.h"
#include "scene/RaceTimer.h"

#include <gtest/gtest.h>

namespace {
class RaceTimerTest : public ::testing::Test {
protected:
    void SetUp() override { SetPlatform(&platform); }
    void TearDown() override { SetPlatform(nullptr); }
    // Updates every 16 ms until the countdown reaches the value.
    int RunTo(RaceTimer& timer, int countdown) {
        int frames = 0;
        while (timer.countdown != countdown && frames < 100000) {
            platform.now += 16;
            timer.Update();
            ++frames;
        }
        return frames;
    }
    FakePlatform platform;
};
}  // namespace

TEST_F(RaceTimerTest, CountsDownOncePerSecondWithoutCatchingUp) {
    platform.now = 5000;
    RaceTimer timer(nullptr);
    std::vector<uint32_t> ticks;
    int last = timer.countdown;
    for (int frame = 0; frame < 300; ++frame) {
        platform.now += 16;
        timer.Update();
        if (timer.countdown != last) ticks.push_back(platform.now);
        last = timer.countdown;
    }
    ASSERT_GE(ticks.size(), 4u);
    EXPECT_EQ(ticks[0], 5000u + 1008u);  // the first 16 ms step at or past a second
    for (size_t i = 1; i < ticks.size(); ++i) EXPECT_GE(ticks[i] - ticks[i - 1], 1000u);
    EXPECT_EQ(timer.time, 0);  // the clock waits for the countdown

    // A stall of several seconds gives one tick, not several.
    const int before = timer.countdown;
    platform.now += 5000;
    timer.Update();
    EXPECT_EQ(timer.countdown, before - 1);
    platform.now += 16;
    timer.Update();
    EXPECT_EQ(timer.countdown, before - 1);
}

TEST_F(RaceTimerTest, GlyphFadesToFloorDuringCountdownAndOutAfterStart) {
    RaceTimer timer(nullptr);
    RunTo(timer, 3);
    EXPECT_FLOAT_EQ(timer.countAlpha, 0.99f);
    for (int i = 0; i < 61; ++i) {
        platform.now += 1;  // no tick
        timer.Update();
    }
    EXPECT_FLOAT_EQ(timer.countAlpha, 0.4f);
    RunTo(timer, 0);
    int frames = 0;
    while (timer.countAlpha > 0.0f && frames < 1000) {
        platform.now += 16;
        timer.Update();
        ++frames;
    }
    EXPECT_NEAR(frames, 99, 1);  // 1.0 to 0 at 0.01 a frame after the last tick
    EXPECT_EQ(timer.countAlpha, 0.0f);
}

TEST_F(RaceTimerTest, ClockSkipsTheCountdownInTheFirstMinuteThenWrapsAndCaps) {
    RaceTimer timer(nullptr);
    RunTo(timer, 0);
    platform.now += 16;
    timer.Update();
    // Seven ticks of at least a second: the clock starts near 0.
    EXPECT_GE(timer.time, 0);
    EXPECT_LT(timer.time, 200);

    timer.startTime = platform.now - 7000 - 60001;
    timer.Update();
    EXPECT_EQ(timer.minutes, 1);
    EXPECT_EQ(timer.time, 60001);  // kept until the next update
    platform.now += 16;
    timer.Update();
    EXPECT_EQ(timer.time, 16);  // no 7 s taken off after the first minute

    for (int m = 2; m <= 9; ++m) {
        timer.startTime = platform.now - 60001;
        timer.Update();
        EXPECT_EQ(timer.minutes, m);
        EXPECT_FALSE(timer.capped);
    }
    timer.startTime = platform.now - 60001;
    timer.Update();
    EXPECT_EQ(timer.minutes, 9);
    EXPECT_TRUE(timer.capped);
    platform.now += 100000;
    timer.Update();
    EXPECT_EQ(timer.minutes, 9);
    EXPECT_EQ(timer.time, 59999);
}

TEST_F(RaceTimerTest, RestartAndShiftMoveTheReferences) {
    platform.now = 1000;
    RaceTimer timer(nullptr);
    platform.now = 61000;  // a minute on the title screen
    timer.Restart();
    platform.now += 16;
    timer.Update();
    EXPECT_EQ(timer.countdown, 7);  // no tick owed for the title screen
    RunTo(timer, 0);
    platform.now += 16;
    timer.Update();
    timer.Shift(3000);  // a pause of three seconds
    const int before = timer.time;
    platform.now += 3000;
    timer.Update();
    EXPECT_EQ(timer.time, before);
}
