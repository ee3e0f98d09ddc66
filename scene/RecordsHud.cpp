#include "scene/RecordsHud.h"

#include "framework/graphics/AxTextureCache.h"
#include "profile/PlayerRecords.h"
#include "scene/HudSprite.h"

#include <algorithm>
#include <cstdlib>

namespace {
constexpr int kMinuteMs = 60000;

// A time under its label, laid out as the race clock (half) or the result
// panel's time (full): minutes, seconds and thousandths over the label's
// colon and point.
void DrawTimeRow(AxTexture* labels, const AxRect& label, AxTexture* numbers, uint32_t ms, float x, float y, bool half) {
    const int minutes = std::min(static_cast<int>(ms / kMinuteMs), 9);
    const int rest = static_cast<int>(ms % kMinuteMs);
    if (half) {
        DrawHudSprite(HudHalfAt(x, y), labels, label);
        DrawTimeDigits(numbers, rest, x + 180.0f, y + 15.0f, 25.0f, true);
        DrawHudSprite(HudHalfAt(x + 45.0f, y + 15.0f), numbers, DigitRect(minutes), 1.0f, 1.0f, 1.0f);
    } else {
        DrawHudSprite(HudAt(x, y), labels, label);
        DrawTimeDigits(numbers, rest, x + 370.0f, y + 25.0f, 53.0f, false);
        DrawHudSprite(HudAt(x + 90.0f, y + 25.0f), numbers, DigitRect(minutes), 1.0f, 1.0f, 1.0f);
    }
}
}  // namespace

RecordsHud::RecordsHud(AxTextureCache* textureCache) {
    if (!textureCache) return;
    numberTex = textureCache->GetTexture("Data/Texture/Number.png");
    recordsTex = textureCache->GetTexture("Data/Texture/Records.png");
}

void RecordsHud::DrawRace(const PlayerRecords& records) {
    if (records.records.best) DrawTimeRow(recordsTex, kBestLabel, numberTex, records.records.best->ms, -510.0f, 210.0f, true);
    if (records.splitFramesLeft <= 0 || !records.splitKnown) return;
    // "-01.234" in green when faster than the best lap, "+00.512" in red when slower.
    const bool faster = records.lastSplitMs < 0;
    const int ms = std::min(std::abs(records.lastSplitMs), 99999);
    const int cells[7] = {kSignCell, ms / 10000, ms / 1000 % 10, kPointCell, ms / 100 % 10, ms / 10 % 10, ms % 10};
    const float step = 40.0f, left = -3.0f * step;
    const Matrix scale = Matrix::CreateScale(0.75f, 0.75f, 1.0f);
    for (int i = 0; i < 7; ++i)
        DrawHudSprite(scale * HudAt(left + step * static_cast<float>(i), 230.0f), recordsTex, SplitGlyph(faster, cells[i]));
}

void RecordsHud::DrawResult(const PlayerRecords& records) {
    const int laps = static_cast<int>(std::min<size_t>(records.lapTimes.size(), static_cast<size_t>(std::max(records.laps, 0))));
    for (int i = 0; i < laps; ++i)
        DrawTimeRow(recordsTex, LapLabel(i + 1), numberTex, records.lapTimes[static_cast<size_t>(i)], -500.0f,
                    60.0f - 45.0f * static_cast<float>(i), true);
    // Steady, unlike the prompt under it.
    if (records.newRecord) DrawHudSprite(HudAt(0.0f, -180.0f), recordsTex, kNewRecord);
}
