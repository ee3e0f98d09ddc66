// The application icon for desktop menus: a square tile in the colours of the
// title logo, written outside Data because the game never loads it.

#include "Generator.h"
#include "media/Raster.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>

namespace media {
namespace {

namespace fs = std::filesystem;

// The sizes desktop environments look up in the hicolor theme.
constexpr int kSizes[] = {16, 32, 48, 64, 128, 256};

// Anti-aliased rounded square covering [x0, x1) x [y0, y1).
Mask RoundedSquare(int size, float x0, float y0, float x1, float y1, float radius) {
    Mask m(size, size);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const float px = x + 0.5f, py = y + 0.5f;
            const float qx = std::max({x0 + radius - px, px - (x1 - radius), 0.0f});
            const float qy = std::max({y0 + radius - py, py - (y1 - radius), 0.0f});
            const float inside = std::min(std::min(px - x0, x1 - px), std::min(py - y0, y1 - py));
            const float d = (qx > 0 || qy > 0) ? radius - std::hypot(qx, qy) : inside;
            m.ref(x, y) = std::clamp(d + 0.5f, 0.0f, 1.0f);
        }
    return m;
}

// The logo's swoosh, bent across the lower part of the tile.
Mask Swoosh(int size, float margin) {
    Mask m(size, size);
    const float n = float(size);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const float t = (x + 0.5f - margin) / (n - 2 * margin);
            if (t < 0 || t > 1) continue;
            const float centre = n * (0.80f - 0.07f * std::sin(t * 3.14159f) - 0.05f * t);
            const float half = std::max(0.6f, n * 0.055f * std::sin(std::pow(t, 0.8f) * 3.14159f));
            m.ref(x, y) = std::clamp(half - std::fabs(y + 0.5f - centre) + 0.5f, 0.0f, 1.0f);
        }
    return m;
}

Canvas MakeIcon(const Font& font, int size) {
    const float n = float(size);
    const bool tiny = size <= 32;  // too few pixels for the logo's white rim
    Canvas c(size, size);
    // Small icons use the whole square so the shape stays readable.
    const float margin = tiny ? 0.0f : n * 0.04f;
    const float radius = n * 0.18f;
    const Mask tile = RoundedSquare(size, margin, margin, n - margin, n - margin, radius);
    c.Paint(tile, 0, 0, Hex(0x140A24));
    const float border = std::max(1.0f, n * 0.02f);
    const Mask inner =
        RoundedSquare(size, margin + border, margin + border, n - margin - border, n - margin - border, radius - border);
    c.Paint(inner, 0, 0, [&](float x, float y) {
        const float t = std::clamp((y * 0.8f + x * 0.2f) / n, 0.0f, 1.0f);
        return t < 0.55f ? Mix(Hex(0x3A2A8C), Hex(0x1A0F3A), t / 0.55f) : Mix(Hex(0x1A0F3A), Hex(0x0C1430), (t - 0.55f) / 0.45f);
    });

    const Mask swoosh = Multiply(Swoosh(size, margin + border), inner);
    if (!tiny) c.Paint(Dilate(swoosh, n * 0.012f), 0, 0, Hex(0x140A24));
    c.Paint(swoosh, 0, 0, [&](float x, float) { return Mix(Hex(0xFF3A20), Hex(0x22C8FF), x / n); });

    // The leaning V of the logo's first word, centred a little above the swoosh.
    const float pixelSize = n * (tiny ? 0.98f : 0.86f);
    const TextMask tm = font.Render("V", pixelSize, 0.9f, 0.0f, std::max(4, size / 8));
    const Mask body = Shear(tm.mask, 0.2f, tm.baseline);
    const Box bb = InkBox(body);
    const int ox = int(std::lround(n * 0.5f - bb.cx()));
    const int oy = int(std::lround(n * (tiny ? 0.47f : 0.45f) - bb.cy()));
    const float k = n / 256.0f;
    if (tiny) {
        c.Paint(Dilate(body, std::max(1.0f, 1.2f * k * 8)), ox, oy, Hex(0x140A24));
    } else {
        // Rings at least a pixel wide each, or the white one turns grey at 48 px.
        const float dark = std::max(1.0f, 5.5f * k), white = dark + std::max(1.2f, 3.0f * k);
        Mask shadow = Dilate(body, white + std::max(1.0f, 2.5f * k));
        c.Paint(Blur(shadow, std::max(1, int(3 * k))), ox + int(std::lround(5 * k)), oy + int(std::lround(6 * k)),
                Hex(0x000000, 0.6f));
        c.Paint(shadow, ox, oy, Hex(0x140A24));
        c.Paint(Dilate(body, white), ox, oy, Hex(0xFFFFFF));
        c.Paint(Dilate(body, dark), ox, oy, Hex(0x1A0F3A));
    }
    const float top = float(oy + bb.y0), bottom = float(oy + bb.y1 + 1);
    c.Paint(body, ox, oy, [&](float, float y) {
        const float v = (y - top) / (bottom - top);
        if (v < 0.5f) return Mix(Hex(0xFFF7B0), Hex(0xFFB21A), v / 0.5f);
        return Mix(Hex(0xFF8A00), Hex(0xE0201A), (v - 0.5f) / 0.5f);
    });
    if (!tiny)
        c.Paint(body, ox, oy, [&](float, float y) {
            const float v = (y - top) / (bottom - top);
            return Rgba{1, 1, 1, v < 0.45f ? 0.4f * (1 - v / 0.45f) : 0.0f};
        });
    // Nothing may spill outside the tile.
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            Rgba p = c.Get(x, y);
            p[3] *= tile.at(x, y);
            c.Set(x, y, p);
        }
    return c;
}

bool GenerateIcons(const GenContext& ctx) {
    Font font;
    if (!LoadGameFont(font, "icons")) return false;
    bool ok = true;
    for (int size : kSizes) {
        const std::string dim = std::to_string(size) + "x" + std::to_string(size);
        const fs::path dir = ctx.outDir / "icons" / "hicolor" / dim / "apps";
        std::error_code ec;
        fs::create_directories(dir, ec);
        const fs::path path = dir / "vorlan-moto.png";
        if (ec || !MakeIcon(font, size).SavePng(path.string())) {
            std::fprintf(stderr, "icons: cannot write %s\n", path.c_str());
            ok = false;
        }
    }
    return ok;
}

VORLAN_REGISTER_GENERATOR("media-icons", 20, GenerateIcons);

}  // namespace
}  // namespace media
