#include "scene/CourseTitle.h"

#include "scene/HudSprite.h"
#include "scene/OptionsLayout.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace {
namespace L = options_layout;
constexpr size_t kMaxChars = 40;
constexpr float kNameY = -110.0f;
constexpr float kBestY = -160.0f;

AxRect Rect(const L::Cell& c) { return AxRect{c[0], c[1], c[2], c[3]}; }

void Line(AxTexture* glyphs, const std::string& text, float y) {
    const size_t n = std::min(text.size(), kMaxChars);
    const float left = -0.5f * static_cast<float>(n * L::kGlyphAdvance);
    for (size_t i = 0; i < n; ++i)
        DrawHudSprite(HudAt(left + static_cast<float>(i * L::kGlyphAdvance), y), glyphs, Rect(L::Glyph(text[i])),
                      1.0f, 0.0f, 0.5f);
}
}  // namespace

std::string CourseTitleName(const std::string& name, bool choice) {
    std::string upper;
    for (unsigned char c : name) upper += static_cast<char>(c < 128 ? std::toupper(c) : '?');
    return choice ? "< " + upper + " >" : upper;
}

std::string CourseTitleBest(uint32_t ms) {
    char text[32];
    std::snprintf(text, sizeof text, "BEST %u'%02u\"%02u", ms / 60000u, ms / 1000u % 60u, ms / 10u % 100u);
    return text;
}

void DrawCourseTitle(AxTexture* glyphs, const std::string& name, bool choice, std::optional<uint32_t> bestMs) {
    Line(glyphs, CourseTitleName(name, choice), kNameY);
    if (bestMs) Line(glyphs, CourseTitleBest(*bestMs), kBestY);
}
