#pragma once
// The bike driven from the keyboard: controls, race rank and the sounds that
// announce wall hits, laps, rank changes and the finish.

#include "bike/Bike_base.h"

class Player final : public Bike_base {
public:
    // On its start place, facing heading (degrees).
    Player(Game& game, AxModelCache& modelCache, const Vector3& start, float heading);
    ~Player();
    void Update() override;
    uint32_t GetRank();

    uint32_t rank = 1;
    uint32_t prevRank = 1;
    uint32_t lapSounded = 1;
    std::shared_ptr<AxSoundEffect> goalSound;
    std::shared_ptr<AxSoundInstance> goalInstance;
    bool goalPlayed = false;
    std::shared_ptr<AxSoundEffect> lapSound;
    std::shared_ptr<AxSoundInstance> lapInstance;
    std::shared_ptr<AxSoundEffect> rankUpSound;
    std::shared_ptr<AxSoundInstance> rankUpInstance;
    std::shared_ptr<AxSoundEffect> rankDownSound;
    std::shared_ptr<AxSoundInstance> rankDownInstance;
    float soundVolume = 0.2f;
    int32_t rankSoundCooldown = 0;

    static constexpr int32_t kRankSoundCooldown = 30;
};
