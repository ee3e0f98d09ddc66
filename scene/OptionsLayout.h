#pragma once
// Cells of the options screen's atlas (Data/Texture/options.png): x, y,
// width, height in texels, top row first. The content generator paints
// exactly these and the screen cuts exactly these.

#include <array>

namespace options_layout {

using Cell = std::array<int, 4>;

inline constexpr int kAtlasW = 1024, kAtlasH = 1024;
inline constexpr int kLines = 10;

inline constexpr Cell kTitle{0, 0, 560, 112};
// The name of line i, in the screen's order.
inline constexpr Cell Label(int i) { return {0, 112 + 52 * i, 400, 52}; }
inline constexpr const char* kLabelText[kLines] = {"GHOST",      "DIFFICULTY",   "MUSIC",    "EFFECTS",
                                                    "FULLSCREEN", "RENDER SCALE", "THROTTLE", "STEER LEFT",
                                                    "STEER RIGHT", "PAUSE"};
// Word values.
enum Word { kEasy, kNormal, kHard, kOn, kOff, kPressKey, kWords };
inline constexpr Cell WordCell(int w) { return {420, 112 + 52 * w, 340, 52}; }
inline constexpr const char* kWordText[kWords] = {"EASY", "NORMAL", "HARD", "ON", "OFF", "PRESS A KEY"};
// One-line notes under the lines.
enum Note { kHint, kBoundTwice, kFixedKeys, kCannotSave, kNotes };
inline constexpr Cell NoteCell(int n) { return {0, 640 + 44 * n, 1000, 44}; }
inline constexpr const char* kNoteText[kNotes] = {"UP DOWN CHOOSE    LEFT RIGHT CHANGE    O BACK",
                                                   "THAT KEY IS ALREADY BOUND", "ENTER AND ESCAPE STAY AS THEY ARE",
                                                   "CANNOT SAVE: KEPT FOR THIS RUN ONLY"};
// Printable ASCII (32 to 126) for key names and numbers, one advance wide each.
inline constexpr int kGlyphW = 30, kGlyphH = 48, kGlyphAdvance = 19;
inline constexpr Cell Glyph(char c) {
    const int i = (c < 32 || c > 126) ? '?' - 32 : c - 32;
    return {(i % 32) * kGlyphW, 864 + (i / 32) * kGlyphH, kGlyphW, kGlyphH};
}
// Plain colour tiles, stretched; the inner 16 x 16 is sampled so the
// filter never reaches a neighbour.
inline constexpr Cell kPanelTile{960, 0, 32, 32};
inline constexpr Cell kBarTile{960, 40, 32, 32};
inline constexpr Cell Inner(const Cell& tile) { return {tile[0] + 8, tile[1] + 8, 16, 16}; }
// A volume step, lit and unlit.
inline constexpr Cell kPipOn{960, 80, 24, 40};
inline constexpr Cell kPipOff{960, 128, 24, 40};

}  // namespace options_layout
