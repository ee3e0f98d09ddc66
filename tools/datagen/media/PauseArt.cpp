// The word shown over the dimmed picture while the game is paused.

#include "Generator.h"
#include "media/Raster.h"

#include <cmath>
#include <cstdio>
#include <filesystem>

namespace media {
namespace {

namespace fs = std::filesystem;

const char* const kFontPath = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";
constexpr int kWidth = 640;
constexpr int kHeight = 200;

// The label look of the race screens, a size up: it must read at a glance
// over any picture.
TextStyle PauseStyle() {
    TextStyle s;
    s.fillTop = Hex(0xF2FEFF);
    s.fillMid = 0.5f;
    s.fillMidColour = Hex(0x7FE3FF);
    s.fillBottom = Hex(0x1E8CFF);
    s.outline = Hex(0x0C1430);
    s.outlineRadius = 6.0f;
    s.shadow = Hex(0x000000, 0.6f);
    s.shadowDx = 4;
    s.shadowDy = 4;
    s.shadowBlur = 2;
    return s;
}

bool GeneratePause(const GenContext& ctx) {
    Font font;
    if (!font.Load(kFontPath)) {
        std::fprintf(stderr, "media: cannot load font %s (install fonts-dejavu-core)\n", kFontPath);
        return false;
    }
    const StyledText text = MakeStyledText(font, "PAUSE", 140.0f, 1.0f, 6.0f, 0.12f, PauseStyle());
    Canvas canvas(kWidth, kHeight);
    const int ox = int(std::lround(kWidth / 2.0f - text.bodyBox.cx()));
    const int oy = int(std::lround(kHeight / 2.0f - text.bodyBox.cy()));
    DrawStyledText(canvas, text, ox, oy);

    const fs::path dir = ctx.dataDir / "Texture";
    std::error_code ec;
    fs::create_directories(dir, ec);
    const fs::path path = dir / "pause.png";
    if (ec || !canvas.SavePng(path.string())) {
        std::fprintf(stderr, "media: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

}  // namespace

VORLAN_REGISTER_GENERATOR("media-pause", 21, GeneratePause);

}  // namespace media
