#pragma once
// The ghost of the player's best race: the player's bike drawn see-through
// at a pose it is given. It reads nothing of the race and nothing reads it:
// no collisions, no sounds, no switches.

#include "framework/graphics/AxRenderStates.h"
#include "profile/GhostTrack.h"

class AxModel;
class AxModelCache;

class GhostBike {
public:
    explicit GhostBike(AxModelCache& modelCache);
    // Drawn after everything solid, so the course shows through it.
    void Draw(const GhostPose& pose);

    AxModel* model = nullptr;
    AxModel* wheelModel = nullptr;

    // A pale blue at half strength. The model program also darkens by the
    // alpha, so the colour is lifted to make up for it.
    static constexpr float kTint[4] = {1.3f, 1.9f, 2.6f, 0.5f};

private:
    AxDepthStencilStatePtr noDepthWrite;
};
