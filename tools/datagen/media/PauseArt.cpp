// The word shown over the dimmed picture while the game is paused.

#include "Generator.h"
#include "media/Raster.h"

#include <cmath>
#include <cstdio>
#include <filesystem>

namespace media {
namespace {

namespace fs = std::filesystem;

constexpr int kWidth = 640;
constexpr int kHeight = 200;

// The label look of the race screens, a size up: it must read at a glance
// over any picture.
TextStyle PauseStyle() {
    TextStyle s = LabelStyle();
    s.outlineRadius = 6.0f;
    s.shadowDx = 4;
    s.shadowDy = 4;
    s.shadowBlur = 2;
    return s;
}

bool GeneratePause(const GenContext& ctx) {
    Font font;
    if (!LoadGameFont(font, "media")) return false;
    const StyledText text = MakeStyledText(font, "PAUSE", 140.0f, 1.0f, 6.0f, 0.12f, PauseStyle());
    Canvas canvas(kWidth, kHeight);
    const int ox = int(std::lround(kWidth / 2.0f - text.bodyBox.cx()));
    const int oy = int(std::lround(kHeight / 2.0f - text.bodyBox.cy()));
    DrawStyledText(canvas, text, ox, oy);

    return SaveTexture(canvas, ctx.dataDir, "pause.png");
}

}  // namespace

VORLAN_REGISTER_GENERATOR("media-pause", 21, GeneratePause);

}  // namespace media
