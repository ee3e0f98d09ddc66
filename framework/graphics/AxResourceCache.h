#pragma once
// Stand-in until the caches land: every lookup misses.
#include <string>

class AxTexture;

class AxTextureCache {
public:
    AxTexture* GetTexture(const std::string& /*path*/) { return nullptr; }
};
