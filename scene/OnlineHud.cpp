#include "scene/OnlineHud.h"

#include "scene/CourseTitle.h"
#include "scene/HudSprite.h"
#include "scene/OptionsLayout.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace {
namespace L = options_layout;
constexpr size_t kMaxChars = 60;
constexpr float kResultY = -312.0f;
constexpr float kTitleY = -205.0f;

std::string Upper(const std::string& text) {
    std::string out;
    for (unsigned char c : text) out += static_cast<char>(c < 32 || c > 126 ? '?' : std::toupper(c));
    return out;
}
}  // namespace

std::string Ordinal(int64_t n) {
    const int64_t tens = n % 100, ones = n % 10;
    const char* suffix = (tens >= 11 && tens <= 13) ? "TH" : ones == 1 ? "ST" : ones == 2 ? "ND" : ones == 3 ? "RD" : "TH";
    return std::to_string(n) + suffix;
}

std::string OnlineResultLine(const OnlineRaceState& race) {
    using S = OnlineRaceState::State;
    switch (race.state) {
        case S::Sending: return "SENDING TO THE SERVER";
        case S::Queued: return "WAITING TO BE SENT";
        case S::Verified:
            if (race.rank && race.of) return "VERIFIED " + Ordinal(*race.rank) + " OF " + std::to_string(*race.of);
            return "VERIFIED";
        case S::Rejected: return Upper("REJECTED: " + race.reason);
        default: return {};
    }
}

std::string OnlineTitleLine(const OnlineStanding& standing) {
    std::string text;
    if (standing.recordMs) {
        const uint32_t ms = *standing.recordMs;
        char time[32];
        std::snprintf(time, sizeof time, "%u'%02u\"%02u", ms / 60000u, ms / 1000u % 60u, ms / 10u % 100u);
        text = "WORLD " + std::string(time) + " " + Upper(standing.recordPlayer);
    } else {
        text = "NO WORLD RECORD YET";
    }
    if (standing.rank && *standing.rank > 0) text += "   YOU " + Ordinal(*standing.rank);
    return text;
}

void DrawGlyphLine(AxTexture* glyphs, const std::string& raw, float y, float alpha) {
    const std::string text = Upper(raw);
    const size_t n = std::min(text.size(), kMaxChars);
    const float left = -0.5f * static_cast<float>(n * L::kGlyphAdvance);
    for (size_t i = 0; i < n; ++i) {
        const L::Cell c = L::Glyph(text[i]);
        DrawHudSprite(HudAt(left + static_cast<float>(i * L::kGlyphAdvance), y), glyphs, AxRect{c[0], c[1], c[2], c[3]},
                      alpha, 0.0f, 0.5f);
    }
}

void DrawOnlineResult(AxTexture* glyphs, const OnlineRaceState& race) {
    const std::string line = OnlineResultLine(race);
    if (!line.empty()) DrawGlyphLine(glyphs, line, kResultY);
}

void DrawOnlineTitle(AxTexture* glyphs, const OnlineStanding& standing) {
    DrawGlyphLine(glyphs, OnlineTitleLine(standing), kTitleY);
}
