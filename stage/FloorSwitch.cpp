#include "stage/FloorSwitch.h"

FloorSwitch::FloorSwitch(Game& game, AxModelCache& modelCache, const Vector3& position)
    : Switch_base(game, modelCache, "Data/Obstacle/Switch/switchOFF.gltf", "Data/Obstacle/Switch/switchON.gltf",
                  "Data/Sound/Box/boxswitch.wav", position, position) {}

void FloorSwitch::Draw(bool armMoving) { DrawModel(on || armMoving); }
