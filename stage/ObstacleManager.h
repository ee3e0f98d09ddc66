#pragma once
// The wood boxes, their fragments, the floor switch and the excavator.

#include "framework/Math.h"

#include <memory>
#include <vector>

class AxModelCache;
class Game;
class WoodBox;
class BoxFragment;
class FloorSwitch;
class Excavator;

class ObstacleManager {
public:
    ObstacleManager(Game& game, AxModelCache& modelCache);
    ~ObstacleManager();
    void Update(AxModelCache& modelCache);
    void Draw();
    void Release();

    // For the trace: the arm's state (0 / false without an excavator).
    float ArmAngle() const;
    bool ArmMoving() const;
    Vector3 BoxPosition(size_t i) const;

    std::vector<WoodBox*> boxes;
    std::vector<BoxFragment*> fragments;
    FloorSwitch* floorSwitch = nullptr;
    Excavator* excavator = nullptr;
    bool boxActive[8] = {};
    bool activationLatched = false;
    bool switchOn = false;

    static constexpr size_t kMaxBoxes = 8;
};
