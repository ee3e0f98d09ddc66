#pragma once
// A computer-driven bike: full throttle from shortly before the start,
// checkpoint steering with a random dead band, a reflex right turn on walls.

#include "bike/Bike_base.h"

class Enemy final : public Bike_base {
public:
    // The first (slot 1) or second computer bike, on its start place facing heading (degrees).
    Enemy(Game& game, AxModelCache& modelCache, int slot, const Vector3& start, float heading);
    ~Enemy();
    void Update() override;
};
