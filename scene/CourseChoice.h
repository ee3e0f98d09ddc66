#pragma once
// The courses of this run: scanned once from the game's Data folder and the
// player's course folder, each refusal told once on standard error.

#include "stage/course/CourseCatalog.h"

#include <string>

struct CourseShelf {
    CourseCatalog catalog;
    // The first playable course: the first built-in one while there is one.
    const CourseData* FirstPlayable() const;
    // Reads the folders again (a player's course added while running, tests).
    void Rescan();
    bool scanned = false;
};

// Scanned on first use.
CourseShelf& Courses();

// $XDG_DATA_HOME/vorlan-moto/courses; empty without a data folder.
std::string UserCoursesDir();

// Where a course's records and ghost are kept: the data folder itself for
// the desert (where they were before there were other courses), else
// records/ID under it. Empty without a data folder.
std::string CourseRecordsFolder(const std::string& id);

// The game's own courses, under its Data folder.
constexpr const char* kBuiltInCoursesDir = "Data/Courses";
