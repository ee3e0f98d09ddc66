#pragma once
#include "framework/graphics/AxModel.h"
#include "framework/graphics/AxResourceCache.h"

class AxModelCache : public AxResourceCache<AxModel> {
public:
    AxModel* GetModel(std::string path) {
        return Get(path, [](AxModel& model, const std::string& p) { model.Load(p); });
    }
};
