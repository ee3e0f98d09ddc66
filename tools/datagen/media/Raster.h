#pragma once
// Small 2D toolkit for the HUD art: coverage masks, anti-aliased text from a
// TrueType font, outlines, soft shadows and an RGBA canvas that composites them.

#include <array>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace media {

struct Mask {
    int w = 0, h = 0;
    std::vector<float> a;
    Mask() = default;
    Mask(int width, int height) : w(width), h(height), a(size_t(width) * height, 0.0f) {}
    float at(int x, int y) const { return (x < 0 || y < 0 || x >= w || y >= h) ? 0.0f : a[size_t(y) * w + x]; }
    float& ref(int x, int y) { return a[size_t(y) * w + x]; }
};

struct Box {
    int x0 = 0, y0 = 0, x1 = -1, y1 = -1;  // inclusive; empty when x1 < x0
    bool empty() const { return x1 < x0; }
    float cx() const { return 0.5f * (x0 + x1 + 1); }
    float cy() const { return 0.5f * (y0 + y1 + 1); }
    int width() const { return x1 - x0 + 1; }
    int height() const { return y1 - y0 + 1; }
};

using Rgba = std::array<float, 4>;  // straight alpha, 0..1

Rgba Hex(unsigned rgb, float alpha = 1.0f);
Rgba Mix(const Rgba& a, const Rgba& b, float t);

// Bounding box of the cells whose coverage reaches the threshold.
Box InkBox(const Mask& m, float threshold = 0.02f);

// Grows the shape by radius pixels with an anti-aliased rim.
Mask Dilate(const Mask& m, float radius);
// Repeated box blur; approximately gaussian.
Mask Blur(const Mask& m, int radius, int passes = 3);
// Copies the mask into a larger one with the given margin on every side.
Mask Pad(const Mask& m, int margin);
// Leans the shape to the right above baseline y (italic); rows move by slant * (baseline - y).
Mask Shear(const Mask& m, float slant, float baseline);
Mask Multiply(const Mask& a, const Mask& b);
Mask Subtract(const Mask& a, const Mask& b);

struct TextMask {
    Mask mask;
    float baseline = 0;  // mask row of the baseline
    float penX = 0;      // mask column where the pen started
    float advance = 0;   // total advance in pixels
};

class Font {
public:
    bool Load(const std::string& path);
    // Renders a line of text at the given pixel size (em height), squeezed horizontally
    // by xScale, with extra letter spacing, and margin pixels of empty space around it.
    TextMask Render(const std::string& text, float pixelSize, float xScale = 1.0f, float tracking = 0.0f,
                    int margin = 16) const;

private:
    std::vector<unsigned char> data;
    struct Info;
    std::shared_ptr<Info> info;
};

class Canvas {
public:
    Canvas(int width, int height);
    int width() const { return w; }
    int height() const { return h; }
    // Composites colour(x, y) (canvas coordinates) through the mask placed with its
    // top-left at (ox, oy); opacity scales the mask.
    void Paint(const Mask& m, int ox, int oy, const std::function<Rgba(float, float)>& colour, float opacity = 1.0f);
    void Paint(const Mask& m, int ox, int oy, const Rgba& colour, float opacity = 1.0f);
    // Straight-alpha pixel.
    Rgba Get(int x, int y) const;
    void Set(int x, int y, const Rgba& c);
    // Clears everything outside the rectangle to transparent (keeps art inside its sprite cell).
    void ClipOutside(const std::vector<std::array<int, 4>>& rects);
    std::vector<unsigned char> ToRgba8() const;
    bool SavePng(const std::string& path) const;

private:
    int w, h;
    std::vector<float> px;  // premultiplied
};

// A styled line of text: fill gradient, outline, optional outer rim and a drop shadow.
struct TextStyle {
    Rgba fillTop = Hex(0xFFFFFF), fillBottom = Hex(0xFFFFFF);
    float fillMid = -1.0f;  // >= 0: position of an extra stop with colour fillMidColour
    Rgba fillMidColour = Hex(0xFFFFFF);
    Rgba outline = Hex(0x14102A);
    float outlineRadius = 4.0f;
    Rgba rim = Hex(0xFFFFFF, 0.0f);  // alpha 0: no rim
    float rimRadius = 0.0f;          // beyond the outline
    Rgba shadow = Hex(0x000000, 0.55f);
    float shadowDx = 3, shadowDy = 3;
    int shadowBlur = 2;
    float gloss = 0.0f;  // white sheen over the upper part of the fill
};

struct StyledText {
    Mask body;         // the glyphs
    float baseline;    // row of the baseline in the masks
    Box bodyBox;       // ink of the glyphs only
    Box totalBox;      // ink of everything drawn (shadow and rim included)
    Mask fullInk;      // union of everything drawn, for placement checks
    TextStyle style;
};

StyledText MakeStyledText(const Font& font, const std::string& text, float pixelSize, float xScale, float tracking,
                          float slant, const TextStyle& style);
// Draws the styled text with its mask origin at (ox, oy).
void DrawStyledText(Canvas& canvas, const StyledText& t, int ox, int oy);

// The game's lettering face (DejaVu Sans Bold from fonts-dejavu-core); on
// failure says which package is missing, naming the asking tool.
bool LoadGameFont(Font& font, const char* tool);
// The look of the race screens' labels: pale cyan to blue with a dark outline.
TextStyle LabelStyle();

// Writes the canvas as Data/Texture/<name> (folders made as needed); false,
// after saying so on standard error, when it cannot.
bool SaveTexture(const Canvas& canvas, const std::filesystem::path& dataDir, const std::string& name);

}  // namespace media
