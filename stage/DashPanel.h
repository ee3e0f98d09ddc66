#pragma once
// A boost strip: a bike seen on it in one frame runs at 0.7 in the next.

#include "framework/Math.h"

#include <memory>
#include <string>

class AxModel;
class AxModelCache;
class AxSoundEffect;
class AxSoundInstance;
class Game;

class DashPanel {
public:
    DashPanel(Game& game, AxModelCache& modelCache, const std::string& modelPath, const Matrix& placement, float angle);
    void Update();
    void Draw();

    AxModel* model = nullptr;
    Matrix world;
    Matrix placement;
    Matrix rotation;
    Vector2 uvOffset;
    bool bikeOnPanel[3] = {false, false, false};
    float boostSpeed = 0.7f;
    std::shared_ptr<AxSoundEffect> sound[2];
    std::shared_ptr<AxSoundInstance> instance[2];
    float volume = 0.5f;

private:
    Game& game;
};
