#pragma once
// A pad on the course that reports every frame whether a bike stands on it
// and clicks when a bike steps onto it while nobody was pressing it. The
// floor switch and the wall switches differ only in models, sound and place.

#include "framework/Math.h"

#include <memory>
#include <string>

class AxModel;
class AxModelCache;
class AxSoundEffect;
class AxSoundInstance;
class Game;

class Switch_base {
public:
    // True while at least one bike stands within reach of the centre.
    bool Update();

    AxModel* offModel = nullptr;
    AxModel* onModel = nullptr;
    Matrix world;
    Vector3 position;
    float radius = 0.9f;
    // Last frame's result, stored by the owner after Update.
    bool on = false;
    std::shared_ptr<AxSoundEffect> sound[2];
    std::shared_ptr<AxSoundInstance> instance[2];
    float volume = 1.0f;
    bool bikeInside[3] = {false, false, false};

    static constexpr float kCurveDistance = 3.0f;

protected:
    // centre is the world translation the distance test measures from.
    Switch_base(Game& game, AxModelCache& modelCache, const std::string& offPath, const std::string& onPath,
                const std::string& soundPath, const Vector3& position, const Vector3& centre);
    ~Switch_base() = default;  // owners delete switches through their concrete type
    void DrawModel(bool pressed);

    Game& game;
};
