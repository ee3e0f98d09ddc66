#pragma once
// Reads and checks a course file. A course file is untrusted: whatever is
// wrong with it is refused with one line, "FILE: FIELD: why", and nothing it
// names is read from outside its folder. No GL, AL or SDL here.

#include "stage/course/CourseData.h"

#include <string>

namespace CourseReader {

constexpr int kFormat = 1;
constexpr const char* kFileName = "course.json";
constexpr size_t kMaxFileBytes = 64u << 10;
constexpr size_t kMaxNamedFileBytes = 64u << 20;
constexpr int kMaxLaps = 9;          // the lap counter shows one digit
constexpr size_t kMinCheckpoints = 3;
constexpr size_t kMaxCheckpoints = 58;  // the bikes' table holds these and the finish
constexpr size_t kMaxBoxes = 8;
constexpr size_t kMaxDashPanels = 16;
constexpr float kMaxCoordinate = 2000.0f;

// The text of a course file: fields, ranges and the form of every path.
// file names the course file in messages; folder is where its paths start.
// A built-in course may also name the game's own files as "Data/...".
bool Parse(const std::string& text, const std::string& file, const std::string& folder, bool builtIn,
           CourseData& out, std::string& error);

// The points of a point file's text ("COUNT" then "X Y Z" per point): false
// with why when the count is not a number in 0..maxPoints or fewer points
// than the count can be read.
bool ParsePoints(const std::string& text, size_t maxPoints, std::vector<CoursePoint>& points, std::string& why);

// Two segments of the closed line through the points cross (seen from above).
bool LineCrossesItself(const std::vector<CoursePoint>& points);

// The folder's course file read and parsed, then every file it names checked
// (there, a regular file, inside the folder even through links, not too
// big), the point files read and checked, and the gameplay hash made. A
// built-in course is refused only for its course file: a missing or damaged
// file of the game's own leaves its object out, as the stage loaders do.
bool Load(const std::string& folder, bool builtIn, CourseData& out, std::string& error);

// The gameplay hash: the laps, the gameplay fields and the bytes of every
// file the gameplay names (with the buffers its models use). Empty with why
// when a file cannot be read, except for a built-in course, where an
// unreadable file is hashed as missing.
std::string GameplayHash(const CourseData& course, std::string& why);

}  // namespace CourseReader
