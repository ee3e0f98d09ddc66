#include "model/Texture.h"

#include "framework/ImageWrite.h"

#include <algorithm>
#include <cmath>

namespace gen {

void Image::Set(int x, int y, float r, float g, float b, float a) {
    if (x < 0 || y < 0 || x >= width || y >= height) return;
    uint8_t* p = &rgba[(size_t(y) * size_t(width) + size_t(x)) * 4];
    auto q = [](float v) { return uint8_t(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f)); };
    p[0] = q(r), p[1] = q(g), p[2] = q(b), p[3] = q(a);
}

void Image::Fill(int x0, int y0, int x1, int y1, float r, float g, float b, float a) {
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) Set(x, y, r, g, b, a);
}

bool Image::Save(const std::filesystem::path& path) const {
    std::error_code ec;
    std::filesystem::create_directories(path.parent_path(), ec);
    return WritePng(path.string(), width, height, rgba.data());
}

float Hash01(uint32_t a, uint32_t b, uint32_t seed) {
    uint32_t h = a * 374761393u + b * 668265263u + seed * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    h ^= h >> 16;
    return float(h & 0xffffff) / float(0x1000000);
}

float TileNoise(float u, float v, int cells, uint32_t seed) {
    float x = u * float(cells), y = v * float(cells);
    int x0 = int(std::floor(x)), y0 = int(std::floor(y));
    float fx = x - float(x0), fy = y - float(y0);
    auto lattice = [&](int i, int j) {
        i = ((i % cells) + cells) % cells;
        j = ((j % cells) + cells) % cells;
        return Hash01(uint32_t(i), uint32_t(j), seed);
    };
    auto s = [](float t) { return t * t * (3.0f - 2.0f * t); };
    float a = lattice(x0, y0), b = lattice(x0 + 1, y0), c = lattice(x0, y0 + 1), d = lattice(x0 + 1, y0 + 1);
    float sx = s(fx), sy = s(fy);
    return (a + (b - a) * sx) + ((c + (d - c) * sx) - (a + (b - a) * sx)) * sy;
}

}  // namespace gen
