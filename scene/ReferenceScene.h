#pragma once
// Measuring sticks for the frame's cost on this machine: "empty" only clears
// and presents; "floor" also shades every pixel once with the model program,
// the road's texture and the game's samplers, the least a 3D frame can cost.

#include "app/Scene_base.h"

#include <memory>
#include <string>

class AxModel;

class ReferenceScene : public Scene_base {
public:
    explicit ReferenceScene(const std::string& mode);
    ~ReferenceScene() override;
    void Draw() override;

private:
    bool floor = false;
    std::unique_ptr<AxModel> quad;
};
