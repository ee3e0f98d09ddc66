#pragma once
// One of the two pads that move the sliding gate.

#include "stage/Switch_base.h"

class WallSwitch final : public Switch_base {
public:
    WallSwitch(Game& game, AxModelCache& modelCache, const Vector3& position);
    void Draw();

    // The pad sits this far above its given position; reach is measured from there.
    static constexpr float kLift = 0.1f;
};
