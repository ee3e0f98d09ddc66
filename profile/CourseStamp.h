#pragma once
// Which version of a course a folder of records and ghost was set on: a
// small file beside them naming the course and its gameplay hash. When the
// course has changed since, the records and ghost are set aside, never
// raced against. No GL, AL or SDL here.

#include <string>

namespace CourseStamp {
constexpr const char* kFileName = "course.txt";

// The stamp file's text for a course.
std::string Text(const std::string& id, const std::string& hash);

// Reads folder's stamp; when it names another gameplay hash for the course,
// the records and ghost there are set aside with one line on standard
// error, and true is returned: the race is to start without them (a run that
// keeps no player files leaves them in place). A missing or unreadable stamp
// changes nothing.
bool SetAsideIfChanged(const std::string& folder, const std::string& id, const std::string& hash);
}  // namespace CourseStamp
