#pragma once
#include "framework/graphics/AxResourceCache.h"
#include "framework/graphics/AxTexture.h"

class AxTextureCache : public AxResourceCache<AxTexture> {
public:
    AxTexture* GetTexture(std::string path) {
        return Get(path, [](AxTexture& texture, const std::string& p) { texture.Load(p); });
    }
};
