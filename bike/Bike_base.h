#pragma once
// What the three bikes share: the frame-locked movement model, laps and
// checkpoints, the wheels and the wall-hit sound. The derived bikes decide in
// Update when to accelerate and how to steer.

#include "framework/Math.h"

#include <cstdint>
#include <memory>

class AxModel;
class AxModelCache;
class AxSoundEffect;
class AxSoundInstance;
class Game;

// The pure motion rules; angles in degrees.
class BikeMotion {
public:
    static BikeMotion& GetInstance();
    Vector3 Advance(const Vector3& position, float speed, float yaw) const;
    float TurnRight(float yaw) const { return yaw + kTurnRate; }
    float TurnLeft(float yaw) const { return yaw - kTurnRate; }
    float LeanRight(float lean) const;
    float LeanLeft(float lean) const;
    float RecoverLean(float lean) const;
    Matrix MakeWorld(float yaw, float lean, const Vector3& position) const;
    Matrix MakeHeadingWorld(float yaw, const Vector3& position) const;

    static constexpr float kTurnRate = 1.5f;
    static constexpr float kLeanRate = 2.0f;
    static constexpr float kMaxLean = 45.0f;
};

class BikeWheels {
public:
    BikeWheels(Game& game, AxModelCache& modelCache, const Matrix& bikeWorld);
    void SetOffsets(const Matrix& bikeWorld, float frontZ, float rearZ);
    void Update(const Matrix& bikeWorld, float speed);
    void Draw();

    AxModel* model = nullptr;
    Matrix frontWorld;
    Matrix rearWorld;
    Matrix frontOffset;
    Matrix rearOffset;
    float spin = 0.0f;

private:
    Game& game;
};

class Bike_base {
public:
    explicit Bike_base(Game& game);
    Bike_base(const Bike_base&) = delete;
    Bike_base& operator=(const Bike_base&) = delete;
    virtual void Update() = 0;

    void Move();
    void UpdateCheckpoint();
    void SteerToCheckpoint();
    bool HitWall();
    bool HitBike(Vector3& otherCentre, float otherRadius);
    Vector3 RotateByYaw(const Vector3& v) const;
    void Draw();

    void TurnRight();
    void TurnLeft();
    void Throttle();

    static constexpr float kFriction = 0.005f;
    static constexpr float kThrottle = 0.01f;
    static constexpr float kOverSpeedBrake = 0.01f;
    static constexpr float kRideHeight = 0.2f;
    static constexpr float kFinishCruise = 0.2f;
    static constexpr float kFinishBrake = 0.01f;
    static constexpr float kCheckpointReach = 20.0f;
    // One slot more than the checkpoint reader keeps, so the slot after the
    // last listed point always reads the start/finish point at the origin.
    static constexpr size_t kCheckpointSlots = 60;

    BikeWheels* wheels = nullptr;
    AxModel* model = nullptr;
    Matrix world;
    Vector3 position;
    float yaw = 0.0f;
    float lean = 0.0f;
    float speed = 0.0f;
    float maxSpeed = 0.4f;
    float hitDistance = 0.0f;
    float radius = 0.4f;
    Matrix headingWorld;
    uint32_t lap = 1;
    int32_t steerTolerance = 5;
    uint32_t checkpointIndex = 0;
    Vector3 toCheckpoint;
    Vector3 checkpoints[kCheckpointSlots];
    Vector3 checkpointDir;
    uint32_t finishLap = 4;
    bool accelerating = false;
    std::shared_ptr<AxSoundEffect> wallHitSound;
    std::shared_ptr<AxSoundInstance> wallHitInstance;
    bool hitWall = false;
    bool wallHitLatched = false;
    float wallHitVolume = 2.0f;

protected:
    ~Bike_base();  // owners delete bikes through their concrete type
    Game& game;
};
