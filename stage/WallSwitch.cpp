#include "stage/WallSwitch.h"

WallSwitch::WallSwitch(Game& game, AxModelCache& modelCache, const Vector3& position)
    : Switch_base(game, modelCache, "Data/Obstacle/Switch/WallSwitchOFF.gltf",
                  "Data/Obstacle/Switch/WallSwitchON.gltf", "Data/Sound/Wall/wallswitch.wav", position,
                  Vector3(position.x, position.y + kLift, position.z)) {}

void WallSwitch::Draw() { DrawModel(on); }
