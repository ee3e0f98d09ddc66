// Stage rules that depend on exact numbers: the random draws of puffs,
// clouds and fragments in their order and count, the idle puff's size, the
// sounds that start where their source stood the frame before, and what the
// obstacle manager draws while the excavator's arm swings.

#include "StageTestSupport.h"

#include "framework/Random.h"
#include "framework/graphics/AxDirect3D.h"
#include "framework/graphics/AxTextureCache.h"
#include "stage/ChaseCamera.h"
#include "stage/Course.h"
#include "stage/Excavator.h"
#include "stage/FloorSwitch.h"
#include "stage/ObstacleManager.h"
#include "stage/WallSet.h"

#include <cstdlib>
#include <vector>

namespace {

const Vector3 kRoad(0.0f, 0.2f, 0.0f);
const Vector3 kSand(300.0f, 0.2f, 300.0f);
constexpr unsigned kSeed = 4242;

// The first n values of the game's generator after seeding with kSeed.
std::vector<int> Draws(int n) {
    Random::Seed(kSeed);
    std::vector<int> values;
    for (int i = 0; i < n; ++i) values.push_back(Random::Next());
    return values;
}

void ExpectNear(const Vector3& a, const Vector3& b, float tolerance = 1e-5f) {
    EXPECT_NEAR(a.x, b.x, tolerance);
    EXPECT_NEAR(a.y, b.y, tolerance);
    EXPECT_NEAR(a.z, b.z, tolerance);
}

class StageRules : public StageTest {
public:
    void StepCourse() {
        NewFrame();
        game->course->Update(game->textureCache);
    }
};

TEST_F(StageRules, RandomDrawsComeInTheirOrderAndCount) {
    // The player on sand, turned and away from the origin: its first puff
    // takes draws 1 to 5, the other nine puffs 6 to 50, its cloud 51 and 52.
    Player& player = *game->player;
    Place(player, kSand, 40.0f, 0.3f);
    player.accelerating = true;
    const std::vector<int> d = Draws(52);
    Random::Seed(kSeed);
    StepCourse();
    ASSERT_EQ(game->course->SandSmokeCount(), 1u);
    const Matrix& bike = player.world;

    const WhiteSmoke& puff = *game->course->whiteSmokes.live.front();
    const Vector3 spawn = Vector3::Transform(
        Vector3(0.08f + 0.005f * (d[0] % 5), 0.25f + 0.005f * (d[1] % 5), -0.6f + 0.05f * (d[2] % 11 - 10)), bike);
    const Vector3 drift =
        (Vector3::Transform(Vector3(0.5f * (d[3] % 3 - 1), 0.5f * (d[4] % 3 - 1), -3.0f), bike) - bike.Translation())
            .Normalized() *
        0.05f;
    ExpectNear(puff.velocity, drift);
    ExpectNear(puff.world.Translation(), spawn + drift);  // one update: moved by its drift

    const SandSmoke& cloud = *game->course->sandSmokes.live.front();
    const Vector3 cloudAt = Vector3::Transform(Vector3(0.01f * (d[50] % 51 - 25), 0.01f * (d[51] % 51 - 25), -0.56f), bike);
    ExpectNear(cloud.world.Translation(), cloudAt);

    // A box fragment: velocity x, y, z, then model, axis and spin.
    const std::vector<int> f = Draws(7);
    Random::Seed(kSeed);
    BoxFragment fragment(*game->modelCache, Vector3(1.0f, 0.8f, 2.0f));
    EXPECT_FLOAT_EQ(fragment.velocity.x, (f[0] % 21 - 10) * 0.05f);
    EXPECT_FLOAT_EQ(fragment.velocity.y, (f[1] % 15) * 0.15f);
    EXPECT_FLOAT_EQ(fragment.velocity.z, (f[2] % 21 - 10) * 0.05f);
    EXPECT_EQ(fragment.modelIndex, f[3] % 3);
    EXPECT_EQ(fragment.spinAxis, f[4] % 3);
    EXPECT_EQ(fragment.spinSpeed, f[5] % 31 - 15);
    EXPECT_EQ(Random::Next(), f[6]) << "six draws, no more";
}

TEST_F(StageRules, IdlePuffsShrinkByPointOneFiveWhileThrottlePuffsTakeTheSpeed) {
    Player& player = *game->player;
    auto firstPuffSize = [&](float speed, bool accelerating) {
        Place(player, kRoad, 0.0f, speed);
        player.accelerating = accelerating;
        game->course->whiteSmokes.Clear();
        StepCourse();
        return game->course->whiteSmokes.live.front()->corners[3].x;
    };
    EXPECT_FLOAT_EQ(firstPuffSize(0.3f, false), 0.15f);
    EXPECT_FLOAT_EQ(firstPuffSize(0.1f, false), 0.0f) << "never negative";
    EXPECT_FLOAT_EQ(firstPuffSize(0.3f, true), 0.3f);
    EXPECT_FLOAT_EQ(firstPuffSize(0.0f, true), 0.0f);
}

TEST_F(StageRules, BoxFallAndMovingWallSoundsStartWhereTheSourceWasTheFrameBefore) {
    ObstacleManager& obstacles = *game->obstacles;
    ASSERT_FALSE(obstacles.boxes.empty());
    WoodBox& box = *obstacles.boxes[0];
    box.Lift(2.0f);
    obstacles.boxActive[0] = true;
    Vector3 before;
    bool landed = false;
    for (int f = 0; f < 60 && !landed; ++f) {
        before = box.world.Translation();
        NewFrame();
        box.Update();
        for (const AxSoundPlayRecord& play : AxAudioManager::GetInstance().GetFramePlays())
            if (play.file.ends_with("boxfall.wav")) {
                landed = true;
                EXPECT_TRUE(play.is3D);
                ExpectNear(play.pos, before, 0.0f);
            }
    }
    ASSERT_TRUE(landed);
    EXPECT_GT(before.y, 0.0f) << "still in the air the frame before";
    EXPECT_EQ(box.world.Translation().y, 0.0f);
    ExpectNear(box.fallInstance->emitter.Position, before, 0.0f);

    // The gate: triggered at rest, it moves 0.2 in the same frame, but its
    // sound starts where it stood.
    MovingWall& gate = *game->walls->movingWall;
    const Vector3 rest = gate.world.Translation();
    NewFrame();
    gate.Update(true);
    ASSERT_EQ(Plays("movewall.wav", 1), 1);
    ExpectNear(AxAudioManager::GetInstance().GetFramePlays().back().pos, rest, 0.0f);
    ExpectNear(gate.instance->emitter.Position, rest, 0.0f);
    EXPECT_NEAR(gate.world.Translation().z, rest.z + 0.2f, 1e-5f);
    for (int f = 0; f < 30; ++f) gate.Update(false);
    // Reversed at its end stop: again the position of the frame before.
    const Vector3 top = gate.world.Translation();
    EXPECT_NEAR(top.z, -26.5f, 1e-5f);
    NewFrame();
    gate.Update(true);
    ASSERT_EQ(Plays("movewall.wav", 1), 1);
    ExpectNear(AxAudioManager::GetInstance().GetFramePlays().back().pos, top, 0.0f);
    EXPECT_NEAR(gate.world.Translation().z, -26.7f, 1e-5f);
}

TEST_F(StageRules, WhileTheArmSwingsWaitingBoxesHideAndTheSwitchShowsPressed) {
    ObstacleManager& obstacles = *game->obstacles;
    ASSERT_GE(obstacles.boxes.size(), 2u);
    ExcavatorArm& arm = *obstacles.excavator->arm;
    AxDirect3D& device = AxDirect3D::GetInstance();
    AxShaderManager::GetInstance().modelShader.SetToDevice();

    // Box draws: one box alone, then the manager with and without the swing,
    // the first box active and the others waiting.
    auto draws = [&](auto&& draw) {
        const auto before = device.drawCount;
        draw();
        return device.drawCount - before;
    };
    const auto perBox = draws([&] { obstacles.boxes[0]->Draw(); });
    ASSERT_GT(perBox, 0u);
    obstacles.boxActive[0] = true;
    arm.moving = false;
    const auto resting = draws([&] { obstacles.Draw(); });
    arm.moving = true;
    const auto swinging = draws([&] { obstacles.Draw(); });
    EXPECT_EQ(resting - swinging, perBox * (obstacles.boxes.size() - 1)) << "only the waiting boxes go";

    // The switch in view: pressed while the arm swings, even with nobody on it.
    for (size_t i = 0; i < obstacles.boxes.size(); ++i) obstacles.boxActive[i] = true;  // boxes the same throughout
    Place(*game->player, game->obstacles->floorSwitch->position + Vector3(0.0f, 0.1f, 0.0f));
    game->camera->eyeOffsetZ = -3.0f;
    auto picture = [&](bool on, bool moving) {
        obstacles.floorSwitch->on = on;
        arm.moving = moving;
        device.ClearBackBuffer(0.3f, 0.3f, 0.3f, 1.0f);
        device.ClearDepthStencil(1.0f, 0);
        game->camera->SetFromTarget(game->player->headingWorld);
        AxShaderManager::GetInstance().modelShader.SetToDevice();
        obstacles.Draw();
        std::vector<uint8_t> rgba;
        int w = 0, h = 0;
        EXPECT_TRUE(device.ReadBackBuffer(rgba, w, h));
        return rgba;
    };
    const std::vector<uint8_t> off = picture(false, false);
    const std::vector<uint8_t> pressed = picture(true, false);
    const std::vector<uint8_t> swinging2 = picture(false, true);
    ASSERT_EQ(off.size(), pressed.size());
    size_t differs = 0;
    for (size_t i = 0; i < off.size(); ++i) differs += off[i] != pressed[i];
    ASSERT_GT(differs, 100u) << "the two switch models look different from here";
    EXPECT_EQ(swinging2, pressed);
}

}  // namespace
