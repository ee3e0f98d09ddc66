// Rays against real model triangles, the wall push-out and bike contacts.

#include "bike/CollisionHelper.h"
#include "scene/GameFixture.h"

#include "bike/Enemy.h"
#include "bike/Player.h"
#include "framework/graphics/AxModelCache.h"
#include "scene/RaceTimer.h"

#include <cmath>

namespace {
// A unit box standing on the ground: x and z from -0.5 to 0.5, y from 0 to 1.
constexpr const char* kBox = "Data/Obstacle/WoodBox/WoodBox.gltf";

class Collision : public GameFixture {
protected:
    const AxModel* Box() { return game->modelCache->GetModel(kBox); }
    CollisionHelper& helper = CollisionHelper::GetInstance();
};
}  // namespace

TEST_F(Collision, RayFindsTheNearestFaceWithItsOutwardNormalInWorldUnits) {
    const Matrix world = Matrix::CreateScale(2.0f) * Matrix::CreateTranslation(10, 0, 0);  // x 9..11, z -1..1
    float distance = -1;
    Vector3 normal;
    ASSERT_TRUE(helper.RayToModel(Box(), world, {10, 0.5f, -5}, {0, 0, 1}, distance, normal));
    EXPECT_NEAR(distance, 4.0f, 1e-5f);
    EXPECT_NEAR(normal.z, -1.0f, 1e-5f);
    ASSERT_TRUE(helper.RayToModel(Box(), world, {20, 0.5f, 0}, {-1, 0, 0}, distance, normal));
    EXPECT_NEAR(distance, 9.0f, 1e-5f);
    EXPECT_NEAR(normal.x, 1.0f, 1e-5f);

    // Misses and zero directions leave the outputs alone.
    distance = 123;
    normal = {7, 7, 7};
    EXPECT_FALSE(helper.RayToModel(Box(), world, {10, 0.5f, -5}, {0, 0, -1}, distance, normal));
    EXPECT_FALSE(helper.RayToModel(Box(), world, {5, 2.1f, 0}, {1, 0, 0}, distance, normal));  // just over the top
    EXPECT_FALSE(helper.RayToModel(Box(), world, {10, 0.5f, -5}, {0, 0, 0}, distance, normal));
    EXPECT_FALSE(helper.RayToModel(nullptr, world, {10, 0.5f, -5}, {0, 0, 1}, distance, normal));
    EXPECT_EQ(distance, 123.0f);
    EXPECT_EQ(normal, Vector3(7, 7, 7));
}

TEST_F(Collision, PushOutHoldsTheClearanceAndSlidesAtAnAngle) {
    const Matrix world;  // face at z = -0.5
    float distance = 0;
    Vector3 push;
    EXPECT_FALSE(helper.PushOut(Box(), world, {0, 0.2f, -1.6f}, {0, 0, 1}, distance, push));
    EXPECT_NEAR(distance, 1.1f, 1e-5f);  // the distance is reported even without a push
    ASSERT_TRUE(helper.PushOut(Box(), world, {0, 0.2f, -1.2f}, {0, 0, 1}, distance, push));
    EXPECT_NEAR(push.z, -0.3f, 1e-5f);  // back to exactly 1.0 from the face

    // At 45 degrees the push is along the face's normal only: the bike slides.
    const Vector3 diagonal = Vector3(1, 0, 1).Normalized();
    const Vector3 origin{-0.6f, 0.2f, -1.2f};
    ASSERT_TRUE(helper.PushOut(Box(), world, origin, diagonal, distance, push));
    EXPECT_NEAR(push.x, 0.0f, 1e-6f);
    EXPECT_NEAR((origin + push).z, -1.5f, 1e-5f);
    EXPECT_FALSE(helper.PushOut(Box(), world, {-1.4f, 0.2f, -2.0f}, diagonal, distance, push));  // beyond sqrt 2

    // From inside the box the ray meets a back face: no push.
    EXPECT_FALSE(helper.PushOut(Box(), world, {0, 0.2f, 0.2f}, {0, 0, 1}, distance, push));
}

TEST_F(Collision, BikeDrivingAtTheGateIsHeldAtTheClearance) {
    // The bike drives straight at an obstacle standing where the fence would be.
    Player& bike = *game->player;
    game->raceTimer->countdown = 0;
    bike.position = {0, 0.2f, -8};
    bike.speed = 0.4f;
    float nearest = 100;
    const Matrix world = Matrix::CreateScale(4.0f, 1.0f, 1.0f);  // a wide wall, face at z = -0.5
    for (int frame = 0; frame < 60; ++frame) {
        float distance = 0;
        Vector3 push;
        if (helper.PushOut(Box(), world, bike.position, bike.RotateByYaw({0, 0, 1}), distance, push))
            bike.position += push;
        EXPECT_GE(-0.5f - bike.position.z, 1.0f - 1e-4f) << frame;
        bike.Throttle();
        bike.Move();
        nearest = std::min(nearest, -0.5f - bike.position.z);
    }
    // The step after the push may bring it one frame's travel closer.
    EXPECT_NEAR(nearest, 1.0f - 0.4f, 0.02f);
}

TEST_F(Collision, BikesOverlappingArePushedApartEvenly) {
    Enemy& enemy = *game->enemies[0];
    enemy.position = {0, 0.2f, 0};
    enemy.world = Matrix::CreateTranslation(enemy.position);
    Vector3 other{0.8f, 0.2f, 0};
    EXPECT_FALSE(enemy.HitBike(other, 0.4f));  // touching exactly is no hit
    other = {0.5f, 0.2f, 0};
    EXPECT_TRUE(enemy.HitBike(other, 0.4f));
    EXPECT_NEAR(other.x, 0.65f, 1e-6f);
    EXPECT_NEAR(enemy.position.x, -0.15f, 1e-6f);
    other = enemy.world.Translation();  // coincident: not separated
    enemy.position = {0, 0.2f, 0};
    EXPECT_TRUE(enemy.HitBike(other, 0.4f));
    EXPECT_EQ(enemy.position, Vector3(0, 0.2f, 0));
}

TEST_F(Collision, ScenePairsPlayOneBikeHitSoundPerContactWithThePlayer) {
    Press(Key::Enter);
    Step();
    Release(Key::Enter);
    int hits = 0;
    // Glue the first computer bike to the player for a few frames, twice, and
    // the two computer bikes together: only the player's contacts sound.
    for (int round = 0; round < 2; ++round) {
        for (int frame = 0; frame < 5; ++frame) {
            game->enemies[0]->position = game->player->position + Vector3(0.5f, 0, 0);
            game->enemies[1]->position = game->player->position + Vector3(1.0f, 0, 0);
            for (const auto& f : Step()) hits += f == "Data/Sound/bikehit.wav";
        }
        for (int frame = 0; frame < 3; ++frame) {
            game->enemies[0]->position = game->player->position + Vector3(5, 0, 0);
            game->enemies[1]->position = game->player->position + Vector3(-5, 0, 0);
            for (const auto& f : Step()) hits += f == "Data/Sound/bikehit.wav";
        }
    }
    EXPECT_EQ(hits, 2);
}
