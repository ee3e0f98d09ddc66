#pragma once
// The course line on the title screen: the chosen course's name between
// arrows when there is a choice, and under it the best time on it.

#include <cstdint>
#include <optional>
#include <string>

class AxTexture;

// The text of the two lines (tests read them): "< DESERT >" and "BEST 0'56\"58".
std::string CourseTitleName(const std::string& name, bool choice);
std::string CourseTitleBest(uint32_t ms);

// Drawn in the options atlas's letters, centred under the title.
void DrawCourseTitle(AxTexture* glyphs, const std::string& name, bool choice, std::optional<uint32_t> bestMs);
