// The records on screen, read back from real rendering: the best time under
// the clock, the lap split in green or red, the lap times and NEW RECORD on
// the result screen, and the ghost bike, which is see-through and drawn only
// while shown.

#include "GameFixture.h"

#include "bike/Player.h"
#include "profile/PlayerRecords.h"
#include "scene/RaceTimer.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {
struct Box {
    int x0 = 1 << 30, y0 = 1 << 30, x1 = -1, y1 = -1;
    bool Empty() const { return x1 < 0; }
};

class RecordsScreen : public GameFixture {
protected:
    void StartRace() {
        Press(Key::Enter);
        Step();
        Release(Key::Enter);
        ASSERT_EQ(game->mode, 0);
    }
    std::vector<uint8_t> ReadBack() {
        std::vector<uint8_t> rgba;
        int w = 0, h = 0;
        EXPECT_TRUE(AxDirect3D::GetInstance().ReadBackBuffer(rgba, w, h));
        EXPECT_EQ(w, kWidth);
        return rgba;
    }
    // The race HUD alone over a plain clear.
    std::vector<uint8_t> RenderHud() {
        AxDirect3D& device = AxDirect3D::GetInstance();
        device.SetSubmitEnabled(true);
        device.ClearBackBuffer(0.4f, 0.4f, 0.4f, 1.0f);  // grey, so colours tell
        device.ClearDepthStencil(1.0f, 0);
        game->DrawRaceHUD();
        auto rgba = ReadBack();
        device.SetSubmitEnabled(false);
        return rgba;
    }
    // A whole frame, the race standing still.
    std::vector<uint8_t> RenderFrame() {
        AxDirect3D& device = AxDirect3D::GetInstance();
        device.SetSubmitEnabled(true);
        game->paused = true;
        game->Frame();
        game->paused = false;
        auto rgba = ReadBack();
        device.SetSubmitEnabled(false);
        return rgba;
    }
    // Where two pictures differ, and the summed colour of the differing pixels in b.
    static Box Diff(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b, long long sum[3] = nullptr) {
        Box box;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                const size_t i = (static_cast<size_t>(y) * kWidth + x) * 4;
                int d = 0;
                for (int c = 0; c < 3; ++c) d = std::max(d, std::abs(int(a[i + c]) - int(b[i + c])));
                if (d <= 8) continue;
                box.x0 = std::min(box.x0, x), box.y0 = std::min(box.y0, y);
                box.x1 = std::max(box.x1, x), box.y1 = std::max(box.y1, y);
                if (sum)
                    for (int c = 0; c < 3; ++c) sum[c] += b[i + c];
            }
        return box;
    }
    static void ExpectWithin(const Box& box, int x0, int y0, int x1, int y1, const char* what) {
        ASSERT_FALSE(box.Empty()) << what << " not drawn";
        EXPECT_GE(box.x0, x0) << what;
        EXPECT_GE(box.y0, y0) << what;
        EXPECT_LE(box.x1, x1) << what;
        EXPECT_LE(box.y1, y1) << what;
    }
};
}  // namespace

TEST_F(RecordsScreen, TheRaceShowsTheBestTimeUnderTheClockAndTheSplitInItsColour) {
    StartRace();
    const auto plain = RenderHud();
    game->records->records.best = RecordEntry{61234, "2026-12-08", {}};
    // Label at (-510, 210) and its digits, half size: under the clock and the lap.
    ExpectWithin(Diff(plain, RenderHud()), 640 - 510 - 110, 360 - 210 - 22, 640 - 330 + 1, 360 - 210 + 22, "best");
    game->records->records.best.reset();

    game->records->splitKnown = true;
    game->records->splitFramesLeft = 60;
    long long faster[3] = {0, 0, 0}, slower[3] = {0, 0, 0};
    game->records->lastSplitMs = -1234;
    const Box fasterBox = Diff(plain, RenderHud(), faster);
    ExpectWithin(fasterBox, 640 - 180, 360 - 230 - 30, 640 + 180, 360 - 230 + 30, "split");
    game->records->lastSplitMs = 512;
    Diff(plain, RenderHud(), slower);
    // Outlines and shadows are dark in both: the green to red balance tells.
    const double fasterGreen = double(faster[1]) / double(faster[0]), slowerGreen = double(slower[1]) / double(slower[0]);
    EXPECT_GT(fasterGreen, 1.0) << "a faster lap is green";
    EXPECT_LT(slowerGreen, 1.0) << "a slower lap is red";
    EXPECT_GT(fasterGreen, slowerGreen * 1.3);
    // Its two seconds over, it is gone.
    game->records->splitFramesLeft = 0;
    EXPECT_TRUE(Diff(plain, RenderHud()).Empty());
}

TEST_F(RecordsScreen, TheResultShowsTheLapTimesAndNewRecord) {
    StartRace();
    game->player->lap = 4;
    const auto plain = RenderHud();
    game->records->lapTimes = {17864, 18001, 19999};
    ExpectWithin(Diff(plain, RenderHud()), 640 - 500 - 110, 360 - 60 - 22, 640 - 500 + 181, 360 + 30 + 22, "lap times");
    game->records->lapTimes.clear();
    game->records->newRecord = true;
    ExpectWithin(Diff(plain, RenderHud()), 320, 360 + 180 - 55, 960, 360 + 180 + 55, "new record");
}

TEST_F(RecordsScreen, TheGhostIsDrawnSeeThroughWhereItsLineIsAndOnlyWhileShown) {
    // A line whose grid pose stands a little beyond the player's bike, as the camera sees it.
    const fs::path folder = fs::temp_directory_path() / ("vorlan-ghost-draw-" + std::to_string(getpid()));
    fs::create_directories(folder);
    std::ofstream(folder / "ghost.txt") << "vorlan-moto ghost 1\ntime 5000\nstart 1.5 0.2 -6 0 0\nframes 1\n"
                                           "1.2 0.2 2.5 0 0\nend\n";
    std::ofstream(folder / "records.txt") << "vorlan-moto records 1\nbest 5000 2026-12-08\nend\n";
    game->records->Load(folder.string());
    fs::remove_all(folder);
    ASSERT_TRUE(game->records->GhostNow());
    StartRace();
    game->records->SetGhostShown(false);
    const auto hidden = RenderFrame();
    game->records->SetGhostShown(true);
    const auto shown = RenderFrame();
    const Box ghost = Diff(hidden, shown);
    // Beside the player's bike, below the horizon.
    ExpectWithin(ghost, 0, 200, 1279, 719, "ghost");
    EXPECT_LT(ghost.x1 - ghost.x0, 500);
    // See-through: the picture behind it still tells in its pixels, so the
    // ghost over two different skies differs too.
    ASSERT_FALSE(ghost.Empty());
    const int cx = (ghost.x0 + ghost.x1) / 2, cy = (ghost.y0 + ghost.y1) / 2;
    bool anyBlend = false;
    for (int y = std::max(ghost.y0, cy - 10); y <= std::min(ghost.y1, cy + 10); ++y)
        for (int x = std::max(ghost.x0, cx - 10); x <= std::min(ghost.x1, cx + 10); ++x) {
            const size_t i = (static_cast<size_t>(y) * kWidth + x) * 4;
            int d = 0;
            for (int c = 0; c < 3; ++c) d = std::max(d, std::abs(int(shown[i + c]) - int(hidden[i + c])));
            // Neither the background nor gone from it: a blend.
            anyBlend |= d > 8 && shown[i] + shown[i + 1] + shown[i + 2] > 30;
        }
    EXPECT_TRUE(anyBlend);
    // Hidden is exactly the picture without a ghost (and the same records).
    const fs::path none = fs::temp_directory_path() / ("vorlan-no-ghost-" + std::to_string(getpid()));
    fs::create_directories(none);
    std::ofstream(none / "records.txt") << "vorlan-moto records 1\nbest 5000 2026-12-08\nend\n";
    game->records->Load(none.string());
    fs::remove_all(none);
    ASSERT_FALSE(game->records->GhostNow());
    EXPECT_TRUE(Diff(hidden, RenderFrame()).Empty());
}
