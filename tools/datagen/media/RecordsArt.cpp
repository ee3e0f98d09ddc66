// The records' art on the race screens: the BEST and LAP 1 to 3 labels (laid
// out as the clock's TIME label, so the clock's digits fall on their colon and
// point), the NEW RECORD banner, and the lap split's green and red figures.

#include "Generator.h"
#include "media/Raster.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace media {
namespace {

namespace fs = std::filesystem;
using Rect = std::array<int, 4>;

// The game cuts Records.png with exactly these cells (scene/RecordsHud.h).
constexpr int kWidth = 804, kHeight = 574;
constexpr int kRowW = 438, kRowH = 84;
constexpr Rect kNewRecord{0, 336, 640, 110};
constexpr int kCell = 67, kCellH = 64;
constexpr int kFasterY = 446, kSlowerY = 510;
constexpr Rect Row(int n) { return {0, kRowH * n, kRowW, kRowH}; }
constexpr Rect SplitCell(bool faster, int cell) { return {kCell * cell, faster ? kFasterY : kSlowerY, kCell, kCellH}; }

void PlaceLeft(Canvas& c, const StyledText& t, float x, float baselineY) {
    DrawStyledText(c, t, int(std::lround(x - t.bodyBox.x0)), int(std::lround(baselineY - t.baseline)));
}
void PlaceCentred(Canvas& c, const StyledText& t, float cx, float baselineY) {
    DrawStyledText(c, t, int(std::lround(cx - t.bodyBox.cx())), int(std::lround(baselineY - t.baseline)));
}
void PlaceMiddle(Canvas& c, const StyledText& t, float cx, float cy) {
    DrawStyledText(c, t, int(std::lround(cx - t.bodyBox.cx())), int(std::lround(cy - t.bodyBox.cy())));
}

// The clock's digits' look, with the gold swapped for the split's colour.
TextStyle FigureStyle(unsigned top, unsigned bottom) {
    TextStyle s;
    s.fillTop = Hex(top);
    s.fillBottom = Hex(bottom);
    s.fillMid = 0.45f;
    s.fillMidColour = Hex(top);
    s.outline = Hex(0x1B1036);
    s.outlineRadius = 3.5f;
    s.shadow = Hex(0x000000, 0.6f);
    s.shadowDx = 2;
    s.shadowDy = 3;
    s.shadowBlur = 1;
    return s;
}

// A label row: the word on the left, the colon and the point where the clock
// puts them (see the TIME label of the HUD atlas).
void DrawRow(Canvas& c, const Font& font, const std::string& word, int row) {
    const TextStyle label = LabelStyle();
    TextStyle sep = FigureStyle(0xFFFFFF, 0xFFC93C);
    const float top = float(kRowH * row);
    const float size = word.size() > 4 ? 46.0f : 54.0f;
    StyledText text = MakeStyledText(font, word, size, 0.92f, 1.0f, 0.16f, label);
    PlaceLeft(c, text, 18.0f, top + 65.0f);
    StyledText colon = MakeStyledText(font, ":", 66.0f, 0.95f, 0, 0.0f, sep);
    PlaceMiddle(c, colon, 310.0f, top + 46.5f);
    StyledText point = MakeStyledText(font, ".", 54.0f, 0.85f, 0, 0.0f, sep);
    PlaceCentred(c, point, 421.5f, top + 65.0f);
}

void DrawFigures(Canvas& c, const Font& font, bool faster) {
    const TextStyle style = faster ? FigureStyle(0xE8FFD8, 0x2FCB4A) : FigureStyle(0xFFE0DA, 0xE5312B);
    auto put = [&](const std::string& glyph, int cell, float size) {
        const Rect r = SplitCell(faster, cell);
        StyledText t = MakeStyledText(font, glyph, size, 0.78f, 0, 0.0f, style);
        PlaceCentred(c, t, r[0] + 33.5f - 1.0f, float(r[1] + 51));
    };
    for (int d = 0; d <= 9; ++d) put(std::string(1, char('0' + d)), d, 58.0f);
    // Faster is a time taken off, slower a time added.
    const Rect sign = SplitCell(faster, 10);
    StyledText t = MakeStyledText(font, faster ? "-" : "+", 62.0f, 1.0f, 0, 0.0f, style);
    PlaceMiddle(c, t, sign[0] + 33.0f, sign[1] + 30.0f);
    put(".", 11, 58.0f);
}

void DrawBanner(Canvas& c, const Font& font) {
    TextStyle s;
    s.fillTop = Hex(0xFFFDE0);
    s.fillMid = 0.4f;
    s.fillMidColour = Hex(0xFFE03A);
    s.fillBottom = Hex(0xFF6A00);
    s.outline = Hex(0x140A24);
    s.outlineRadius = 5.0f;
    s.rim = Hex(0xFFFFFF);
    s.rimRadius = 2.0f;
    s.shadow = Hex(0x000000, 0.55f);
    s.shadowDx = 3;
    s.shadowDy = 4;
    s.shadowBlur = 2;
    s.gloss = 0.3f;
    StyledText t = MakeStyledText(font, "NEW RECORD", 74.0f, 0.92f, 2.0f, 0.16f, s);
    PlaceMiddle(c, t, kNewRecord[0] + kNewRecord[2] * 0.5f, kNewRecord[1] + kNewRecord[3] * 0.5f);
}

bool GenerateRecords(const GenContext& ctx) {
    Font font;
    if (!LoadGameFont(font, "media")) return false;
    Canvas canvas(kWidth, kHeight);
    DrawRow(canvas, font, "BEST", 0);
    for (int lap = 1; lap <= 3; ++lap) DrawRow(canvas, font, "LAP " + std::to_string(lap), lap);
    DrawBanner(canvas, font);
    DrawFigures(canvas, font, true);
    DrawFigures(canvas, font, false);
    std::vector<std::array<int, 4>> cells{Row(0), Row(1), Row(2), Row(3), kNewRecord};
    for (bool faster : {true, false})
        for (int cell = 0; cell < 12; ++cell) cells.push_back(SplitCell(faster, cell));
    canvas.ClipOutside(cells);

    return SaveTexture(canvas, ctx.dataDir, "Records.png");
}

}  // namespace

VORLAN_REGISTER_GENERATOR("media-records", 21, GenerateRecords);

}  // namespace media
