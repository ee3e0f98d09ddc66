// The 2D art of the title, race and result screens and the effect textures.

#include "Generator.h"
#include "media/HudLayout.h"
#include "media/Raster.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <map>

namespace media {
namespace {

namespace fs = std::filesystem;
using layout::Rect;


// Digit art: the HUD shows them at half size with point sampling, so outlines are
// thick enough to survive every other texel being skipped.
TextStyle DigitStyle() {
    TextStyle s;
    s.fillTop = Hex(0xFFFFFF);
    s.fillBottom = Hex(0xFFC93C);
    s.fillMid = 0.45f;
    s.fillMidColour = Hex(0xFFF4C2);
    s.outline = Hex(0x1B1036);
    s.outlineRadius = 3.5f;
    s.shadow = Hex(0x000000, 0.6f);
    s.shadowDx = 2;
    s.shadowDy = 3;
    s.shadowBlur = 1;
    return s;
}

// Places a styled text so that its glyphs are centred on cx and sit on baseline y.
void PlaceCentred(Canvas& c, const StyledText& t, float cx, float baselineY) {
    int ox = int(std::lround(cx - t.bodyBox.cx()));
    int oy = int(std::lround(baselineY - t.baseline));
    DrawStyledText(c, t, ox, oy);
}
// Places a styled text with the left edge of its glyphs at x.
void PlaceLeft(Canvas& c, const StyledText& t, float x, float baselineY) {
    int ox = int(std::lround(x - t.bodyBox.x0));
    int oy = int(std::lround(baselineY - t.baseline));
    DrawStyledText(c, t, ox, oy);
}
// Centres the glyphs on (cx, cy) in both directions.
void PlaceMiddle(Canvas& c, const StyledText& t, float cx, float cy) {
    int ox = int(std::lround(cx - t.bodyBox.cx()));
    int oy = int(std::lround(cy - t.bodyBox.cy()));
    DrawStyledText(c, t, ox, oy);
}

std::vector<std::array<int, 4>> Rects(std::initializer_list<Rect> list) { return {list.begin(), list.end()}; }

// Deterministic smooth value noise for the soft textures.
float Hash(int x, int y, int seed) {
    uint32_t h = uint32_t(x) * 374761393u + uint32_t(y) * 668265263u + uint32_t(seed) * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return float((h ^ (h >> 16)) & 0xFFFF) / 65535.0f;
}
float ValueNoise(float x, float y, int seed) {
    int ix = int(std::floor(x)), iy = int(std::floor(y));
    float fx = x - ix, fy = y - iy;
    fx = fx * fx * (3 - 2 * fx);
    fy = fy * fy * (3 - 2 * fy);
    float a = Hash(ix, iy, seed), b = Hash(ix + 1, iy, seed), c = Hash(ix, iy + 1, seed), d = Hash(ix + 1, iy + 1, seed);
    return (a + (b - a) * fx) + ((c + (d - c) * fx) - (a + (b - a) * fx)) * fy;
}
float Fbm(float x, float y, int seed) {
    return 0.5f * ValueNoise(x, y, seed) + 0.3f * ValueNoise(2 * x, 2 * y, seed + 1) +
           0.2f * ValueNoise(4 * x, 4 * y, seed + 2);
}

// Anti-aliased disc coverage.
Mask Disc(int w, int h, float cx, float cy, float r) {
    Mask m(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            float d = std::hypot(x + 0.5f - cx, y + 0.5f - cy);
            m.ref(x, y) = std::clamp(r - d + 0.5f, 0.0f, 1.0f);
        }
    return m;
}

struct Atlas {
    std::string path;  // relative to Data
    Canvas canvas;
};

Canvas MakeDigits(const Font& font) {
    Canvas c(layout::kNumberW, layout::kNumberH);
    const TextStyle style = DigitStyle();
    for (int d = 0; d <= 9; ++d) {
        const Rect r = layout::Digit(d);
        StyledText t = MakeStyledText(font, std::string(1, char('0' + d)), 58.0f, 0.78f, 0, 0.0f, style);
        // Glyph 9 px below the cell top, 42 px tall, centred (shadow included) in the 67 px cell.
        PlaceCentred(c, t, r[0] + 33.5f - 1.0f, float(r[1] + 51));
    }
    std::vector<std::array<int, 4>> cells;
    for (int d = 0; d <= 9; ++d) cells.push_back(layout::Digit(d));
    c.ClipOutside(cells);
    return c;
}

Canvas MakeUi(const Font& font) {
    Canvas c(layout::kUiW, layout::kUiH);
    const TextStyle label = LabelStyle();
    const TextStyle sep = DigitStyle();
    const float slant = 0.16f;

    // Time row. The clock draws its digits over this label: minutes centred at x 276,
    // seconds at 344 and 396, thousandths from 449 on (outside the label). The colon sits
    // between minutes and seconds, the point between seconds and thousandths; the digits'
    // glyphs run from y 22 to 66 in this row.
    {
        StyledText word = MakeStyledText(font, "TIME", 54.0f, 0.92f, 1.0f, slant, label);
        PlaceLeft(c, word, 18.0f, 65.0f);
        StyledText colon = MakeStyledText(font, ":", 66.0f, 0.95f, 0, 0.0f, sep);
        PlaceMiddle(c, colon, 310.0f, 46.5f);
        StyledText point = MakeStyledText(font, ".", 54.0f, 0.85f, 0, 0.0f, sep);
        PlaceCentred(c, point, 421.5f, 65.0f);
    }
    // Rank row: the race shows 230 px of it, the result panel 300 px with the arrow
    // pointing at the rank badge.
    {
        StyledText word = MakeStyledText(font, "RANK", 54.0f, 0.92f, 1.0f, slant, label);
        PlaceCentred(c, word, 113.0f, 84 + 63.0f);
        StyledText arrow = MakeStyledText(font, "\xE2\x96\xB6", 40.0f, 0.8f, 0, 0.0f, sep);
        PlaceMiddle(c, arrow, 268.0f, 84 + 42.0f);
    }
    // Lap row: lap digit centred at x 229.5, the fixed 3 at 323.5, the slash between;
    // the digits' glyphs run from y 27 to 69 in this row.
    {
        StyledText word = MakeStyledText(font, "LAP", 54.0f, 0.92f, 1.0f, slant, label);
        PlaceLeft(c, word, 40.0f, 168 + 68.0f);
        StyledText slash = MakeStyledText(font, "/", 50.0f, 0.9f, 0, 0.0f, sep);
        PlaceMiddle(c, slash, 276.5f, 168 + 48.0f);
    }
    c.ClipOutside(Rects({layout::kTimeLabel, layout::kRankLabelResult, layout::kLapLabel}));
    return c;
}

Canvas MakeSigns(const Font& font) {
    Canvas c(layout::kSignW, layout::kSignH);
    auto countStyle = [](unsigned top, unsigned mid, unsigned bottom) {
        TextStyle s;
        s.fillTop = Hex(top);
        s.fillMid = 0.4f;
        s.fillMidColour = Hex(mid);
        s.fillBottom = Hex(bottom);
        s.outline = Hex(0x140A24);
        s.outlineRadius = 6.0f;
        s.rim = Hex(0xFFFFFF);
        s.rimRadius = 2.5f;
        s.shadow = Hex(0x000000, 0.55f);
        s.shadowDx = 4;
        s.shadowDy = 5;
        s.shadowBlur = 2;
        s.gloss = 0.35f;
        return s;
    };
    struct Glyph {
        const char* text;
        Rect cell;
        TextStyle style;
        float xScale;
    };
    const Glyph glyphs[] = {
        {"3", layout::kSign3, countStyle(0xFFD0C8, 0xFF5A3C, 0xC0102A), 0.82f},
        {"2", layout::kSign2, countStyle(0xFFF6C0, 0xFFC21F, 0xF06A00), 0.82f},
        {"1", layout::kSign1, countStyle(0xE8FFD0, 0x8CF04A, 0x1F9E3A), 0.82f},
    };
    for (const Glyph& g : glyphs) {
        StyledText t = MakeStyledText(font, g.text, 120.0f, g.xScale, 0, 0.0f, g.style);
        PlaceMiddle(c, t, g.cell[0] + g.cell[2] * 0.5f - 2, g.cell[1] + g.cell[3] * 0.5f - 2);
    }
    {
        TextStyle s = countStyle(0xFFFDE0, 0xFFE03A, 0xFF6A00);
        s.outlineRadius = 6.5f;
        s.rimRadius = 3.0f;
        StyledText t = MakeStyledText(font, "GO!", 112.0f, 0.95f, 2.0f, 0.2f, s);
        const Rect& r = layout::kSignGo;
        PlaceMiddle(c, t, r[0] + r[2] * 0.5f - 2, r[1] + r[3] * 0.5f - 2);
    }
    {
        // Finish banner: a waving chequered ribbon behind gold lettering.
        const Rect& r = layout::kFinish;
        Mask ribbon(r[2], r[3]), border(r[2], r[3]);
        Canvas flag(r[2], r[3]);
        const float mid = r[3] * 0.5f;
        for (int y = 0; y < r[3]; ++y)
            for (int x = 0; x < r[2]; ++x) {
                float wave = 7.0f * std::sin(x * 0.018f);
                float top = mid - 30 + wave, bottom = mid + 30 + wave;
                float taper = std::clamp(std::min(x - 8.0f, r[2] - 8.0f - x) / 40.0f, 0.0f, 1.0f);
                float halfH = 30.0f * (0.55f + 0.45f * taper);
                top = mid + wave - halfH;
                bottom = mid + wave + halfH;
                float inside = std::clamp(std::min(y + 0.5f - top, bottom - (y + 0.5f)) + 0.5f, 0.0f, 1.0f);
                float edge = std::clamp(std::min(y + 0.5f - (top - 3), (bottom + 3) - (y + 0.5f)) + 0.5f, 0.0f, 1.0f);
                float ends = std::clamp(std::min(x - 6.0f, r[2] - 7.0f - x) + 0.5f, 0.0f, 1.0f);
                ribbon.ref(x, y) = inside * ends;
                border.ref(x, y) = edge * std::clamp(std::min(x - 3.0f, r[2] - 4.0f - x) + 0.5f, 0.0f, 1.0f);
            }
        c.Paint(border, r[0], r[1], Hex(0x140A24, 0.9f));
        c.Paint(ribbon, r[0], r[1], [&](float x, float y) {
            float lx = x - r[0], ly = y - r[1];
            float wave = 7.0f * std::sin(lx * 0.018f);
            int cx = int(std::floor(lx / 15.0f)), cy = int(std::floor((ly - wave - mid) / 15.0f + 8));
            bool dark = ((cx + cy) & 1) != 0;
            float shade = 0.85f + 0.15f * std::cos(lx * 0.018f);
            Rgba col = dark ? Hex(0x1A1A22) : Hex(0xF4F4F8);
            for (int i = 0; i < 3; ++i) col[i] *= shade;
            col[3] = 0.92f;
            return col;
        });
        TextStyle s = countStyle(0xFFFFF0, 0xFFD84A, 0xE07A00);
        s.outlineRadius = 6.5f;
        s.rimRadius = 3.0f;
        StyledText t = MakeStyledText(font, "FINISH!", 100.0f, 0.95f, 3.0f, 0.2f, s);
        PlaceMiddle(c, t, r[0] + r[2] * 0.5f - 2, r[1] + r[3] * 0.5f - 2);
    }
    c.ClipOutside(Rects({layout::kSign3, layout::kSign2, layout::kSign1, layout::kSignGo, layout::kFinish}));
    return c;
}

Canvas MakeRank(const Font& font, int rank) {
    Canvas c(layout::kRankW, layout::kRankH);
    struct Metal {
        unsigned light, base, dark;
    };
    const Metal metals[3] = {{0xFFF1A0, 0xF2B81A, 0x8A5A00}, {0xFFFFFF, 0xC4CDD6, 0x5E6A78}, {0xFFD0A0, 0xD08040, 0x6A3410}};
    const Metal& m = metals[rank - 1];
    const float cx = 45.0f, cy = 42.0f;
    // Ribbon tails behind the medal.
    {
        Mask tails(90, 97);
        for (int y = 0; y < 97; ++y)
            for (int x = 0; x < 90; ++x) {
                float fx = x + 0.5f, fy = y + 0.5f;
                auto tail = [&](float x0, float x1, float lean) {
                    float shift = (fy - 60) * lean;
                    float left = x0 + shift, right = x1 + shift;
                    float notch = 92 - 7 * (1 - std::fabs((fx - (left + right) * 0.5f) / ((right - left) * 0.5f)));
                    float in = std::min({fx - left, right - fx, fy - 55, notch - fy});
                    return std::clamp(in + 0.5f, 0.0f, 1.0f);
                };
                tails.ref(x, y) = std::max(tail(24, 42, -0.35f), tail(48, 66, 0.35f));
            }
        c.Paint(Dilate(tails, 2.5f), 0, 0, Hex(0x140A24));
        const unsigned ribbonColours[3] = {0xE0283C, 0x2A6CE0, 0x20A050};
        c.Paint(tails, 0, 0, [&](float x, float) {
            Rgba a = Hex(ribbonColours[rank - 1]);
            Rgba b = Hex(0xFFFFFF);
            return (std::fmod(x, 12.0f) < 3.0f) ? Mix(a, b, 0.35f) : a;
        });
    }
    c.Paint(Blur(Disc(90, 97, cx + 2, cy + 3, 40.5f), 2), 0, 0, Hex(0x000000, 0.5f));
    c.Paint(Disc(90, 97, cx, cy, 40.5f), 0, 0, Hex(0x140A24));
    c.Paint(Disc(90, 97, cx, cy, 38.0f), 0, 0, [&](float x, float y) {
        float t = ((x - cx) * 0.5f + (y - cy)) / 50.0f + 0.5f;
        return t < 0.5f ? Mix(Hex(m.light), Hex(m.base), t * 2) : Mix(Hex(m.base), Hex(m.dark), (t - 0.5f) * 2);
    });
    c.Paint(Disc(90, 97, cx, cy, 31.0f), 0, 0, Hex(m.dark, 0.9f));
    c.Paint(Disc(90, 97, cx, cy, 29.5f), 0, 0, [&](float x, float y) {
        float t = ((x - cx) * 0.3f + (y - cy)) / 45.0f + 0.5f;
        return Mix(Hex(m.base), Hex(m.light), 1.0f - t);
    });
    TextStyle s;
    s.fillTop = Hex(0xFFFFFF);
    s.fillBottom = Hex(0xFFF3D8);
    s.outline = Hex(0x140A24);
    s.outlineRadius = 3.5f;
    s.shadow = Hex(0x000000, 0.45f);
    s.shadowDx = 2;
    s.shadowDy = 2;
    s.shadowBlur = 1;
    StyledText digit = MakeStyledText(font, std::string(1, char('0' + rank)), 50.0f, 0.9f, 0, 0.0f, s);
    const char* suffixes[3] = {"st", "nd", "rd"};
    TextStyle small = s;
    small.outlineRadius = 2.5f;
    StyledText suffix = MakeStyledText(font, suffixes[rank - 1], 19.0f, 0.9f, 0, 0.0f, small);
    const float total = digit.bodyBox.width() + 2 + suffix.bodyBox.width();
    const float left = cx - total * 0.5f;
    const float baseline = cy + 18.0f;
    PlaceLeft(c, digit, left, baseline);
    PlaceLeft(c, suffix, left + digit.bodyBox.width() + 2, baseline - 18.0f);
    // A glint on the rim.
    Mask glint = Blur(Disc(90, 97, cx - 18, cy - 22, 5.0f), 1);
    c.Paint(Multiply(glint, Disc(90, 97, cx, cy, 38.0f)), 0, 0, Hex(0xFFFFFF, 0.8f));
    c.ClipOutside(Rects({layout::kRank}));
    return c;
}

Canvas MakeLogo(const Font& font) {
    Canvas c(layout::kLogoW, layout::kLogoH);
    const float size = 112.0f, xScale = 0.86f, slant = 0.2f;
    TextMask tm = font.Render("Vorlan Moto", size, xScale, -1.0f, 30);
    Mask body = Shear(tm.mask, slant, tm.baseline);
    Box bb = InkBox(body);
    const int ox = int(std::lround(layout::kLogoW * 0.5f - bb.cx())) - 2;
    const int oy = int(std::lround(layout::kLogoH * 0.5f - bb.cy())) - 8;
    // The split between the two words, in canvas x.
    TextMask first = font.Render("Vorlan", size, xScale, -1.0f, 30);
    const float splitX = ox + first.penX + first.advance + 0.5f * size * 0.3f;

    // Swoosh under the lettering.
    Mask swoosh(layout::kLogoW, layout::kLogoH);
    const float baseY = oy + tm.baseline;
    for (int y = 0; y < layout::kLogoH; ++y)
        for (int x = 0; x < layout::kLogoW; ++x) {
            float t = (x - 20.0f) / (layout::kLogoW - 40.0f);
            if (t < 0 || t > 1) continue;
            float centre = baseY + 16 - 10 * std::sin(t * 3.14159f) + 4 * t;
            float half = 1.0f + 6.5f * std::sin(std::pow(t, 0.8f) * 3.14159f);
            swoosh.ref(x, y) = std::clamp(half - std::fabs(y + 0.5f - centre) + 0.5f, 0.0f, 1.0f);
        }
    Mask swooshLine = Dilate(swoosh, 2.5f);
    c.Paint(Blur(swooshLine, 2), 3, 4, Hex(0x000000, 0.5f));
    c.Paint(swooshLine, 0, 0, Hex(0x140A24));
    c.Paint(swoosh, 0, 0, [&](float x, float) {
        return Mix(Hex(0xFF3A20), Hex(0x22C8FF), (x - 200.0f) / 400.0f);
    });

    Mask outer = Dilate(body, 10.5f);
    Mask white = Dilate(body, 8.0f);
    Mask dark = Dilate(body, 5.5f);
    Mask shadow(outer.w, outer.h);
    for (int y = 0; y < outer.h; ++y)
        for (int x = 0; x < outer.w; ++x) shadow.ref(x, y) = outer.at(x - 5, y - 6);
    c.Paint(Blur(shadow, 3), ox, oy, Hex(0x000000, 0.6f));
    c.Paint(outer, ox, oy, Hex(0x140A24));
    c.Paint(white, ox, oy, Hex(0xFFFFFF));
    c.Paint(dark, ox, oy, Hex(0x1A0F3A));
    const float top = float(oy + bb.y0), bottom = float(oy + bb.y1 + 1);
    c.Paint(body, ox, oy, [&](float x, float y) {
        float v = (y - top) / (bottom - top);
        if (x < splitX) {
            if (v < 0.5f) return Mix(Hex(0xFFF7B0), Hex(0xFFB21A), v / 0.5f);
            return Mix(Hex(0xFF8A00), Hex(0xE0201A), (v - 0.5f) / 0.5f);
        }
        if (v < 0.5f) return Mix(Hex(0xEFFFFF), Hex(0x4FD8FF), v / 0.5f);
        return Mix(Hex(0x1EA8FF), Hex(0x2040D0), (v - 0.5f) / 0.5f);
    });
    // Sheen over the upper half and a thin bright line across the middle of the letters.
    c.Paint(body, ox, oy, [&](float, float y) {
        float v = (y - top) / (bottom - top);
        float g = v < 0.45f ? 0.4f * (1 - v / 0.45f) : 0.0f;
        if (std::fabs(v - 0.5f) < 0.018f) g = 0.55f;
        return Rgba{1, 1, 1, g};
    });
    c.ClipOutside(Rects({layout::kLogo}));
    return c;
}

Canvas MakePush(const Font& font) {
    Canvas c(layout::kPushW, layout::kPushH);
    TextStyle s;
    s.fillTop = Hex(0xFFFFFF);
    s.fillBottom = Hex(0xC8E6FF);
    s.outline = Hex(0x0C1430);
    s.outlineRadius = 3.5f;
    s.shadow = Hex(0x000000, 0.6f);
    s.shadowDx = 2;
    s.shadowDy = 3;
    s.shadowBlur = 1;
    StyledText title = MakeStyledText(font, "PRESS ENTER TO START", 31.0f, 0.95f, 2.0f, 0.0f, s);
    PlaceMiddle(c, title, layout::kPushW * 0.5f - 1, 23.0f - 1);
    StyledText result = MakeStyledText(font, "PRESS ENTER TO CONTINUE", 31.0f, 0.95f, 2.0f, 0.0f, s);
    PlaceMiddle(c, result, layout::kPushW * 0.5f - 1, 46 + 23.0f - 1);
    c.ClipOutside(Rects({layout::kPushTitle, layout::kPushResult}));
    return c;
}

Canvas MakeSmoke(bool sand) {
    const int n = layout::kSmokeSize;
    Canvas c(n, n);
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            float u = (x + 0.5f) / n * 2 - 1, v = (y + 0.5f) / n * 2 - 1;
            float r = std::sqrt(u * u + v * v);
            float noise = Fbm(x / 9.0f, y / 9.0f, sand ? 11 : 3);
            float edge = r + (noise - 0.5f) * (sand ? 0.45f : 0.3f);
            float a = std::clamp(1.0f - edge, 0.0f, 1.0f);
            a = a * a * (3 - 2 * a);
            a *= std::clamp((0.96f - r) / 0.2f, 0.0f, 1.0f);  // always clear at the quad's border
            float alpha = a * (sand ? 0.8f : 0.7f) * (0.75f + 0.25f * noise);
            float shade = 0.78f + 0.22f * noise - 0.12f * std::max(0.0f, v);
            Rgba col = sand ? Hex(0xD2B07C) : Hex(0xF4F6F8);
            for (int i = 0; i < 3; ++i) col[i] = std::min(1.0f, col[i] * shade + (sand ? 0.0f : 0.1f));
            col[3] = std::clamp(alpha, 0.0f, 1.0f);
            c.Set(x, y, col);
        }
    return c;
}

Canvas MakeShadow() {
    const int n = layout::kSmokeSize;
    Canvas c(n, n);
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            float u = (x + 0.5f) / n * 2 - 1, v = (y + 0.5f) / n * 2 - 1;
            float r = std::sqrt(u * u + v * v);
            float a = std::clamp((1.0f - r) / 0.6f, 0.0f, 1.0f);
            a = a * a * (3 - 2 * a);
            c.Set(x, y, {0.02f, 0.02f, 0.03f, 0.7f * a});
        }
    return c;
}

// ---- Preview: the screens laid out as the game places its sprites ----------------------

struct Image {
    int w = 0, h = 0;
    std::vector<unsigned char> rgba;
};

Image ToImage(const Canvas& c) { return {c.width(), c.height(), c.ToRgba8()}; }

struct Screen {
    static constexpr int W = 1280, H = 720;
    std::vector<float> rgb = std::vector<float>(size_t(W) * H * 3);

    // Sprite at screen position (tx, ty) (origin at the centre, +Y up), uniform scale,
    // pivot in the sprite's own size, point sampling, alpha below 0.1 discarded.
    void Draw(const Image& img, const Rect& src, float scale, float tx, float ty, float pivX, float pivY,
              float alpha = 1.0f) {
        const float w = float(src[2]), h = float(src[3]);
        const float x0 = -w * pivX, y0 = -h * pivY;
        for (int py = 0; py < H; ++py)
            for (int px = 0; px < W; ++px) {
                float X = px + 0.5f - W / 2.0f, Y = H / 2.0f - (py + 0.5f);
                float lx = (X - tx) / scale, ly = (Y - ty) / scale;
                if (lx < x0 || lx >= x0 + w || ly < y0 || ly >= y0 + h) continue;
                int sx = src[0] + int(std::floor(lx - x0));
                int sy = src[1] + int(std::floor(y0 + h - ly));
                if (sx < 0 || sy < 0 || sx >= img.w || sy >= img.h) continue;
                const unsigned char* t = &img.rgba[(size_t(sy) * img.w + sx) * 4];
                float a = t[3] / 255.0f;
                if (a < 0.1f) continue;
                a *= alpha;
                float* d = &rgb[(size_t(py) * W + px) * 3];
                for (int i = 0; i < 3; ++i) d[i] = t[i] / 255.0f * a + d[i] * (1 - a);
            }
    }
    void Background() {
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) {
                float* d = &rgb[(size_t(y) * W + x) * 3];
                if (y < 330) {
                    float t = y / 330.0f;
                    d[0] = 0.35f + 0.4f * t;
                    d[1] = 0.6f + 0.25f * t;
                    d[2] = 0.95f;
                } else {
                    float t = (y - 330) / 390.0f;
                    float road = std::fabs(x - 640.0f) < 60 + 600 * t ? 1.0f : 0.0f;
                    float n = Fbm(x / 6.0f, y / 6.0f, 5);
                    d[0] = road ? 0.32f + 0.08f * n : 0.78f + 0.1f * n;
                    d[1] = road ? 0.32f + 0.08f * n : 0.64f + 0.1f * n;
                    d[2] = road ? 0.36f + 0.08f * n : 0.42f + 0.08f * n;
                    if (road && std::fabs(x - 640.0f) < 4 + 8 * t && int(y * (1 + t)) % 60 < 30)
                        d[0] = d[1] = d[2] = 0.95f;
                }
            }
    }
    bool Save(const std::string& path) const;
};

}  // namespace
}  // namespace media

#include "framework/ImageWrite.h"

namespace media {
namespace {

bool Screen::Save(const std::string& path) const {
    std::vector<unsigned char> out(size_t(W) * H * 4);
    for (size_t i = 0; i < size_t(W) * H; ++i) {
        for (int c = 0; c < 3; ++c) out[i * 4 + c] = (unsigned char)std::lround(std::clamp(rgb[i * 3 + c], 0.0f, 1.0f) * 255);
        out[i * 4 + 3] = 255;
    }
    return WritePng(path, W, H, out.data());
}

void DrawNumber(Screen& s, const Image& numbers, const char* text, float scale, float x, float step, float y) {
    const int n = int(std::strlen(text));
    for (int k = 0; k < n; ++k) {
        char ch = text[n - 1 - k];
        s.Draw(numbers, layout::Digit(ch - '0'), scale, x - step * k, y, 1, 1);
    }
}

bool WritePreviews(const fs::path& dir, std::map<std::string, Image>& tex) {
    const Image& logo = tex["name"];
    const Image& push = tex["push"];
    const Image& ui = tex["NewUI"];
    const Image& sg = tex["sg"];
    const Image& num = tex["Number"];
    bool ok = true;
    {
        Screen s;
        s.Background();
        s.Draw(logo, layout::kLogo, 1, 0, 200, 0.5f, 0.5f);
        s.Draw(push, layout::kPushTitle, 1, 0, 0, 0.5f, 0.5f, 0.8f);
        ok &= s.Save((dir / "title.png").string());
    }
    for (int variant = 0; variant < 2; ++variant) {
        Screen s;
        s.Background();
        if (variant == 0) s.Draw(sg, layout::kSign2, 1, 20, 100, 0.5f, 0.5f, 0.9f);
        else s.Draw(sg, layout::kSignGo, 1, 20, 100, 0.5f, 0.5f, 0.8f);
        s.Draw(ui, layout::kTimeLabel, 0.5f, -510, 310, 0.5f, 0.5f);
        DrawNumber(s, num, variant == 0 ? "00000" : "23456", 0.5f, -330, 25, 325);
        DrawNumber(s, num, variant == 0 ? "0" : "1", 0.5f, -465, 0, 325);
        s.Draw(ui, layout::kLapLabel, 0.5f, -495, 260, 0.5f, 0.5f);
        DrawNumber(s, num, variant == 0 ? "1" : "2", 0.5f, -467, 0, 272);
        DrawNumber(s, num, "3", 0.5f, -420, 0, 272);
        s.Draw(ui, layout::kRankLabelRace, 1, 380, 300, 0.5f, 0.5f);
        s.Draw(tex[variant == 0 ? "rank3" : "rank2"], layout::kRank, 1, 570, 305, 0.5f, 0.5f);
        ok &= s.Save((dir / (variant == 0 ? "race-countdown.png" : "race.png")).string());
    }
    {
        Screen s;
        s.Background();
        s.Draw(sg, layout::kFinish, 1, 0, 200, 0.5f, 0.5f);
        s.Draw(ui, layout::kRankLabelResult, 1, -80, 15, 0.5f, 0.5f);
        s.Draw(tex["rank1"], layout::kRank, 1, 140, 20, 0.5f, 0.5f);
        s.Draw(ui, layout::kTimeLabel, 1, 0, -100, 0.5f, 0.5f);
        DrawNumber(s, num, "07345", 1, 370, 53, -75);
        DrawNumber(s, num, "2", 1, 90, 0, -75);
        s.Draw(push, layout::kPushResult, 1, 0, -250, 0.5f, 0.5f, 0.8f);
        ok &= s.Save((dir / "result.png").string());
    }
    return ok;
}

bool GenerateHud(const GenContext& ctx) {
    Font font;
    if (!LoadGameFont(font, "media")) return false;
    const fs::path texDir = ctx.dataDir / "Texture";
    std::error_code ec;
    fs::create_directories(texDir / "Rank", ec);
    if (ec) return false;

    std::vector<std::pair<std::string, Canvas>> out;
    out.emplace_back("name", MakeLogo(font));
    out.emplace_back("push", MakePush(font));
    out.emplace_back("NewUI", MakeUi(font));
    out.emplace_back("sg", MakeSigns(font));
    out.emplace_back("Number", MakeDigits(font));
    for (int r = 1; r <= 3; ++r) out.emplace_back("Rank/rank" + std::to_string(r), MakeRank(font, r));
    out.emplace_back("WhiteSmoke", MakeSmoke(false));
    out.emplace_back("SandSmoke", MakeSmoke(true));
    out.emplace_back("shadow", MakeShadow());
    {
        Canvas black(1280, 720);
        for (int y = 0; y < 720; ++y)
            for (int x = 0; x < 1280; ++x) black.Set(x, y, {0, 0, 0, 1});
        out.emplace_back("black", std::move(black));
    }
    bool ok = true;
    std::map<std::string, Image> images;
    for (auto& [name, canvas] : out) {
        const fs::path path = texDir / (name + ".png");
        if (!canvas.SavePng(path.string())) {
            std::fprintf(stderr, "media: cannot write %s\n", path.c_str());
            ok = false;
        }
        std::string key = name.rfind("Rank/", 0) == 0 ? name.substr(5) : name;
        images[key] = ToImage(canvas);
    }
    const fs::path previewDir = ctx.outDir / "preview";
    fs::create_directories(previewDir, ec);
    if (!ec) ok &= WritePreviews(previewDir, images);
    return ok;
}

VORLAN_REGISTER_GENERATOR("media-hud", 20, GenerateHud);

}  // namespace
}  // namespace media
