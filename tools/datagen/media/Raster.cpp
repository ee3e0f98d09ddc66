#include "media/Raster.h"

#include "framework/ImageWrite.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>

#define STB_TRUETYPE_IMPLEMENTATION
#define STBTT_STATIC
#include <stb_truetype.h>

namespace media {

Rgba Hex(unsigned rgb, float alpha) {
    return {((rgb >> 16) & 255) / 255.0f, ((rgb >> 8) & 255) / 255.0f, (rgb & 255) / 255.0f, alpha};
}

Rgba Mix(const Rgba& a, const Rgba& b, float t) {
    t = std::clamp(t, 0.0f, 1.0f);
    Rgba r;
    for (int i = 0; i < 4; ++i) r[i] = a[i] + (b[i] - a[i]) * t;
    return r;
}

Box InkBox(const Mask& m, float threshold) {
    Box b{m.w, m.h, -1, -1};
    for (int y = 0; y < m.h; ++y)
        for (int x = 0; x < m.w; ++x)
            if (m.a[size_t(y) * m.w + x] >= threshold) {
                b.x0 = std::min(b.x0, x);
                b.y0 = std::min(b.y0, y);
                b.x1 = std::max(b.x1, x);
                b.y1 = std::max(b.y1, y);
            }
    if (b.x1 < 0) return Box{};
    return b;
}

Mask Dilate(const Mask& m, float radius) {
    if (radius <= 0) return m;
    struct Tap {
        int dx, dy;
        float weight;
    };
    std::vector<Tap> taps;
    const int r = int(std::ceil(radius + 0.5f));
    for (int dy = -r; dy <= r; ++dy)
        for (int dx = -r; dx <= r; ++dx) {
            float w = std::clamp(radius + 0.5f - std::sqrt(float(dx * dx + dy * dy)), 0.0f, 1.0f);
            if (w > 0) taps.push_back({dx, dy, w});
        }
    Mask out(m.w, m.h);
    for (int y = 0; y < m.h; ++y)
        for (int x = 0; x < m.w; ++x) {
            float best = 0;
            for (const Tap& t : taps) {
                int sx = x + t.dx, sy = y + t.dy;
                if (sx < 0 || sy < 0 || sx >= m.w || sy >= m.h) continue;
                float v = m.a[size_t(sy) * m.w + sx] * t.weight;
                if (v > best) best = v;
            }
            out.a[size_t(y) * m.w + x] = best;
        }
    return out;
}

Mask Blur(const Mask& m, int radius, int passes) {
    if (radius <= 0) return m;
    Mask cur = m, tmp(m.w, m.h);
    const float norm = 1.0f / float(2 * radius + 1);
    for (int p = 0; p < passes; ++p) {
        for (int y = 0; y < m.h; ++y) {
            float acc = 0;
            for (int x = -radius; x <= radius; ++x) acc += cur.at(x, y);
            for (int x = 0; x < m.w; ++x) {
                tmp.ref(x, y) = acc * norm;
                acc += cur.at(x + radius + 1, y) - cur.at(x - radius, y);
            }
        }
        for (int x = 0; x < m.w; ++x) {
            float acc = 0;
            for (int y = -radius; y <= radius; ++y) acc += tmp.at(x, y);
            for (int y = 0; y < m.h; ++y) {
                cur.ref(x, y) = acc * norm;
                acc += tmp.at(x, y + radius + 1) - tmp.at(x, y - radius);
            }
        }
    }
    return cur;
}

Mask Pad(const Mask& m, int margin) {
    Mask out(m.w + 2 * margin, m.h + 2 * margin);
    for (int y = 0; y < m.h; ++y)
        for (int x = 0; x < m.w; ++x) out.ref(x + margin, y + margin) = m.a[size_t(y) * m.w + x];
    return out;
}

Mask Shear(const Mask& m, float slant, float baseline) {
    Mask out(m.w, m.h);
    for (int y = 0; y < m.h; ++y) {
        const float shift = slant * (baseline - (y + 0.5f));
        const float fl = std::floor(shift);
        const int s = int(fl);
        const float f = shift - fl;
        for (int x = 0; x < m.w; ++x) {
            // Output x takes from source x - shift, interpolated between two cells.
            float v = m.at(x - s, y) * (1 - f) + m.at(x - s - 1, y) * f;
            out.ref(x, y) = v;
        }
    }
    return out;
}

Mask Multiply(const Mask& a, const Mask& b) {
    Mask out(a.w, a.h);
    for (size_t i = 0; i < out.a.size(); ++i) out.a[i] = a.a[i] * (i < b.a.size() ? b.a[i] : 0.0f);
    return out;
}

Mask Subtract(const Mask& a, const Mask& b) {
    Mask out(a.w, a.h);
    for (size_t i = 0; i < out.a.size(); ++i) out.a[i] = std::max(0.0f, a.a[i] - (i < b.a.size() ? b.a[i] : 0.0f));
    return out;
}

struct Font::Info {
    stbtt_fontinfo font;
};

bool Font::Load(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (data.size() < 64) return false;
    auto fi = std::make_shared<Info>();
    int offset = stbtt_GetFontOffsetForIndex(data.data(), 0);
    if (offset < 0 || !stbtt_InitFont(&fi->font, data.data(), offset)) return false;
    info = fi;
    return true;
}

namespace {
// Minimal UTF-8 decoding; the HUD texts are ASCII but the logo may use more.
std::vector<int> Codepoints(const std::string& s) {
    std::vector<int> out;
    for (size_t i = 0; i < s.size();) {
        unsigned char c = s[i];
        int cp = c, extra = 0;
        if (c >= 0xF0) cp = c & 7, extra = 3;
        else if (c >= 0xE0) cp = c & 15, extra = 2;
        else if (c >= 0xC0) cp = c & 31, extra = 1;
        ++i;
        for (int k = 0; k < extra && i < s.size(); ++k, ++i) cp = (cp << 6) | (s[i] & 63);
        out.push_back(cp);
    }
    return out;
}
}  // namespace

TextMask Font::Render(const std::string& text, float pixelSize, float xScale, float tracking, int margin) const {
    TextMask result;
    if (!info) return result;
    const stbtt_fontinfo* f = &info->font;
    const float scale = stbtt_ScaleForMappingEmToPixels(f, pixelSize);
    const float sx = scale * xScale, sy = scale;
    int ascent, descent, gap;
    stbtt_GetFontVMetrics(f, &ascent, &descent, &gap);
    const std::vector<int> cps = Codepoints(text);

    // First pass: pen positions and extent.
    std::vector<float> pens;
    float pen = 0;
    for (size_t i = 0; i < cps.size(); ++i) {
        pens.push_back(pen);
        int adv, lsb;
        stbtt_GetCodepointHMetrics(f, cps[i], &adv, &lsb);
        pen += adv * sx + tracking;
        if (i + 1 < cps.size()) pen += stbtt_GetCodepointKernAdvance(f, cps[i], cps[i + 1]) * sx;
    }
    result.advance = pen - (cps.empty() ? 0 : tracking);
    const int top = int(std::ceil(ascent * sy));
    const int bottom = int(std::ceil(-descent * sy));
    const int width = int(std::ceil(pen + pixelSize * 0.3f)) + 2 * margin;
    const int height = top + bottom + 2 * margin;
    result.mask = Mask(width, height);
    result.baseline = float(margin + top);
    result.penX = float(margin);

    for (size_t i = 0; i < cps.size(); ++i) {
        const float gx = result.penX + pens[i];
        const float fx = gx - std::floor(gx);
        int x0, y0, x1, y1;
        stbtt_GetCodepointBitmapBoxSubpixel(f, cps[i], sx, sy, fx, 0, &x0, &y0, &x1, &y1);
        const int bw = x1 - x0, bh = y1 - y0;
        if (bw <= 0 || bh <= 0) continue;
        std::vector<unsigned char> bmp(size_t(bw) * bh);
        stbtt_MakeCodepointBitmapSubpixel(f, bmp.data(), bw, bh, bw, sx, sy, fx, 0, cps[i]);
        const int ox = int(std::floor(gx)) + x0;
        const int oy = int(result.baseline) + y0;
        for (int y = 0; y < bh; ++y)
            for (int x = 0; x < bw; ++x) {
                int tx = ox + x, ty = oy + y;
                if (tx < 0 || ty < 0 || tx >= width || ty >= height) continue;
                float v = bmp[size_t(y) * bw + x] / 255.0f;
                float& d = result.mask.ref(tx, ty);
                d = std::min(1.0f, d + v);  // touching glyphs merge instead of leaving seams
            }
    }
    return result;
}

Canvas::Canvas(int width, int height) : w(width), h(height), px(size_t(width) * height * 4, 0.0f) {}

void Canvas::Paint(const Mask& m, int ox, int oy, const std::function<Rgba(float, float)>& colour, float opacity) {
    for (int y = 0; y < m.h; ++y) {
        const int cy = oy + y;
        if (cy < 0 || cy >= h) continue;
        for (int x = 0; x < m.w; ++x) {
            const int cx = ox + x;
            if (cx < 0 || cx >= w) continue;
            const float cov = m.a[size_t(y) * m.w + x] * opacity;
            if (cov <= 0) continue;
            const Rgba c = colour(cx + 0.5f, cy + 0.5f);
            const float a = std::clamp(c[3] * cov, 0.0f, 1.0f);
            float* d = &px[(size_t(cy) * w + cx) * 4];
            for (int i = 0; i < 3; ++i) d[i] = c[i] * a + d[i] * (1 - a);
            d[3] = a + d[3] * (1 - a);
        }
    }
}

void Canvas::Paint(const Mask& m, int ox, int oy, const Rgba& colour, float opacity) {
    Paint(m, ox, oy, [&](float, float) { return colour; }, opacity);
}

Rgba Canvas::Get(int x, int y) const {
    const float* s = &px[(size_t(y) * w + x) * 4];
    if (s[3] <= 0) return {0, 0, 0, 0};
    return {s[0] / s[3], s[1] / s[3], s[2] / s[3], s[3]};
}

void Canvas::Set(int x, int y, const Rgba& c) {
    float* d = &px[(size_t(y) * w + x) * 4];
    d[0] = c[0] * c[3];
    d[1] = c[1] * c[3];
    d[2] = c[2] * c[3];
    d[3] = c[3];
}

void Canvas::ClipOutside(const std::vector<std::array<int, 4>>& rects) {
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            bool inside = false;
            for (const auto& r : rects)
                if (x >= r[0] && y >= r[1] && x < r[0] + r[2] && y < r[1] + r[3]) inside = true;
            if (!inside) Set(x, y, {0, 0, 0, 0});
        }
}

std::vector<unsigned char> Canvas::ToRgba8() const {
    std::vector<unsigned char> out(size_t(w) * h * 4);
    for (size_t i = 0; i < size_t(w) * h; ++i) {
        const float* s = &px[i * 4];
        const float a = std::clamp(s[3], 0.0f, 1.0f);
        // Quantising to alpha 0 drops fringes nobody sees; keep colour under faint alpha so
        // filtering never pulls in black.
        for (int c = 0; c < 3; ++c) {
            float v = a > 0 ? s[c] / a : 0.0f;
            out[i * 4 + c] = (unsigned char)std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f);
        }
        out[i * 4 + 3] = (unsigned char)std::lround(a * 255.0f);
    }
    return out;
}

bool Canvas::SavePng(const std::string& path) const {
    std::vector<unsigned char> rgba = ToRgba8();
    return WritePng(path, w, h, rgba.data());
}

StyledText MakeStyledText(const Font& font, const std::string& text, float pixelSize, float xScale, float tracking,
                          float slant, const TextStyle& style) {
    const int margin = int(std::ceil(style.outlineRadius + style.rimRadius + std::fabs(style.shadowDx) +
                                     std::fabs(style.shadowDy) + 3 * style.shadowBlur + 4 +
                                     std::fabs(slant) * pixelSize));
    TextMask tm = font.Render(text, pixelSize, xScale, tracking, margin);
    StyledText st;
    st.style = style;
    st.baseline = tm.baseline;
    st.body = slant != 0 ? Shear(tm.mask, slant, tm.baseline) : tm.mask;
    st.bodyBox = InkBox(st.body);
    // Everything that will be painted, for the caller's placement and the cell checks.
    Mask outline = Dilate(st.body, style.outlineRadius + style.rimRadius);
    Mask shadow(outline.w, outline.h);
    const int dx = int(std::lround(style.shadowDx)), dy = int(std::lround(style.shadowDy));
    for (int y = 0; y < outline.h; ++y)
        for (int x = 0; x < outline.w; ++x) shadow.ref(x, y) = outline.at(x - dx, y - dy);
    shadow = Blur(shadow, style.shadowBlur);
    st.fullInk = Mask(outline.w, outline.h);
    for (size_t i = 0; i < outline.a.size(); ++i)
        st.fullInk.a[i] = std::max(outline.a[i], shadow.a[i] * style.shadow[3]);
    st.totalBox = InkBox(st.fullInk, 0.5f / 255.0f);
    return st;
}

void DrawStyledText(Canvas& canvas, const StyledText& t, int ox, int oy) {
    const TextStyle& s = t.style;
    Mask outline = Dilate(t.body, s.outlineRadius);
    if (s.rim[3] > 0 && s.rimRadius > 0) {
        Mask rim = Dilate(t.body, s.outlineRadius + s.rimRadius);
        Mask shadow(rim.w, rim.h);
        const int dx = int(std::lround(s.shadowDx)), dy = int(std::lround(s.shadowDy));
        for (int y = 0; y < rim.h; ++y)
            for (int x = 0; x < rim.w; ++x) shadow.ref(x, y) = rim.at(x - dx, y - dy);
        canvas.Paint(Blur(shadow, s.shadowBlur), ox, oy, s.shadow);
        canvas.Paint(rim, ox, oy, s.rim);
    } else {
        Mask shadow(outline.w, outline.h);
        const int dx = int(std::lround(s.shadowDx)), dy = int(std::lround(s.shadowDy));
        for (int y = 0; y < outline.h; ++y)
            for (int x = 0; x < outline.w; ++x) shadow.ref(x, y) = outline.at(x - dx, y - dy);
        canvas.Paint(Blur(shadow, s.shadowBlur), ox, oy, s.shadow);
    }
    canvas.Paint(outline, ox, oy, s.outline);
    const float top = float(t.bodyBox.y0 + oy), bottom = float(t.bodyBox.y1 + 1 + oy);
    canvas.Paint(t.body, ox, oy, [&](float, float y) {
        float v = (y - top) / std::max(1.0f, bottom - top);
        if (s.fillMid >= 0) {
            if (v < s.fillMid) return Mix(s.fillTop, s.fillMidColour, v / s.fillMid);
            return Mix(s.fillMidColour, s.fillBottom, (v - s.fillMid) / (1 - s.fillMid));
        }
        return Mix(s.fillTop, s.fillBottom, v);
    });
    if (s.gloss > 0) {
        // A sheen over the upper part, faded out before the middle of the letters.
        canvas.Paint(t.body, ox, oy, [&](float, float y) {
            float v = (y - top) / std::max(1.0f, bottom - top);
            float g = v < 0.42f ? s.gloss * (1.0f - v / 0.42f) : 0.0f;
            return Rgba{1, 1, 1, g};
        });
    }
}

bool LoadGameFont(Font& font, const char* tool) {
    const char* const path = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";
    if (font.Load(path)) return true;
    std::fprintf(stderr, "%s: cannot load font %s (install fonts-dejavu-core)\n", tool, path);
    return false;
}

TextStyle LabelStyle() {
    TextStyle s;
    s.fillTop = Hex(0xF2FEFF);
    s.fillMid = 0.5f;
    s.fillMidColour = Hex(0x7FE3FF);
    s.fillBottom = Hex(0x1E8CFF);
    s.outline = Hex(0x0C1430);
    s.outlineRadius = 4.0f;
    s.shadow = Hex(0x000000, 0.6f);
    s.shadowDx = 3;
    s.shadowDy = 3;
    s.shadowBlur = 1;
    return s;
}

bool SaveTexture(const Canvas& canvas, const std::filesystem::path& dataDir, const std::string& name) {
    const std::filesystem::path dir = dataDir / "Texture";
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    const std::filesystem::path path = dir / name;
    if (ec || !canvas.SavePng(path.string())) {
        std::fprintf(stderr, "media: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

}  // namespace media
