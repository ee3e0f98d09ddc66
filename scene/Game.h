#pragma once
#include "app/Scene_base.h"

// The race scene. Until the stage exists it is an empty screen of the shared
// clear colour.
class Game : public Scene_base {
public:
    Game() = default;
};
