// The movement model over frames, on the real player's bike.

#include "scene/GameFixture.h"

#include "bike/Enemy.h"
#include "bike/Player.h"
#include "scene/RaceTimer.h"

namespace {
class BikeMotionTest : public GameFixture {
protected:
    void SetUp() override {
        GameFixture::SetUp();
        bike = game->player;
        game->raceTimer->countdown = 0;
    }
    void Frame(bool throttle) {
        if (throttle) bike->Throttle();
        bike->Move();
    }
    Player* bike = nullptr;
};
}  // namespace

TEST_F(BikeMotionTest, ThrottleSettlesAroundTopSpeedAndReleaseStops) {
    int frames = 0;
    while (bike->speed < 0.395f && frames < 1000) {
        Frame(true);
        ++frames;
    }
    EXPECT_NEAR(frames, 79, 2);
    float low = 1, high = 0;
    for (int i = 0; i < 100; ++i) {
        Frame(true);
        low = std::min(low, bike->speed);
        high = std::max(high, bike->speed);
    }
    EXPECT_NEAR(low, 0.4f, 0.011f);
    EXPECT_NEAR(high, 0.4f, 0.011f);
    EXPECT_GT(high - low, 0.001f);  // alternates, does not sit

    frames = 0;
    while (bike->speed > 0.0f && frames < 1000) {
        Frame(false);
        EXPECT_GE(bike->speed, 0.0f);
        ++frames;
    }
    EXPECT_NEAR(frames, 80, 2);
    EXPECT_FLOAT_EQ(bike->position.y, 0.2f);
}

TEST_F(BikeMotionTest, CountdownFreezesPositionAndWheelsButNotSpeed) {
    game->raceTimer->countdown = 2;
    const Vector3 start = bike->position;
    for (int i = 0; i < 60; ++i) Frame(true);
    EXPECT_EQ(bike->position, start);
    EXPECT_EQ(bike->wheels->spin, 0.0f);
    EXPECT_GT(bike->speed, 0.25f);
    const float speed = bike->speed;
    game->raceTimer->countdown = 0;
    Frame(true);
    EXPECT_NEAR((bike->position - start).Length(), speed + 0.005f, 1e-4f);
    EXPECT_GT(bike->wheels->spin, 0.0f);
}

TEST_F(BikeMotionTest, FinishedBikeSlowsToExactlyPointTwo) {
    bike->lap = 4;
    bike->speed = 0.7f;
    Frame(false);
    EXPECT_NEAR(bike->speed, 0.7f - 0.025f, 1e-6f);  // friction, over-speed brake, finish brake
    bike->speed = 0.35f;
    Frame(false);
    EXPECT_NEAR(bike->speed, 0.35f - 0.015f, 1e-6f);
    bike->speed = 0.7f;
    Frame(true);
    EXPECT_NEAR(bike->speed, 0.7f - 0.015f, 1e-6f);
    bike->speed = 0.35f;
    Frame(true);
    EXPECT_NEAR(bike->speed, 0.35f - 0.005f, 1e-6f);
    for (int i = 0; i < 100; ++i) Frame(i % 2 == 0);
    EXPECT_EQ(bike->speed, 0.2f);
}

TEST_F(BikeMotionTest, LeanGrowsToFortyFourWhileTurningAndRecovers) {
    bike->speed = 0.3f;
    std::vector<float> leans;
    for (int i = 0; i < 60; ++i) {
        bike->TurnRight();
        Frame(true);
        leans.push_back(bike->lean);
    }
    for (int i = 0; i < 44; ++i) EXPECT_EQ(leans[size_t(i)], -(i + 1)) << i;
    for (size_t i = 44; i < leans.size(); ++i) EXPECT_EQ(leans[i], -44.0f);
    EXPECT_FLOAT_EQ(bike->yaw, 60 * 1.5f);
    for (int i = 0; i < 44; ++i) Frame(true);
    EXPECT_EQ(bike->lean, 0.0f);
    // The lean shows in the drawn matrix, the heading matrix stays upright.
    bike->TurnLeft();
    Frame(true);
    EXPECT_EQ(bike->lean, 1.0f);
    EXPECT_NEAR(bike->headingWorld.m[1][1], 1.0f, 1e-6f);
    EXPECT_LT(bike->world.m[1][1], 1.0f);
}

TEST_F(BikeMotionTest, CheckpointsThenTheOriginThenALap) {
    for (Checkpoint* c : game->checkpoints) delete c;
    game->checkpoints = {new Checkpoint({0, 0.2f, 100}), new Checkpoint({100, 0.2f, 100}), new Checkpoint({100, 0.2f, 0})};
    const Vector3 targets[] = {{0, 0.2f, 100}, {100, 0.2f, 100}, {100, 0.2f, 0}, {0, 0, 0}, {0, 0.2f, 100}};
    for (int i = 0; i < 5; ++i) {
        bike->position = targets[i] + Vector3(0, 0, 25);  // out of reach
        bike->UpdateCheckpoint();
        EXPECT_EQ(bike->checkpointIndex, uint32_t(i % 4));
        bike->position = targets[i] + Vector3(0, 0, 19.9f);
        bike->UpdateCheckpoint();
        EXPECT_EQ(bike->checkpointIndex, uint32_t((i + 1) % 4)) << i;
        EXPECT_EQ(bike->lap, i < 3 ? 1u : 2u);
    }
    // Dead band: a random 0..29 normally, 5 while the player leads.
    Enemy* enemy = game->enemies[0];
    game->player->lap = 1;
    enemy->lap = 2;
    game->enemies[1]->lap = 2;
    for (int i = 0; i < 20; ++i) {
        enemy->position = game->checkpoints[0]->position;
        enemy->checkpointIndex = 0;
        enemy->UpdateCheckpoint();
        EXPECT_GE(enemy->steerTolerance, 0);
        EXPECT_LT(enemy->steerTolerance, 30);
    }
    game->player->lap = 3;
    enemy->position = game->checkpoints[0]->position;
    enemy->checkpointIndex = 0;
    enemy->UpdateCheckpoint();
    EXPECT_EQ(enemy->steerTolerance, 5);
}

TEST_F(BikeMotionTest, SteeringTurnsTowardsTheTargetOutsideTheDeadBand) {
    for (Checkpoint* c : game->checkpoints) delete c;
    game->checkpoints = {new Checkpoint({10, 0.2f, 50})};
    bike->position = {0, 0.2f, 0};
    bike->checkpointIndex = 0;
    bike->UpdateCheckpoint();
    bike->steerTolerance = 5;
    bike->SteerToCheckpoint();  // about 11 degrees to the right
    EXPECT_EQ(bike->yaw, 1.5f);
    bike->yaw = 15.0f;  // now about 4 degrees to the left: inside the band
    bike->SteerToCheckpoint();
    EXPECT_EQ(bike->yaw, 15.0f);
    bike->yaw = 40.0f;
    bike->SteerToCheckpoint();
    EXPECT_EQ(bike->yaw, 38.5f);
    // Standing on the target: no direction, an angle of 90, a right turn.
    bike->position = {10, 0.2f, 50};
    bike->yaw = 0.0f;
    bike->SteerToCheckpoint();
    EXPECT_EQ(bike->yaw, 1.5f);
    EXPECT_EQ(bike->checkpointDir, Vector3());
}

TEST_F(BikeMotionTest, ComputerBikesLeaveTheLineAtTopSpeed) {
    game->raceTimer->countdown = 7;
    Press(Key::Enter);
    Step();
    Release(Key::Enter);
    StepUntil([&] { return game->raceTimer->countdown == 0; });
    EXPECT_NEAR(game->enemies[0]->speed, 0.4f, 0.011f);
    EXPECT_NEAR(game->enemies[1]->speed, 0.4f, 0.011f);
    EXPECT_EQ(game->player->speed, 0.0f);  // Z was never held
}
