#include "bike/Bike_base.h"

#include "framework/MotionBlend.h"

#include "bike/CollisionHelper.h"
#include "framework/Random.h"
#include "framework/StableMath.h"
#include "bike/Player.h"
#include "framework/audio/AxSoundEffect.h"
#include "framework/graphics/AxModelCache.h"
#include "framework/graphics/AxShaderManager.h"
#include "scene/Game.h"
#include "stage/WallSet.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr float kWheelHeight = 0.23f;
constexpr float kFrontAxle = 0.53f;
constexpr float kRearAxle = -0.56f;
constexpr float kWheelSpinPerSpeed = 30.0f;
constexpr int kRandomDeadBand = 30;  // 0..29 degrees
constexpr int32_t kLeaderDeadBand = 5;
// The gate's probe sits a little higher than the fence's.
constexpr float kMovingWallProbeHeight = 0.2f;
}  // namespace

BikeMotion& BikeMotion::GetInstance() {
    static BikeMotion instance;
    return instance;
}

Vector3 BikeMotion::Advance(const Vector3& position, float speed, float yaw) const {
    float s, c;
    StableMath::SinCos(yaw * kDegToRad, s, c);
    return position + Vector3(s, 0.0f, c) * speed;
}

float BikeMotion::LeanRight(float lean) const { return std::max(lean - kLeanRate, -kMaxLean); }

float BikeMotion::LeanLeft(float lean) const { return std::min(lean + kLeanRate, kMaxLean); }

float BikeMotion::RecoverLean(float lean) const {
    if (lean < 0.0f) lean += 1.0f;
    if (lean > 0.0f) lean -= 1.0f;
    return lean;
}

Matrix BikeMotion::MakeWorld(float yaw, float lean, const Vector3& position) const {
    return Matrix::CreateRotationZ(lean * kDegToRad) * Matrix::CreateRotationY(yaw * kDegToRad) *
           Matrix::CreateTranslation(position);
}

Matrix BikeMotion::MakeHeadingWorld(float yaw, const Vector3& position) const {
    return Matrix::CreateRotationY(yaw * kDegToRad) * Matrix::CreateTranslation(position);
}

BikeWheels::BikeWheels(Game& game, AxModelCache& modelCache, const Matrix& bikeWorld) : game(game) {
    model = modelCache.GetModel("Data/Bike/wheel002.gltf");
    frontOffset = Matrix::CreateTranslation(0.0f, kWheelHeight, kFrontAxle);
    rearOffset = Matrix::CreateTranslation(0.0f, kWheelHeight, kRearAxle);
    frontWorld = frontOffset * bikeWorld;
    rearWorld = rearOffset * bikeWorld;
}

void BikeWheels::SetOffsets(const Matrix& bikeWorld, float frontZ, float rearZ) {
    frontOffset = Matrix::CreateTranslation(0.0f, kWheelHeight, frontZ);
    rearOffset = Matrix::CreateTranslation(0.0f, kWheelHeight, rearZ);
    frontWorld = frontOffset * bikeWorld;
    rearWorld = rearOffset * bikeWorld;
}

void BikeWheels::Update(const Matrix& bikeWorld, float speed) {
    if (game.Countdown() == 0) spin += speed * kWheelSpinPerSpeed;
    const Matrix roll = Matrix::CreateRotationX(spin * kDegToRad);
    frontWorld = roll * frontOffset * bikeWorld;
    rearWorld = roll * rearOffset * bikeWorld;
}

void BikeWheels::Draw() {
    AxModelShader& shader = AxShaderManager::GetInstance().modelShader;
    shader.worldMatrix = Motion().World(&frontWorld, frontWorld);
    shader.DrawModel(model, nullptr);
    shader.worldMatrix = Motion().World(&rearWorld, rearWorld);
    shader.DrawModel(model, nullptr);
}

Bike_base::Bike_base(Game& game) : game(game) {
    wallHitSound = std::make_shared<AxSoundEffect>();
    wallHitSound->Load("Data/Sound/Wall/wallhit.wav");
}

Bike_base::~Bike_base() {
    delete wheels;
    wheels = nullptr;
    wallHitInstance.reset();
    wallHitSound.reset();
}

void Bike_base::Throttle() {
    speed += kThrottle;
    accelerating = true;
}

void Bike_base::TurnRight() {
    const BikeMotion& motion = BikeMotion::GetInstance();
    yaw = motion.TurnRight(yaw);
    lean = motion.LeanRight(lean);
}

void Bike_base::TurnLeft() {
    const BikeMotion& motion = BikeMotion::GetInstance();
    yaw = motion.TurnLeft(yaw);
    lean = motion.LeanLeft(lean);
}

void Bike_base::Move() {
    const BikeMotion& motion = BikeMotion::GetInstance();
    if (speed > 0.0f) speed -= kFriction;
    if (speed < 0.0f) speed = 0.0f;
    if (speed > maxSpeed) speed -= kOverSpeedBrake;
    position.y = kRideHeight;
    if (lap >= finishLap) {
        speed -= kFinishBrake;
        if (speed < kFinishCruise) speed = kFinishCruise;
    }
    if (game.Countdown() == 0) position = motion.Advance(position, speed, yaw);
    lean = motion.RecoverLean(lean);
    world = motion.MakeWorld(yaw, lean, position);
    if (wheels) wheels->Update(world, speed);
    headingWorld = motion.MakeHeadingWorld(yaw, position);
}

void Bike_base::UpdateCheckpoint() {
    const size_t n = std::min(game.checkpoints.size(), kCheckpointSlots - 1);
    for (size_t i = 0; i < n; ++i) checkpoints[i] = game.checkpoints[i]->position;
    // The index never passes the start/finish slot, so it always reads a slot of the table.
    if (checkpointIndex > n) checkpointIndex = 0;
    toCheckpoint = checkpoints[checkpointIndex] - position;
    if (toCheckpoint.Length() <= kCheckpointReach) {
        if (checkpointIndex < n) {
            checkpointIndex += 1;
        } else {
            checkpointIndex = 0;
            lap += 1;
        }
        steerTolerance = Random::Next() % kRandomDeadBand;
        if (game.player && game.player->GetRank() == 1) steerTolerance = kLeaderDeadBand;
    }
}

void Bike_base::SteerToCheckpoint() {
    checkpointDir = (checkpoints[checkpointIndex] - position).Normalized();
    const Vector3 forward = RotateByYaw(Vector3(0.0f, 0.0f, 1.0f));
    float angle = static_cast<float>(StableMath::Acos(static_cast<double>(forward.Dot(checkpointDir)))) * kRadToDeg;
    if (forward.Cross(checkpointDir).Normalized().y < 0.0f) angle = -angle;
    // A non-finite angle fails both comparisons and steers nowhere.
    if (angle > static_cast<float>(steerTolerance)) TurnRight();
    if (angle < -static_cast<float>(steerTolerance)) TurnLeft();
}

bool Bike_base::HitWall() {
    if (!game.walls) return false;
    const Vector3 forward = RotateByYaw(Vector3(0.0f, 0.0f, 1.0f));
    Vector3 push1, push2;
    bool hit1 = false, hit2 = false;
    if (game.walls->wall) hit1 = game.walls->wall->PushOut(position, forward, hitDistance, push1);
    if (game.walls->movingWall)
        hit2 = game.walls->movingWall->PushOut(position + Vector3(0.0f, kMovingWallProbeHeight, 0.0f), forward,
                                               hitDistance, push2);
    if (!hit1 && !hit2) return false;
    position += push1 + push2;
    return true;
}

bool Bike_base::HitBike(Vector3& otherCentre, float otherRadius) {
    const Vector3 d = world.Translation() - otherCentre;
    const float r = radius + otherRadius;
    const float length = d.Length();
    if (!(r > length)) return false;
    const Vector3 push = d.Normalized() * (r - length);
    position += push * 0.5f;
    otherCentre -= push * 0.5f;
    return true;
}

Vector3 Bike_base::RotateByYaw(const Vector3& v) const {
    return Vector3::TransformNormal(v, Matrix::CreateRotationY(yaw * kDegToRad));
}

void Bike_base::Draw() {
    AxModelShader& shader = AxShaderManager::GetInstance().modelShader;
    shader.worldMatrix = Motion().World(this, world);
    shader.DrawModel(model, nullptr);
    if (wheels) wheels->Draw();
}
