#pragma once
// Turns a checked course description into a complete course folder: road,
// ground and fence models in the description's theme, the sky, the point
// files, course.json and a top-view map (course-map.png). The models every
// course shares (dash panel, wood box, gate) and the music are copied from
// the game's Data folder, so the folder stands on its own.

#include "course/Description.h"

#include <filesystem>
#include <string>

namespace coursemake {

// dataDir is the game's Data folder; outDir becomes the course's folder. A
// course of the game's own names the shared files in Data instead of copying them.
bool MakeCourse(const Description& description, const CentreLine& line, const std::filesystem::path& dataDir,
                const std::filesystem::path& outDir, bool builtIn, std::string& error);

// Reads the description file and makes the course: the command's whole work.
bool MakeCourseFromFile(const std::filesystem::path& descriptionFile, const std::filesystem::path& dataDir,
                        const std::filesystem::path& outDir, std::string& error);

}  // namespace coursemake
