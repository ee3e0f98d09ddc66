#pragma once
// The road and the ground, the per-bike road/sand test, and the stage's
// short-lived effects: exhaust puffs, sand clouds and bike shadows.

#include "framework/Math.h"

#include <memory>
#include <vector>

class AxModel;
class AxModelCache;
class AxTextureCache;
class AxSoundEffect;
class AxSoundInstance;
class Game;

class Course {
public:
    Course(Game& game, AxModelCache& modelCache);
    ~Course();
    Course(const Course&) = delete;
    Course& operator=(const Course&) = delete;
    void Update(AxTextureCache* textureCache);
    void Draw();

    // Live effect counts (the trace reads them).
    size_t WhiteSmokeCount() const;
    size_t SandSmokeCount() const;

    AxModel* roadModel = nullptr;
    AxModel* groundModel = nullptr;
    Matrix world;
    std::shared_ptr<AxSoundEffect> dirtSounds[3];
    std::shared_ptr<AxSoundInstance> dirtInstances[3];
    float dirtVolumes[3] = {1.0f, 1.0f, 1.0f};
    bool onSand[3] = {false, false, false};

private:
    Game& game;
};
