#include "bike/Enemy.h"

#include "framework/audio/AxSoundEffect.h"
#include "framework/graphics/AxModelCache.h"
#include "scene/Game.h"

namespace {
// The computer bikes open the throttle two seconds before the start.
constexpr int kThrottleCountdown = 2;
}  // namespace

Enemy::Enemy(Game& game, AxModelCache& modelCache, int slot, const Vector3& start, float heading) : Bike_base(game) {
    position = start;
    yaw = heading;
    if (slot == 1) {
        // The first bike's wheels start from the untransformed world; its first move places them.
        model = modelCache.GetModel("Data/Bike/bike002.gltf");
        wheels = new BikeWheels(game, modelCache, world);
        wallHitInstance = wallHitSound->CreateInstance(true);
        wallHitInstance->SetCurveDistanceScaler(10.0f);
        wallHitInstance->SetVolume(wallHitVolume);
        return;
    }
    model = modelCache.GetModel("Data/Bike/bike003.gltf");
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
