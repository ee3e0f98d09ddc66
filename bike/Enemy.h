#pragma once
// A computer-driven bike: full throttle from shortly before the start,
// checkpoint steering with a random dead band, a reflex right turn on walls.

#include "bike/Bike_base.h"

class Enemy final : public Bike_base {
public:
    // The first computer bike, on the right of the grid.
    Enemy(Game& game, AxModelCache& modelCache);
    // The second computer bike, at the given start place.
    Enemy(Game& game, AxModelCache& modelCache, const Vector3& startPosition);
    ~Enemy();
    void Update() override;
};
