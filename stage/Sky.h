#pragma once
#include "framework/Math.h"

#include <string>

class AxModel;
class AxModelCache;

// The sky dome, drawn unlit.
class Sky {
public:
    Sky(AxModelCache& modelCache, const std::string& path);
    void Draw();

    AxModel* model = nullptr;
    Matrix world;
};
