#include "scene/CoursesScreen.h"

#include "scene/HudSprite.h"
#include "scene/OnlineHud.h"
#include "scene/OnlineLink.h"
#include "scene/OptionsLayout.h"

#include <algorithm>

namespace {
namespace L = options_layout;
constexpr int kShownLines = 9;
constexpr float kTop = 170.0f, kRow = 46.0f;
}  // namespace

std::string CoursesScreen::EntryLine(const std::string& name, const std::string& author, int laps) {
    std::string text = name.substr(0, 24);
    if (!author.empty()) text += "  BY " + author.substr(0, 16);
    return text + "  " + std::to_string(laps) + (laps == 1 ? " LAP" : " LAPS");
}

void CoursesScreen::Update(IPlatform& platform, bool canOpen, OnlineLink* online) {
    openAtFrameStart = open;
    std::copy(std::begin(down), std::end(down), std::begin(before));
    for (int k = 0; k < kKeyCount; ++k) down[k] = platform.IsMenuKeyDown(static_cast<Key>(k));
    if (escapeHeld && !down[static_cast<int>(Key::Escape)]) escapeHeld = false;
    if (!open) {
        if (canOpen && Pressed(Key::Courses)) {
            open = true;
            line = 0;
            if (online) online->RequestCourses();
        }
        return;
    }
    if (Pressed(Key::Courses) || Pressed(Key::Escape)) {
        open = false;
        escapeHeld = down[static_cast<int>(Key::Escape)];
        return;
    }
    const int count = online ? static_cast<int>(online->Courses().size()) : 0;
    if (count == 0) return;
    line = std::clamp(line, 0, count - 1);
    if (Pressed(Key::Up)) line = (line + count - 1) % count;
    if (Pressed(Key::Down)) line = (line + 1) % count;
    if (Pressed(Key::Enter)) online->InstallCourse(online->Courses()[static_cast<size_t>(line)].id);
}

void CoursesScreen::Draw(AxTexture* atlas, const OnlineLink* online) const {
    if (!open) return;
    auto stretched = [&](const L::Cell& tile, float y, float w, float h) {
        const L::Cell inner = L::Inner(tile);
        const Matrix m = Matrix::CreateScale(w / static_cast<float>(inner[2]), h / static_cast<float>(inner[3]), 1.0f) *
                         HudAt(0.0f, y);
        DrawHudSprite(m, atlas, AxRect{inner[0], inner[1], inner[2], inner[3]});
    };
    stretched(L::kPanelTile, 0.0f, 1000.0f, 680.0f);
    DrawGlyphLine(atlas, "SHARED COURSES", 280.0f);
    if (!online) {
        DrawGlyphLine(atlas, "OFFLINE: SET server = URL IN SETTINGS.INI", kTop);
    } else {
        const auto& list = online->Courses();
        const int first = std::max(0, line - kShownLines + 1);
        for (int i = first; i < static_cast<int>(list.size()) && i < first + kShownLines; ++i) {
            const float y = kTop - kRow * static_cast<float>(i - first);
            if (i == line) stretched(L::kBarTile, y, 960.0f, kRow - 4.0f);
            const auto& c = list[static_cast<size_t>(i)];
            DrawGlyphLine(atlas, EntryLine(c.name, c.author, c.laps), y);
        }
        if (!online->CoursesNote().empty()) DrawGlyphLine(atlas, online->CoursesNote(), -230.0f);
    }
    DrawGlyphLine(atlas, "UP DOWN CHOOSE    ENTER DOWNLOAD    C BACK", -290.0f);
}
