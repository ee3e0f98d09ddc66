#pragma once
// A looping engine per bike whose pitch follows its speed, and the 3D
// listener riding on the player's bike.

#include <memory>

class AxSoundEffect;
class AxSoundInstance;
class Game;

class EngineSound {
public:
    explicit EngineSound(Game& game);
    ~EngineSound();
    EngineSound(const EngineSound&) = delete;
    EngineSound& operator=(const EngineSound&) = delete;
    void Update();

    std::shared_ptr<AxSoundEffect> sounds[3];
    std::shared_ptr<AxSoundInstance> instances[3];
    float volume = 0.8f;
    bool started[3] = {false, false, false};

private:
    Game& game;
};
