#pragma once
// Small procedural RGBA pictures for the model textures.
#include <cstdint>
#include <filesystem>
#include <vector>

namespace gen {

struct Image {
    int width = 0, height = 0;
    std::vector<uint8_t> rgba;
    Image(int w, int h) : width(w), height(h), rgba(size_t(w) * size_t(h) * 4, 255) {}
    void Set(int x, int y, float r, float g, float b, float a = 1.0f);
    void Fill(int x0, int y0, int x1, int y1, float r, float g, float b, float a = 1.0f);
    bool Save(const std::filesystem::path& path) const;
};

// Tileable value noise in [0, 1] with `cells` lattice cells across the period.
float TileNoise(float u, float v, int cells, uint32_t seed);
// Deterministic hash in [0, 1).
float Hash01(uint32_t a, uint32_t b, uint32_t seed);

}  // namespace gen
