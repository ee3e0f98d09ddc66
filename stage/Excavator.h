#pragma once
// Scenery beside the course whose arm swings up and back down while the
// floor switch is held; one swing always completes once begun.

#include "framework/Math.h"
#include "stage/course/CourseData.h"

#include <memory>
#include <string>

class AxModel;
class AxModelCache;
class AxSoundEffect;
class AxSoundInstance;

class ExcavatorArm {
public:
    // The arm swings about the hinge across its own x; turn (degrees) turns that plane about the up axis.
    ExcavatorArm(AxModelCache& modelCache, const std::string& path, const Vector3& hinge, float turn = 0.0f);
    // One frame of the swing: 60 up, 60 down, one to come to rest.
    void Update();
    void Draw();

    AxModel* model = nullptr;
    Matrix pivot;
    Matrix rotation;
    Matrix world;
    float angle = 30.0f;
    bool moving = false;
    bool returning = false;
    float maxAngle = 150.0f;
    float minAngle = 30.0f;
    std::shared_ptr<AxSoundEffect> sound;
    std::shared_ptr<AxSoundInstance> instance;
    bool soundStarted = false;

    static constexpr float kStep = 2.0f;
};

class Excavator {
public:
    // The body and cable stand where their models put them; the arm swings about hinge.
    Excavator(AxModelCache& modelCache, const CourseLook& look, const Vector3& hinge);
    ~Excavator();
    Excavator(const Excavator&) = delete;
    Excavator& operator=(const Excavator&) = delete;
    void Draw();
    void Release();

    AxModel* bodyModel = nullptr;
    Matrix world;
    ExcavatorArm* arm = nullptr;
    AxModel* cableModel = nullptr;
};
