#pragma once
// The records on the race screens: the best time under the clock, a lap's
// split against the best lap for two seconds after the lap (green faster,
// red slower), and on the result screen the lap times and "NEW RECORD".
// It only reads the player's records.

#include "framework/graphics/AxSpriteShader.h"

class AxTexture;
class AxTextureCache;
class PlayerRecords;

class RecordsHud {
public:
    explicit RecordsHud(AxTextureCache* textureCache);

    // Inside the race HUD's sprite batch.
    void DrawRace(const PlayerRecords& records);
    // Inside the result screen's sprite batch.
    void DrawResult(const PlayerRecords& records);

    // Cells of Records.png.
    static constexpr AxRect kBestLabel{0, 0, 438, 84};
    static constexpr AxRect LapLabel(int lap) { return {0, 84 * lap, 438, 84}; }
    static constexpr AxRect kNewRecord{0, 336, 640, 110};
    // Split glyphs: digits 0 to 9, then the sign, then the point.
    static constexpr AxRect SplitGlyph(bool faster, int cell) { return {67 * cell, faster ? 446 : 510, 67, 64}; }
    static constexpr int kSignCell = 10;
    static constexpr int kPointCell = 11;

private:
    AxTexture* numberTex = nullptr;
    AxTexture* recordsTex = nullptr;
};
