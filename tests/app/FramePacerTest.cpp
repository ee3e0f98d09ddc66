#include "app/FramePacer.h"
#include "FakePlatform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {
struct Pass {
    int updates = 0;
    float fraction = 0.0f;
    double start = 0.0;
};

// Runs passes through a pacer on the fake pace clock: each picture costs
// work(pass) ms to make, then the pacer waits, running the updates that fall
// due meanwhile (each at its time, recorded in updateTimes). Returns, for
// each picture, the updates run since the last one and its fraction.
template <class Work>
std::vector<Pass> RunPasses(FakePlatform& clock, FramePacer& pacer, int passes, Work work,
                            std::vector<double>* updateTimes = nullptr) {
    std::vector<Pass> out;
    int sincePicture = 0;
    auto update = [&]() {
        ++sincePicture;
        if (updateTimes) updateTimes->push_back(clock.paceNow);
        return true;
    };
    pacer.Start();
    pacer.BeginLoop();
    for (int i = 0; i < passes; ++i) {
        Pass pass;
        pass.start = clock.paceNow;
        const int due = pacer.UpdatesDue();
        for (int u = 0; u < due; ++u) update();
        pass.updates = sincePicture;
        sincePicture = 0;
        pass.fraction = pacer.Fraction();
        out.push_back(pass);
        clock.paceNow += work(i, pass.updates);
        pacer.WaitForNextPicture(update);
        pacer.CountPicture();
    }
    return out;
}

int TotalUpdates(const std::vector<Pass>& passes) {
    int total = 0;
    for (const Pass& p : passes) total += p.updates;
    return total;
}
}  // namespace

TEST(FramePacer, OneUpdatePerPictureSleepsOutTheSixteenMillisecondBudget) {
    FakePlatform clock;
    FramePacer pacer(clock, 60);
    EXPECT_EQ(pacer.Budget(), 16u);  // integer division, not 16.67
    // Never (the virtual clock, uncapped, --frame-skip off): one update and its
    // own picture per pass; a 5 ms pass sleeps 11, a slow one not at all.
    const std::vector<Pass> passes =
        RunPasses(clock, pacer, 3, [](int i, int) { return i == 0 ? 5.0 : i == 1 ? 16.0 : 40.0; });
    for (const Pass& p : passes) {
        EXPECT_EQ(p.updates, 1);
        EXPECT_EQ(p.fraction, 1.0f);
    }
    EXPECT_EQ(clock.paceSleeps, std::vector<double>{11.0});
    // The game's own clock is never read for pacing: recordings replay in step.
    EXPECT_EQ(clock.reads, 0);
}

TEST(FramePacer, IdleGameMeasuresAboutSixtyTwoFps) {
    FakePlatform clock;
    FramePacer pacer(clock, 60);
    RunPasses(clock, pacer, 200, [](int, int) { return 2.0; });
    EXPECT_EQ(pacer.fps, 62);
}

TEST(FramePacer, PicturesFollowTheDisplayAndShowTheClocksTimeBetweenUpdates) {
    for (double hz : {60.0, 144.0}) {
        FakePlatform clock;
        clock.paceNow = 1000.25;
        FramePacer pacer(clock, 60);
        pacer.SetSkip(FramePacer::Skip::Behind);
        pacer.SetDisplayPeriod(1000.0 / hz);
        // Quick pictures: the pacer sleeps to each refresh.
        const int passes = static_cast<int>(hz * 4);
        std::vector<double> updateTimes;
        const std::vector<Pass> run = RunPasses(clock, pacer, passes, [](int, int) { return 2.0; }, &updateTimes);
        // Every update runs when its step comes, not when a picture happens to;
        // one that falls due while a picture is made (2 ms) waits for it.
        for (size_t u = 1; u < updateTimes.size(); ++u)
            EXPECT_NEAR(updateTimes[u] - updateTimes[u - 1], 16.0, 2.01) << hz << " update " << u;
        // 62.5 updates a second whatever the display: at 60 Hz one picture in
        // 25 follows two updates, at 144 Hz some follow none.
        const double seconds = (clock.paceNow - 1000.25) / 1000.0;
        EXPECT_NEAR(TotalUpdates(run) / seconds, 62.5, 62.5 * 0.01) << hz;
        const long long twos = std::count_if(run.begin(), run.end(), [](const Pass& p) { return p.updates == 2; });
        for (const Pass& p : run) EXPECT_LE(p.updates, 2) << hz;
        if (hz == 60.0) EXPECT_NEAR(twos, passes / 25, 2);
        else EXPECT_EQ(twos, 0);
        // The time shown, (updates before the step + fraction) x 16 ms, moves
        // on exactly as far as the time between pictures.
        int updates = 0;
        double lastShown = -1.0;
        for (size_t i = 0; i < run.size(); ++i) {
            updates += run[i].updates;
            const double shown = (updates - 1 + run[i].fraction) * 16.0;
            if (i > 1) EXPECT_NEAR(shown - lastShown, run[i].start - run[i - 1].start, 0.01) << hz << " " << i;
            lastShown = shown;
        }
        EXPECT_NEAR(pacer.fps, hz, 2.0);
    }
    // Pictures that take 10 ms at 144 Hz are seen every second refresh: timed
    // for it, the time shown still moves on as the pictures are seen.
    FakePlatform clock;
    FramePacer pacer(clock, 60);
    pacer.SetSkip(FramePacer::Skip::Behind);
    pacer.SetDisplayPeriod(1000.0 / 144.0);
    pacer.SetPictureCost(10.0);
    const std::vector<Pass> run = RunPasses(clock, pacer, 300, [](int, int) { return 10.0; });
    int updates = 0;
    double lastShown = 0.0;
    for (size_t i = 0; i < run.size(); ++i) {
        updates += run[i].updates;
        const double shown = (updates - 1 + run[i].fraction) * 16.0;
        if (i > 1) EXPECT_NEAR(shown - lastShown, 2000.0 / 144.0, 0.01) << i;
        lastShown = shown;
    }
    EXPECT_NEAR(pacer.fps, 72, 2);

    // A present that waits for the refresh itself returns just after it: no
    // second wait, a picture at every refresh.
    FakePlatform vsynced;
    FramePacer blocking(vsynced, 60);
    blocking.SetSkip(FramePacer::Skip::Behind);
    blocking.SetDisplayPeriod(1000.0 / 60.0);
    RunPasses(vsynced, blocking, 240, [&](int, int) {
        const double next = std::ceil((vsynced.paceNow + 1.0) / (1000.0 / 60.0)) * (1000.0 / 60.0);
        return next + 0.2 - vsynced.paceNow;
    });
    EXPECT_NEAR(blocking.fps, 60, 1);
}

TEST(FramePacer, SlowPicturesAreCaughtUpWithSeveralUpdatesAndTheGameKeepsItsPace) {
    FakePlatform clock;
    FramePacer pacer(clock, 60);
    pacer.SetSkip(FramePacer::Skip::Behind);
    // A picture costs 45 ms, as llvmpipe at 1280 x 720: about three updates each.
    const std::vector<Pass> run = RunPasses(clock, pacer, 200, [](int, int) { return 45.0; });
    const double seconds = clock.paceNow / 1000.0;
    EXPECT_NEAR(TotalUpdates(run) / seconds, 62.5, 1.0);
    EXPECT_EQ(run[0].updates, 1);
    EXPECT_GE(run[1].updates, 2) << "the pass after an overrun catches up";
}

TEST(FramePacer, PictureMovesAtLeastEveryFifthUpdateAndAStallIsForgiven) {
    FakePlatform clock;
    FramePacer pacer(clock, 60);
    pacer.SetSkip(FramePacer::Skip::Behind);
    // Pictures slower than five steps: the loop can never catch up.
    std::vector<Pass> run = RunPasses(clock, pacer, 100, [](int, int) { return 120.0; });
    for (const Pass& p : run) EXPECT_LE(p.updates, FramePacer::kMaxUpdatesInRow);

    // A one-off stall of 2 s: afterwards the game is back on time within a
    // few passes instead of racing through two seconds of updates.
    FakePlatform clock2;
    FramePacer pacer2(clock2, 60);
    pacer2.SetSkip(FramePacer::Skip::Behind);
    run = RunPasses(clock2, pacer2, 60, [](int pass, int) { return pass == 10 ? 2000.0 : 2.0; });
    EXPECT_EQ(run[11].updates, FramePacer::kMaxUpdatesInRow);
    // All but the forgiven part of the stall is made up, no more.
    const double played = clock2.paceNow - 2000.0 + FramePacer::kMaxDebtMs;
    EXPECT_NEAR(TotalUpdates(run), played / 16.0, 2.0);
    EXPECT_TRUE(std::all_of(run.begin() + 20, run.end(), [](const Pass& p) { return p.updates <= 2; }));
}

TEST(FramePacer, AlwaysRunsFiveUpdatesPerPictureAndNoModeReadsTheGameClock) {
    FakePlatform clock;
    FramePacer always(clock, 60);
    always.SetSkip(FramePacer::Skip::Always);
    const std::vector<Pass> run = RunPasses(clock, always, 4, [](int, int) { return 1.0; });
    for (const Pass& p : run) {
        EXPECT_EQ(p.updates, 5);
        EXPECT_EQ(p.fraction, 1.0f);
    }
    for (FramePacer::Skip mode : {FramePacer::Skip::Never, FramePacer::Skip::Behind, FramePacer::Skip::Always}) {
        FakePlatform counting;
        FramePacer pacer(counting, 60);
        pacer.SetSkip(mode);
        pacer.BeginLoop();
        for (double work : {5.0, 45.0, 1.0, 1.0, 30.0}) {
            const int before = counting.paceReads;
            pacer.UpdatesDue();
            counting.paceNow += work;
            pacer.WaitForNextPicture([] { return true; });
            EXPECT_GE(counting.paceReads - before, 2);
        }
        EXPECT_EQ(counting.reads, 0);
    }
}
