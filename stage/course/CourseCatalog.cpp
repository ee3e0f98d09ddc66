#include "stage/course/CourseCatalog.h"

#include "stage/course/CourseReader.h"

#include <algorithm>
#include <filesystem>

namespace fs = std::filesystem;

namespace {
std::vector<std::string> Folders(const std::string& root, std::vector<std::string>& refusals) {
    std::vector<std::string> folders;
    std::error_code ec;
    if (root.empty() || !fs::is_directory(root, ec)) return folders;
    for (fs::directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
        if (!it->is_directory(ec)) continue;
        if (folders.size() >= CourseCatalog::kMaxFolders) {
            refusals.push_back(root + ": more than " + std::to_string(CourseCatalog::kMaxFolders) +
                               " course folders; the rest are left out");
            break;
        }
        folders.push_back(it->path().string());
    }
    std::sort(folders.begin(), folders.end());
    return folders;
}
}  // namespace

void CourseCatalog::Scan(const std::string& builtInRoot, const std::string& userRoot, const Check& check,
                         std::vector<std::string>& refusals) {
    courses.clear();
    for (const bool builtIn : {true, false}) {
        std::vector<std::string> folders = Folders(builtIn ? builtInRoot : userRoot, refusals);
        // The desert, the game's first course, stays first: the title opens on it.
        if (builtIn)
            std::stable_partition(folders.begin(), folders.end(),
                                  [](const std::string& f) { return fs::path(f).filename() == kFirstCourse; });
        for (const std::string& folder : folders) {
            CourseData course;
            std::string error;
            if (!CourseReader::Load(folder, builtIn, course, error)) {
                refusals.push_back(error);
                continue;
            }
            if (fs::path(folder).filename().string() != course.id) {
                refusals.push_back(course.file + ": id: '" + course.id + "' is not the name of its folder");
                continue;
            }
            if (const CourseData* other = Find(course.id)) {
                refusals.push_back(course.file + ": id: '" + course.id + "' is already used by " + other->file);
                continue;
            }
            // The game's own files are trusted; a player's are checked before they are offered.
            if (check && !builtIn) {
                if (const std::string why = check(course); !why.empty()) {
                    refusals.push_back(course.file + ": " + why);
                    continue;
                }
            }
            courses.push_back(std::move(course));
        }
    }
}

const CourseData* CourseCatalog::Find(const std::string& id) const {
    for (const CourseData& course : courses)
        if (course.id == id) return &course;
    return nullptr;
}

std::string CourseCatalog::Ids() const {
    std::string ids;
    for (const CourseData& course : courses) ids += (ids.empty() ? "" : ", ") + course.id;
    return ids;
}

const CourseData* CourseCatalog::Step(const std::string& id, int step) const {
    if (courses.empty()) return nullptr;
    const auto n = static_cast<long>(courses.size());
    long i = 0;
    for (long k = 0; k < n; ++k)
        if (courses[static_cast<size_t>(k)].id == id) i = k;
    return &courses[static_cast<size_t>(((i + step) % n + n) % n)];
}
