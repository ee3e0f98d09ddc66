#pragma once
// The pad that drops the wood boxes and swings the excavator arm.

#include "stage/Switch_base.h"

class FloorSwitch final : public Switch_base {
public:
    FloorSwitch(Game& game, AxModelCache& modelCache, const Vector3& position);
    // Shown pressed for the whole swing of the arm.
    void Draw(bool armMoving);
};
