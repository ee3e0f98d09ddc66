#pragma once
// The leaderboard on the game's screens, in the options atlas's letters: on
// the result screen how the race stands with the server ("SENDING",
// "VERIFIED 3RD OF 57", why it was rejected, or that it waits to be sent);
// on the title the course's world record and the player's rank; the list of
// shared courses. It only reads what the online client last heard.

#include "scene/OnlineLink.h"

#include <optional>
#include <string>
#include <vector>

class AxTexture;

// The lines as drawn (tests read them).
std::string OnlineResultLine(const OnlineRaceState& race);
std::string OnlineTitleLine(const OnlineStanding& standing);
std::string Ordinal(int64_t n);  // 1ST, 2ND, 3RD, 4TH, 11TH, 21ST...

void DrawOnlineResult(AxTexture* glyphs, const OnlineRaceState& race);
void DrawOnlineTitle(AxTexture* glyphs, const OnlineStanding& standing);
// A line of text centred at y, in upper case, cut at 60 letters.
void DrawGlyphLine(AxTexture* glyphs, const std::string& text, float y, float alpha = 1.0f);
