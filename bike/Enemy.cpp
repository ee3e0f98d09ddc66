#include "bike/Enemy.h"

#include "framework/audio/AxSoundEffect.h"
#include "framework/graphics/AxModelCache.h"
#include "scene/Game.h"

namespace {
// The computer bikes open the throttle two seconds before the start.
constexpr int kThrottleCountdown = 2;
}  // namespace

Enemy::Enemy(Game& game, AxModelCache& modelCache) : Bike_base(game) {
    model = modelCache.GetModel("Data/Bike/bike002.gltf");
    position = Vector3(2.0f, 0.2f, -2.0f);
    wheels = new BikeWheels(game, modelCache, world);
    wallHitInstance = wallHitSound->CreateInstance(true);
    wallHitInstance->SetCurveDistanceScaler(10.0f);
    wallHitInstance->SetVolume(wallHitVolume);
}

Enemy::Enemy(Game& game, AxModelCache& modelCache, const Vector3& startPosition) : Bike_base(game) {
    model = modelCache.GetModel("Data/Bike/bike003.gltf");
    position = startPosition;
    world = Matrix::CreateTranslation(position);
    wheels = new BikeWheels(game, modelCache, world);
    wheels->SetOffsets(world, 0.68f, -0.63f);
    wallHitInstance = wallHitSound->CreateInstance(true);
    wallHitInstance->SetCurveDistanceScaler(30.0f);
    wallHitInstance->SetVolume(30.0f);
}

Enemy::~Enemy() = default;

void Enemy::Update() {
    hitWall = HitWall();
    wallHitInstance->SetPosition(world.Translation());
    wallHitInstance->Apply3D();
    if (hitWall && !wallHitLatched) {
        wallHitInstance->Play3D(world.Translation(), false, true);
        wallHitLatched = true;
    }
    if (!hitWall) wallHitLatched = false;

    UpdateCheckpoint();
    if (game.Countdown() <= kThrottleCountdown) Throttle();
    else accelerating = false;
    if (game.Countdown() == 0) SteerToCheckpoint();
    if (hitWall) TurnRight();
    Move();
}
