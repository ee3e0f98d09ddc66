#pragma once
// The start countdown and the race clock of one race.

#include <cstdint>
#include <memory>

class AxTexture;
class AxTextureCache;
class AxSoundEffect;
class AxSoundInstance;

class RaceTimer {
public:
    explicit RaceTimer(AxTextureCache* textureCache);
    ~RaceTimer();
    RaceTimer(const RaceTimer&) = delete;
    RaceTimer& operator=(const RaceTimer&) = delete;

    void Update();
    void Draw();
    // Takes the clock references again (the race begins now).
    void Restart();
    // Moves the references on by a pause.
    void Shift(uint32_t ms);
    // The race so far in milliseconds, as the clock shows it.
    uint32_t ElapsedMs() const;

    int time = 0;
    int minutes = 0;
    int countdown = 7;
    uint32_t startTime = 0;
    uint32_t lastTick = 0;
    AxTexture* numberTex = nullptr;
    AxTexture* uiTex = nullptr;
    AxTexture* signTex = nullptr;
    bool capped = false;
    float countAlpha = 1.0f;
    std::shared_ptr<AxSoundEffect> countSound;
    std::shared_ptr<AxSoundInstance> countInst;
};
