#pragma once
#include "framework/Math.h"

class AxModel;
class AxModelCache;

// The sky dome, drawn unlit.
class Sky {
public:
    explicit Sky(AxModelCache& modelCache);
    void Draw();

    AxModel* model = nullptr;
    Matrix world;
};
