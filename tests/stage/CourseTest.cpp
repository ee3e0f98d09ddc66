#include "StageTestSupport.h"

#include "bike/CollisionHelper.h"
#include "framework/Random.h"
#include "framework/graphics/AxTextureCache.h"
#include "stage/ChaseCamera.h"
#include "stage/Course.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace {

const Vector3 kRoad(0.0f, 0.2f, 0.0f);
const Vector3 kSand(300.0f, 0.2f, 300.0f);

class CourseTest : public StageTest {
public:
    void SetUp() override {
        StageTest::SetUp();
        if (HasFatalFailure()) return;
        Random::Seed(1);
        float distance = 0.0f;
        Vector3 normal;
        const Vector3 down(0.0f, -1.0f, 0.0f);
        ASSERT_TRUE(CollisionHelper::GetInstance().RayToModel(Road(), Matrix(), kRoad, down, distance, normal));
        ASSERT_FALSE(CollisionHelper::GetInstance().RayToModel(Road(), Matrix(), kSand, down, distance, normal));
        ASSERT_FALSE(CollisionHelper::GetInstance().RayToModel(Road(), Matrix(), kSand + Vector3(5, 0, 0), down,
                                                               distance, normal));
    }
    Course& TheCourse() { return *game->course; }
    AxModel* Road() { return game->course->roadModel; }
    void Step() {
        NewFrame();
        TheCourse().Update(game->textureCache);
    }
};

TEST_F(CourseTest, PuffsLiveTenUpdatesCloudsTwentyAndTheDeadGoWithoutSkipping) {
    Course& course = TheCourse();
    Place(*game->player, kRoad, 0.0f, 0.3f);
    game->player->accelerating = true;
    for (int f = 1; f <= 12; ++f) {
        Step();
        // Ten per bike per frame; a puff dies in its tenth update.
        EXPECT_EQ(course.WhiteSmokeCount(), static_cast<size_t>(30 * std::min(f, 9))) << f;
    }
    for (WhiteSmoke* smoke : course.whiteSmokes.live) {
        EXPECT_TRUE(smoke->alive);
        EXPECT_GT(smoke->alpha, 0.0f);
    }
    // The oldest surviving puff: alpha 0.1, drifted nine steps of 0.05.
    EXPECT_NEAR(course.whiteSmokes.live.front()->alpha, 0.1f, 1e-5f);
    EXPECT_NEAR(course.whiteSmokes.live.front()->scale.m[0][0], 0.9f, 1e-5f);

    // A player on sand: one cloud per frame, growing to fifteen times its size.
    Place(*game->player, kSand, 0.0f, 0.3f);
    for (int f = 1; f <= 22; ++f) {
        game->player->speed = 0.3f;
        Step();
        EXPECT_EQ(course.SandSmokeCount(), static_cast<size_t>(std::min(f, 19))) << f;
    }
    EXPECT_NEAR(course.sandSmokes.live.front()->scale.m[0][0], 15.0f * 0.95f, 1e-4f);
    EXPECT_EQ(course.WhiteSmokeCount(), 270u);
}

TEST_F(CourseTest, SandCapsSpeedAndTheDirtSoundStartsThenFadesOnTheRoad) {
    Course& course = TheCourse();
    Place(*game->player, kSand, 0.0f, 0.4f);
    Step();
    EXPECT_FLOAT_EQ(game->player->speed, 0.15f);
    EXPECT_TRUE(course.onSand[0]);
    EXPECT_EQ(Plays("dart.wav", 0), 1);
    EXPECT_EQ(course.SandSmokeCount(), 1u);
    EXPECT_FLOAT_EQ(course.dirtVolumes[0], 1.0f);
    game->player->speed = 0.3f;
    Step();
    EXPECT_EQ(Plays("dart.wav"), 0);  // once per stay
    EXPECT_FLOAT_EQ(game->player->speed, 0.15f);

    Place(*game->player, kRoad, 0.0f, 0.3f);
    for (int f = 1; f <= 10; ++f) {
        Step();
        EXPECT_FALSE(course.onSand[0]);
        EXPECT_NEAR(course.dirtVolumes[0], 1.0f - 0.1f * f, 1e-5f);
        EXPECT_NEAR(course.dirtInstances[0]->GetVolume(), course.dirtVolumes[0], 1e-6f);
    }
    EXPECT_EQ(course.dirtVolumes[0], 0.0f);
    Step();
    EXPECT_EQ(course.dirtVolumes[0], 0.0f);

    // Back on the sand: restarted at full volume.
    Place(*game->player, kSand, 0.0f, 0.2f);
    Step();
    EXPECT_EQ(Plays("dart.wav", 0), 1);
    EXPECT_FLOAT_EQ(course.dirtVolumes[0], 1.0f);

    // After the player's finish the player's own sand is silent, but a
    // computer bike's plays positionally at full volume: Play3D sets 1.0
    // over the 0 given just before it.
    Place(*game->player, kRoad, 0.0f, 0.2f);
    Step();
    game->player->lap = 4;
    Place(*game->player, kSand, 0.0f, 0.2f);
    Place(*game->enemies[0], kSand + Vector3(5, 0, 0), 0.0f, 0.2f);
    Step();
    EXPECT_EQ(Plays("dart.wav", 0), 1);
    EXPECT_EQ(Plays("dart.wav", 1), 1);
    EXPECT_EQ(course.dirtVolumes[0], 0.0f);
    EXPECT_EQ(course.dirtVolumes[1], 0.0f);
    EXPECT_EQ(course.dirtInstances[0]->GetVolume(), 0.0f);
    EXPECT_EQ(course.dirtInstances[1]->GetVolume(), 1.0f);
    EXPECT_EQ(course.dirtInstances[1]->GetState(), AxSoundInstance::State::Playing);
    // The mix carries the computer bike's sand, heard from the player's bike
    // five units away: 20 ms of it, well above silence.
    AxAudioManager::GetInstance().listener.Position = game->player->position;
    AxAudioManager::GetInstance().ApplyListener();
    std::vector<float> mix(48 * 20 * 2);
    ASSERT_TRUE(AxAudioManager::GetInstance().RenderSamples(mix.data(), 48 * 20));
    float peak = 0;
    for (float v : mix) peak = std::max(peak, std::fabs(v));
    EXPECT_GT(peak, 0.02f);
    AxAudioManager::GetInstance().listener = AxAudioListener{};
    for (int f = 0; f < 5; ++f) Step();
    EXPECT_EQ(course.dirtInstances[1]->GetVolume(), 1.0f) << "stays at full volume while on the sand";
    // Off the sand: the fade starts from its 0, so it falls silent at once.
    Place(*game->enemies[0], kRoad + Vector3(-2, 0, 0), 0.0f, 0.2f);
    Step();
    EXPECT_EQ(course.dirtInstances[1]->GetVolume(), 0.0f);
}

TEST_F(CourseTest, StandingOnSandOnlyAComputerBikeRaisesACloudAndItsSound) {
    Course& course = TheCourse();
    Place(*game->player, kSand, 0.0f, 0.0f);
    Step();
    EXPECT_FALSE(course.onSand[0]);
    EXPECT_EQ(course.SandSmokeCount(), 0u);
    EXPECT_EQ(Plays("dart.wav"), 0);

    Place(*game->player, kRoad);
    Place(*game->enemies[1], kSand, 0.0f, 0.0f);
    Step();
    EXPECT_TRUE(course.onSand[2]);
    EXPECT_EQ(course.SandSmokeCount(), 1u);
    ASSERT_EQ(Plays("dart.wav", 1), 1);
    EXPECT_EQ(AxAudioManager::GetInstance().GetFramePlays().back().pos, game->enemies[1]->world.Translation());
    // Size 0: nothing to see, however much it grows.
    EXPECT_EQ(course.sandSmokes.live.front()->corners[3], Vector3());
}

// Shadows, puffs and clouds overlapping in view, drawn one by one and in
// batches: the same picture, in three draws.
TEST_F(CourseTest, BatchedEffectsDrawTheSamePictureAsOneByOne) {
    Course& course = TheCourse();
    ChaseCamera& camera = *game->camera;
    camera.eyeOffsetZ = -3.0f;
    Place(*game->player, kSand, 0.0f, 0.15f);
    Place(*game->enemies[0], kSand + Vector3(0.6f, 0.0f, 1.0f), 0.0f, 0.15f);
    Place(*game->enemies[1], kSand + Vector3(-0.6f, 0.0f, 1.5f), 0.0f, 0.15f);
    for (Bike_base* bike : {static_cast<Bike_base*>(game->player), static_cast<Bike_base*>(game->enemies[0]),
                            static_cast<Bike_base*>(game->enemies[1])})
        bike->accelerating = true;
    camera.SetFromTarget(game->player->headingWorld);
    for (int f = 0; f < 6; ++f) Step();
    ASSERT_GT(course.WhiteSmokeCount(), 100u);
    ASSERT_GT(course.SandSmokeCount(), 10u);

    AxDirect3D& device = AxDirect3D::GetInstance();
    auto draw = [&](bool batched) {
        device.ClearBackBuffer(0.3f, 0.3f, 0.3f, 1.0f);
        device.ClearDepthStencil(1.0f, 0);
        camera.SetFromTarget(game->player->headingWorld);
        const auto before = device.drawCount;
        course.DrawEffects(batched);
        std::vector<uint8_t> rgba;
        int w = 0, h = 0;
        EXPECT_TRUE(device.ReadBackBuffer(rgba, w, h));
        return std::make_pair(rgba, device.drawCount - before);
    };
    const auto [single, singleDraws] = draw(false);
    const auto [batched, batchedDraws] = draw(true);
    EXPECT_EQ(singleDraws, 3 + course.WhiteSmokeCount() + course.SandSmokeCount());
    EXPECT_EQ(batchedDraws, 3u);
    ASSERT_EQ(single.size(), batched.size());
    int covered = 0, differing = 0;
    for (size_t i = 0; i < single.size(); i += 4) {
        if (std::abs(single[i] - 77) > 3 || std::abs(single[i + 2] - 77) > 3) ++covered;
        for (size_t c = 0; c < 3; ++c)
            if (std::abs(single[i + c] - batched[i + c]) > 2) ++differing;
    }
    EXPECT_GT(covered, 200);  // the effects really cover part of the view
    EXPECT_EQ(differing, 0);
}

}  // namespace
