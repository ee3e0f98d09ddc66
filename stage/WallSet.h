#pragma once
// The fixed fence, the sliding gate and the two wall switches that move it.

#include "framework/Math.h"
#include "stage/course/CourseData.h"

#include <memory>
#include <string>
#include <vector>

class AxModel;
class AxModelCache;
class AxSoundEffect;
class AxSoundInstance;
class Game;
class WallSwitch;

// The fence round the course; authored in course coordinates.
struct Wall {
    Wall(AxModelCache& modelCache, const std::string& path);
    bool PushOut(const Vector3& origin, const Vector3& direction, float& distance, Vector3& push) const;

    AxModel* model = nullptr;
    Matrix world;
};

// The gate: slides across, from 3.0 to its right to 3.5 to its left of its placement
// (its own x runs to its right).
class MovingWall {
public:
    MovingWall(AxModelCache& modelCache, const std::string& path, const Matrix& placement, float angle);
    ~MovingWall();
    bool PushOut(const Vector3& origin, const Vector3& direction, float& distance, Vector3& push) const;
    void Update(bool trigger);

    AxModel* model = nullptr;
    Matrix world;
    Matrix rotation;
    Matrix placement;
    Matrix slide;
    Vector3 leftward;  // the way a positive offset moves it
    float offset = 0.0f;
    bool lowering = false;
    bool raising = false;
    std::shared_ptr<AxSoundEffect> sound;
    std::shared_ptr<AxSoundInstance> instance;
    bool soundPlayed = false;
};

class WallSet {
public:
    WallSet(Game& game, AxModelCache& modelCache, const CourseGameplay& course);
    ~WallSet();
    void Update();
    void Draw();
    void Release();

    Wall* wall = nullptr;
    MovingWall* movingWall = nullptr;
    bool trigger = false;
    std::vector<WallSwitch*> switches;
    bool switchOn[2] = {false, false};
    bool switchLatched[2] = {false, false};
};
