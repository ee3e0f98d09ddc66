#pragma once
// The wood boxes, their fragments, the floor switch and the excavator.

#include "framework/Math.h"
#include "stage/course/CourseData.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class AxModel;
class AxModelCache;
class AxSoundEffect;
class AxSoundInstance;
class Game;
class FloorSwitch;
class Excavator;

// A breakable box: falls onto the course when activated, rests, and is
// lifted out of play when a bike drives into it.
class WoodBox {
public:
    WoodBox(AxModelCache& modelCache, const std::string& modelPath, const Vector3& position);
    void Update();
    // A triangle of the box within reach straight ahead of origin.
    bool HitTest(const Vector3& origin, const Vector3& direction);
    void Lift(float height);
    void Draw();

    AxModel* model = nullptr;
    Matrix world;
    Vector3 position;
    float fallSpeed = 0.0f;
    Vector3 hitNormal;
    std::shared_ptr<AxSoundEffect> fallSound;
    std::shared_ptr<AxSoundInstance> fallInstance;

    static constexpr float kGravity = 0.01f;
    static constexpr float kHitReach = 0.5f;
};

// A spinning piece of a smashed box, thrown up and falling out of sight.
class BoxFragment {
public:
    BoxFragment(AxModelCache& modelCache, const Vector3& spawnPosition);
    void Update();
    void Draw();

    AxModel* models[3] = {nullptr, nullptr, nullptr};
    Vector3 position;
    Matrix world;
    Matrix scale;
    Matrix rotation;
    Vector3 velocity;
    int32_t modelIndex = 0;
    int32_t spinAxis = 0;
    int32_t spinSpeed = 0;
    float angle = 0.0f;
};

class ObstacleManager {
public:
    ObstacleManager(Game& game, AxModelCache& modelCache, const CourseData& course);
    ~ObstacleManager();
    ObstacleManager(const ObstacleManager&) = delete;
    ObstacleManager& operator=(const ObstacleManager&) = delete;
    void Update(AxModelCache& modelCache);
    void Draw();
    void Release();
    void UpdateBox(uint32_t index, AxModelCache& modelCache);

    // For the trace: the arm's state (0 / false without an excavator).
    float ArmAngle() const;
    bool ArmMoving() const;
    Vector3 BoxPosition(size_t i) const;

    std::vector<WoodBox*> boxes;
    std::vector<BoxFragment*> fragments;
    FloorSwitch* floorSwitch = nullptr;
    Excavator* excavator = nullptr;
    uint32_t fragmentsPerHit = 20;
    float hitSpeedPenalty = 0.2f;
    bool boxActive[8] = {};
    bool activationLatched = false;
    bool switchOn = false;
    std::shared_ptr<AxSoundEffect> boxHitSound[2];
    std::shared_ptr<AxSoundInstance> boxHitInstance[2];
    float boxHitVolume = 30.0f;

    static constexpr size_t kMaxBoxes = 8;
    // Smashed boxes wait up here until the next activation.
    static constexpr float kLiftHeight = 9.0f;
    static constexpr float kHitSpeedCap = 0.3f;
    static constexpr float kFragmentSpawnHeight = 0.8f;
    // Fragments below this are gone.
    static constexpr float kFragmentFloor = -0.5f;

private:
    Game& game;
};
