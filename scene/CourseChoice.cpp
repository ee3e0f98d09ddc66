#include "scene/CourseChoice.h"

#include "profile/UserFiles.h"
#include "stage/CourseGeometry.h"

#include <cstdio>

std::string UserCoursesDir() {
    const std::string data = UserFiles::DataDir();
    return data.empty() ? std::string() : data + "/courses";
}

std::string CourseRecordsFolder(const std::string& id) {
    const std::string data = UserFiles::DataDir();
    if (data.empty()) return {};
    return id == "desert" ? data : data + "/records/" + id;
}

const CourseData* CourseShelf::FirstPlayable() const {
    return catalog.courses.empty() ? nullptr : &catalog.courses.front();
}

void CourseShelf::Rescan() {
    std::vector<std::string> refusals;
    catalog.Scan(kBuiltInCoursesDir, UserCoursesDir(), CheckCourseGeometry, refusals);
    for (const std::string& refusal : refusals) std::fprintf(stderr, "vorlan: course refused: %s\n", refusal.c_str());
    if (catalog.courses.empty()) std::fprintf(stderr, "vorlan: no playable course found under %s\n", kBuiltInCoursesDir);
    scanned = true;
}

CourseShelf& Courses() {
    static CourseShelf shelf;
    if (!shelf.scanned) shelf.Rescan();
    return shelf;
}
