// The race scene's states over frames: title, countdown, race, result, fade
// and reload, with scripted keys on a fixed 16 ms clock.

#include "GameFixture.h"

#include "bike/Player.h"
#include "scene/RaceTimer.h"

#include <SDL2/SDL.h>

namespace {
const std::string kPress = "Data/Sound/press.wav";
const std::string kTitle = "Data/Sound/Title.WAV";
const std::string kBgm = "Data/Sound/BGM.wav";
const std::string kCount = "Data/Sound/count.wav";
const std::string kEngine = "Data/Sound/Engine/low00.WAV";

using GameFlow = GameFixture;
}  // namespace

TEST_F(GameFlow, EnterStartsTheRaceAndEverythingFollowsOnItsFrame) {
    EXPECT_TRUE(Played(Step(), kTitle));  // the title music starts with the first frame
    for (int i = 0; i < 100; ++i) Step();  // a while on the title screen
    EXPECT_EQ(game->mode, 1);
    EXPECT_EQ(game->raceTimer->countdown, 7);

    Press(Key::Enter);
    auto played = Step();
    EXPECT_EQ(game->mode, 0);
    EXPECT_TRUE(Played(played, kPress));
    EXPECT_EQ(game->startWait, 60);
    EXPECT_FALSE(enterLatch);  // the start press is not latched
    Release(Key::Enter);

    // Race frames counted from the one after the press.
    int raceFrame = 0, engineFrame = 0, countFrame = 0, countPlays = 0, bgmFrame = 0, titleStopFrame = 0;
    int firstTimeFrame = 0;
    while (raceFrame < 700) {
        played = Step();
        ++raceFrame;
        if (Played(played, kEngine) && !engineFrame) engineFrame = raceFrame;
        if (Played(played, kCount)) {
            ++countPlays;
            countFrame = raceFrame;
            EXPECT_EQ(game->raceTimer->countdown, 3);
        }
        if (Played(played, kBgm)) bgmFrame = raceFrame;
        if (game->titleVolume <= 0.0f && !titleStopFrame) titleStopFrame = raceFrame;
        if (game->raceTimer->time > 1 && !firstTimeFrame) firstTimeFrame = raceFrame;
    }
    EXPECT_EQ(engineFrame, 61);  // 60 frames of start wait, then the engine update
    EXPECT_EQ(titleStopFrame, 67);
    EXPECT_EQ(countPlays, 1);
    // Counted from Enter, not from the stage load: the count sound (4 -> 3)
    // about four seconds after the press, not in the first race frame.
    EXPECT_NEAR(countFrame * 16, 4000, 100);
    // The race music waits for the clock: it sees the time before this
    // frame's timer update, so it starts one frame after the clock moved.
    EXPECT_EQ(bgmFrame, firstTimeFrame + 1);
    EXPECT_LT(game->raceTimer->time, 5000);
}

TEST_F(GameFlow, ResultScreenFadesToAFreshTitleAndEnterMustBeReleased) {
    Step();
    Press(Key::Enter);
    Step();
    // Enter held through the whole race: the fade begins the frame the player finishes.
    for (int i = 0; i < 10; ++i) Step();
    EXPECT_FALSE(game->fadeOut);
    game->player->lap = 4;
    Step();
    EXPECT_TRUE(game->fadeOut);
    EXPECT_TRUE(enterLatch);
    int frames = 1;
    while (game->mode == 0 && frames < 100) {
        Step();
        ++frames;
    }
    EXPECT_EQ(frames, 20);  // 0.05 a frame to 1.0
    EXPECT_EQ(game->mode, 1);
    EXPECT_EQ(game->player->lap, 1u);
    EXPECT_EQ(game->player->position, Vector3(0.0f, 0.2f, -2.0f));
    EXPECT_EQ(game->raceTimer->countdown, 7);
    EXPECT_FLOAT_EQ(game->titleVolume, 0.2f);
    EXPECT_FALSE(game->bgmStarted);
    EXPECT_FALSE(game->fadeOut);

    // Still holding Enter: the title stays, fading in over 11 frames.
    int fadeFrames = 0;
    while (game->fadeAlpha > 0.0f && fadeFrames < 100) {
        Step();
        ++fadeFrames;
    }
    EXPECT_NEAR(fadeFrames, 9, 1);  // the reload frame already took the first 0.1
    for (int i = 0; i < 30; ++i) Step();
    EXPECT_EQ(game->mode, 1);

    Release(Key::Enter);
    Step();
    EXPECT_FALSE(enterLatch);
    Press(Key::Enter);
    EXPECT_TRUE(Played(Step(), kPress));
    EXPECT_EQ(game->mode, 0);
}

TEST_F(GameFlow, BlinkCyclesBetweenLimitsOnlyOnTitleAndResult) {
    float low = 1.0f, high = 0.0f;
    bool wasRising = false;
    std::vector<int> turns;
    for (int frame = 0; frame < 400; ++frame) {
        Step();
        low = std::min(low, game->blinkAlpha);
        high = std::max(high, game->blinkAlpha);
        if (game->blinkRising != wasRising && !game->blinkRising) turns.push_back(frame);
        wasRising = game->blinkRising;
    }
    EXPECT_GE(low, 0.3f - 1e-5f);
    EXPECT_LE(high, 1.0f + 1e-5f);
    ASSERT_GE(turns.size(), 2u);
    EXPECT_NEAR(turns[1] - turns[0], 141, 1);

    Press(Key::Enter);
    Step();
    const float atStart = game->blinkAlpha;
    for (int i = 0; i < 50; ++i) Step();
    EXPECT_EQ(game->blinkAlpha, atStart);  // frozen while racing
}

// A tap shorter than a frame: pressed and released between two frames' reads.
// The event pump latches the press, so the title still sees Enter.
TEST_F(GameFlow, EnterTappedBetweenTwoFramesStartsTheRace) {
    SetPlatform(nullptr);  // the real keyboard through SDL's event queue
    auto tap = [](SDL_Scancode code) {
        for (Uint32 type : {SDL_KEYDOWN, SDL_KEYUP}) {
            SDL_Event event{};
            event.type = type;
            event.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
            event.key.keysym.scancode = code;
            event.key.keysym.sym = SDL_GetKeyFromScancode(code);
            SDL_PushEvent(&event);
        }
    };
    WindowBackend::PumpEvents();
    game->Frame();
    ASSERT_EQ(game->mode, 1);

    tap(SDL_SCANCODE_RETURN);
    WindowBackend::PumpEvents();
    EXPECT_FALSE(SDL_GetKeyboardState(nullptr)[SDL_SCANCODE_RETURN]) << "already up when the frame reads it";
    EXPECT_TRUE(Platform().IsKeyDown(Key::Enter));
    game->Frame();
    EXPECT_EQ(game->mode, 0);
    // The latch lasts one frame only.
    WindowBackend::PumpEvents();
    EXPECT_FALSE(Platform().IsKeyDown(Key::Enter));

    // The keypad's Enter is Enter too; the throttle and steering taps likewise.
    tap(SDL_SCANCODE_KP_ENTER);
    tap(SDL_SCANCODE_Z);
    tap(SDL_SCANCODE_LEFT);
    WindowBackend::PumpEvents();
    EXPECT_TRUE(Platform().IsKeyDown(Key::Enter));
    EXPECT_TRUE(Platform().IsKeyDown(Key::Z));
    EXPECT_TRUE(Platform().IsKeyDown(Key::Left));
    EXPECT_FALSE(Platform().IsKeyDown(Key::Right));
    SetPlatform(&platform);
}
