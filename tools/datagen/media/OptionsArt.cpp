// The options screen's atlas: its title, the names of its lines, the word
// values, the notes, a set of letters for key names and numbers, and plain
// tiles for the panel and the chosen line.

#include "Generator.h"
#include "media/Raster.h"
#include "scene/OptionsLayout.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace media {
namespace {

namespace fs = std::filesystem;
namespace L = options_layout;

// The race screens' labels, thinner for the smaller sizes.
TextStyle SmallStyle(float outline) {
    TextStyle s = LabelStyle();
    s.outlineRadius = outline;
    s.shadowDx = 2;
    s.shadowDy = 2;
    s.shadowBlur = 1;
    return s;
}

// Glyphs with their left edge at x + pad, vertically centred in the cell.
void PlaceInCell(Canvas& c, const StyledText& t, const L::Cell& cell, bool centred) {
    const float cx = centred ? cell[0] + cell[2] / 2.0f : cell[0] + 10.0f + (t.bodyBox.cx() - t.bodyBox.x0);
    const int ox = int(std::lround(cx - t.bodyBox.cx()));
    // The baseline a little below the middle, the same for every cell of a row.
    const int oy = int(std::lround(cell[1] + cell[3] * 0.68f - t.baseline));
    DrawStyledText(c, t, ox, oy);
}

void Fill(Canvas& c, const L::Cell& cell, const Rgba& colour) {
    for (int y = cell[1]; y < cell[1] + cell[3]; ++y)
        for (int x = cell[0]; x < cell[0] + cell[2]; ++x) c.Set(x, y, colour);
}

// A rounded bar, lit from above.
void Pip(Canvas& c, const L::Cell& cell, const Rgba& top, const Rgba& bottom) {
    Mask m(cell[2], cell[3]);
    const float r = 4.0f, x0 = 4.0f, x1 = cell[2] - 4.0f, y0 = 6.0f, y1 = cell[3] - 6.0f;
    for (int y = 0; y < m.h; ++y)
        for (int x = 0; x < m.w; ++x) {
            const float px = x + 0.5f, py = y + 0.5f;
            const float dx = std::fmax(std::fmax(x0 + r - px, px - (x1 - r)), 0.0f);
            const float dy = std::fmax(std::fmax(y0 + r - py, py - (y1 - r)), 0.0f);
            m.ref(x, y) = std::fmin(std::fmax(r - std::hypot(dx, dy) + 0.5f, 0.0f), 1.0f);
        }
    c.Paint(m, cell[0], cell[1], [&](float, float y) { return Mix(top, bottom, (y - cell[1]) / cell[3]); });
}

bool GenerateOptions(const GenContext& ctx) {
    Font font;
    if (!LoadGameFont(font, "media")) return false;
    Canvas c(L::kAtlasW, L::kAtlasH);
    std::vector<std::array<int, 4>> cells;

    PlaceInCell(c, MakeStyledText(font, "OPTIONS", 84.0f, 1.0f, 4.0f, 0.12f, LabelStyle()), L::kTitle, true);
    cells.push_back(L::kTitle);
    for (int i = 0; i < L::kLines; ++i) {
        PlaceInCell(c, MakeStyledText(font, L::kLabelText[i], 30.0f, 1.0f, 1.5f, 0.1f, SmallStyle(3.0f)), L::Label(i),
                    false);
        cells.push_back(L::Label(i));
    }
    TextStyle value = SmallStyle(3.0f);
    value.fillTop = Hex(0xFFFFFF);
    value.fillBottom = Hex(0xFFD75A);
    for (int w = 0; w < L::kWords; ++w) {
        PlaceInCell(c, MakeStyledText(font, L::kWordText[w], 30.0f, 1.0f, 1.5f, 0.1f, value), L::WordCell(w), false);
        cells.push_back(L::WordCell(w));
    }
    for (int n = 0; n < L::kNotes; ++n) {
        TextStyle note = SmallStyle(2.5f);
        if (n != L::kHint) {
            note.fillTop = Hex(0xFFE0E0);
            note.fillBottom = Hex(0xFF6A5A);
        }
        PlaceInCell(c, MakeStyledText(font, L::kNoteText[n], 24.0f, 1.0f, 1.0f, 0.0f, note), L::NoteCell(n), true);
        cells.push_back(L::NoteCell(n));
    }
    for (char ch = 33; ch <= 126; ++ch) {
        // Squeezed so the widest letters fit one advance.
        PlaceInCell(c, MakeStyledText(font, std::string(1, ch), 28.0f, 0.8f, 0.0f, 0.0f, value), L::Glyph(ch), true);
        cells.push_back(L::Glyph(ch));
    }
    c.ClipOutside(cells);  // nothing spills into a neighbour cell

    Fill(c, L::kPanelTile, Hex(0x0B1030, 0.78f));
    Fill(c, L::kBarTile, Hex(0x2E7BD6, 0.55f));
    Pip(c, L::kPipOn, Hex(0xFFF4C2), Hex(0xFFB52E));
    Pip(c, L::kPipOff, Hex(0x6A7AA6, 0.85f), Hex(0x46527A, 0.85f));

    return SaveTexture(c, ctx.dataDir, "options.png");
}

}  // namespace

VORLAN_REGISTER_GENERATOR("media-options", 21, GenerateOptions);

}  // namespace media
