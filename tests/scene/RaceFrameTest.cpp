// Rules that only show through the scene's whole frame: the order of the
// bike contacts, the listener, the music and engines around a reload, sand
// under full throttle, the camera's view on a dash panel, and the panels'
// flags that outlive the stage, and the programs built before the race.

#include "scene/GameFixture.h"

#include "app/FrameStats.h"
#include "bike/Enemy.h"
#include "bike/EngineSound.h"
#include "bike/Player.h"
#include "framework/audio/AxSoundInstance.h"
#include "scene/RaceTimer.h"
#include "stage/ChaseCamera.h"
#include "stage/DashPanel.h"
#include "stage/ObstacleManager.h"
#include "profile/PlayerRecords.h"

#include <cmath>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {
class RaceFrame : public GameFixture {
protected:
    static void Place(Bike_base& bike, const Vector3& position, float yaw = 0.0f, float speed = 0.0f) {
        bike.position = position;
        bike.yaw = yaw;
        bike.speed = speed;
        bike.world = BikeMotion::GetInstance().MakeWorld(yaw, 0.0f, position);
        bike.headingWorld = BikeMotion::GetInstance().MakeHeadingWorld(yaw, position);
    }
    // The race under way: the countdown over, the clock running.
    void Racing() {
        game->mode = 0;
        game->startWait = 0;
        game->raceTimer->countdown = 0;
    }
    static int Count(const std::vector<std::string>& files, const std::string& file) {
        return static_cast<int>(std::count(files.begin(), files.end(), file));
    }
};

void ExpectNear(const Vector3& a, const Vector3& b, float tolerance = 1e-4f) {
    EXPECT_NEAR(a.x, b.x, tolerance);
    EXPECT_NEAR(a.y, b.y, tolerance);
    EXPECT_NEAR(a.z, b.z, tolerance);
}
}  // namespace

TEST_F(RaceFrame, WhenBothComputerBikesTouchThePlayerTheSecondPushReplacesTheFirst) {
    Player& player = *game->player;
    Enemy& first = *game->enemies[0];
    Enemy& second = *game->enemies[1];
    const Vector3 centre(0.0f, 0.2f, -2.0f);
    Place(player, centre);
    Place(first, centre + Vector3(0.6f, 0.0f, 0.0f));    // 0.2 into the player from the right
    Place(second, centre + Vector3(0.0f, 0.0f, 0.6f));   // and from ahead; 0.85 from the first
    const std::vector<std::string> played = Step();
    EXPECT_EQ(Count(played, "Data/Sound/bikehit.wav"), 2) << "one per contact";
    EXPECT_TRUE(game->enemyHit[0]);
    EXPECT_TRUE(game->enemyHit[1]);
    // Both tests started from the player's unchanged centre: the push from
    // the first bike (0.1 to the left) is lost, the one from the second stays.
    EXPECT_FLOAT_EQ(player.position.x, 0.0f);
    EXPECT_NEAR(player.position.z, -2.1f, 1e-5f);
    // The computer bikes keep their pushes.
    EXPECT_NEAR(first.position.x, 0.7f, 1e-5f);
    EXPECT_NEAR(second.position.z, -1.3f, 1e-5f);
}

TEST_F(RaceFrame, TheListenerRidesThePlayersBikeFacingWhereTheCameraLooks) {
    Racing();
    Player& player = *game->player;
    const Vector3 at(5.0f, 0.2f, 7.0f);
    Place(player, at, 30.0f);
    game->camera->eyeOffsetZ = -3.1f;
    for (int f = 0; f < 10; ++f) game->camera->SetFromTarget(player.headingWorld);
    game->engineSound->Update();
    const AxAudioListener& listener = AxAudioManager::GetInstance().listener;
    ExpectNear(listener.Position, at);
    // Front: the camera's forward axis in the world, from behind and above.
    const Vector3 forward = (game->camera->target - game->camera->eye).Normalized();
    ASSERT_LT(forward.y, -0.05f);
    ExpectNear(listener.OrientFront, forward);
    // Top: the view matrix's second row, which for a camera without roll is
    // (0, cos of the pitch, the forward axis's height) - not the camera's up.
    ExpectNear(listener.OrientTop, Vector3(0.0f, std::sqrt(1.0f - forward.y * forward.y), forward.y));
}

TEST_F(RaceFrame, AReloadStopsTheEnginesAndTheRaceMusicAndTheTitleMusicPlaysAgain) {
    Step();
    Press(Key::Enter);
    Step();
    Release(Key::Enter);
    ASSERT_LT(StepUntil([&] { return game->bgmStarted; }, 800), 800);
    using State = AxSoundInstance::State;
    EXPECT_EQ(game->bgmInst->GetState(), State::Playing);
    EXPECT_EQ(game->titleInst->GetState(), State::Stopped) << "faded out and stopped in the race";
    std::shared_ptr<AxSoundInstance> engines[3];
    for (int i = 0; i < 3; ++i) {
        engines[i] = game->engineSound->instances[i];
        ASSERT_EQ(engines[i]->GetState(), State::Playing) << i;
    }

    game->player->lap = 4;
    Press(Key::Enter);
    ASSERT_LT(StepUntil([&] { return game->mode == 1; }, 100), 100);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(engines[i]->GetState(), State::Stopped) << "engine " << i;
    EXPECT_EQ(game->bgmInst->GetState(), State::Stopped);
    EXPECT_FALSE(game->bgmStarted);
    // The next title frame starts the title music from the top at 0.2.
    const std::vector<std::string> played = Step();
    EXPECT_EQ(Count(played, "Data/Sound/Title.WAV"), 1);
    EXPECT_EQ(game->titleInst->GetState(), State::Playing);
    EXPECT_FLOAT_EQ(game->titleInst->GetVolume(), 0.2f);
    EXPECT_EQ(game->bgmInst->GetState(), State::Stopped);
    // The mix really carries it.
    std::vector<float> mix(48 * 50 * 2);
    ASSERT_TRUE(AxAudioManager::GetInstance().RenderSamples(mix.data(), 48 * 50));
    float peak = 0;
    for (float v : mix) peak = std::max(peak, std::fabs(v));
    EXPECT_GT(peak, 0.01f);
}

TEST_F(RaceFrame, SandUnderThrottleCrawlsAndADashPanelWidensTheNextFramesView) {
    Racing();
    Player& player = *game->player;
    // Off the road under full throttle: capped back to 0.15 every frame, so
    // it crawls at 0.15 plus one frame's gain.
    Place(player, Vector3(300.0f, 0.2f, 300.0f), 0.0f, 0.4f);
    Press(Key::Z);
    for (int f = 0; f < 30; ++f) {
        const float z = player.position.z;
        Step();
        EXPECT_FLOAT_EQ(player.speed, 0.15f) << f;
        if (f > 0) {
            EXPECT_NEAR(player.position.z - z, 0.155f, 1e-4f) << f;
        }
    }
    Release(Key::Z);

    // Standing on the first dash panel: found there in this frame, the view
    // widened in the next one, the boost given then too.
    Place(player, Vector3(-18.5f, 0.2f, 72.0f));
    DashPanel& panel = *game->dashPanels[0];
    Step();
    EXPECT_TRUE(panel.bikeOnPanel[0]);
    EXPECT_FLOAT_EQ(game->camera->fov, 60.0f);
    Step();
    EXPECT_FLOAT_EQ(game->camera->fov, 65.5f);
    EXPECT_FLOAT_EQ(player.speed, 0.7f);
}

TEST_F(RaceFrame, APanelsFlagOutlivesTheStageAndBoostsTheNewBike) {
    DashPanel& panel = *game->dashPanels[1];
    panel.bikeOnPanel[2] = true;  // the second computer bike was seen on it
    game->ReleaseStage();
    game->LoadStage();
    EXPECT_TRUE(panel.bikeOnPanel[2]);
    EXPECT_FLOAT_EQ(game->enemies[1]->speed, 0.0f);
    panel.Update();
    EXPECT_FLOAT_EQ(game->enemies[1]->speed, 0.7f) << "one boost for the new bike in that slot";
    EXPECT_FALSE(panel.bikeOnPanel[2]);
}

// The stage load builds every program the race draws with: a race that shows
// the ghost (tinted, see-through) and throws a box's fragments, drawn frame by
// frame, builds none (each would be a driver's compile mid-race).
TEST_F(RaceFrame, TheStageLoadBuildsEveryProgramTheRaceDrawsWith) {
    AxModelShader& shader = AxShaderManager::GetInstance().modelShader;
    game.reset();
    shader.Release();
    shader.Init();
    const int beforeLoad = shader.BuiltCount();
    game = std::make_unique<Game>();
    const int atLoad = shader.BuiltCount();
    EXPECT_GT(atLoad, beforeLoad);

    const fs::path folder = fs::temp_directory_path() / ("vorlan-programs-" + std::to_string(getpid()));
    fs::create_directories(folder);
    std::ofstream(folder / "records.txt") << "vorlan-moto records 1\nbest 5000 2026-12-08\nend\n";
    std::ofstream(folder / "ghost.txt") << "vorlan-moto ghost 1\ntime 5000\nstart 1.5 0.2 -6 0 0\nframes 1\n"
                                           "1.2 0.2 2.5 0 0\nend\n";
    game->records->Load(folder.string());
    fs::remove_all(folder);
    ASSERT_TRUE(game->records->GhostNow());

    FrameStats::Get().Reset();
    AxDirect3D::GetInstance().SetSubmitEnabled(true);
    Press(Key::Enter);
    Step();
    Release(Key::Enter);
    Racing();
    ObstacleManager& obstacles = *game->obstacles;
    WoodBox& box = *obstacles.boxes.at(0);
    box.Lift(0.0f);
    obstacles.boxActive[0] = true;
    Place(*game->player, Vector3(box.position.x, 0.2f, box.position.z - 1.0f), 0.0f, 0.4f);
    const int thrown = StepUntil([&] { return !obstacles.fragments.empty(); }, 60);
    ASSERT_LT(thrown, 60) << "no box broke";
    for (int i = 0; i < 20; ++i) Step();
    AxDirect3D::GetInstance().SetSubmitEnabled(false);
    EXPECT_EQ(shader.BuiltCount(), atLoad);
    EXPECT_EQ(FrameStats::Get().programsBuiltInRace, 0);
}
