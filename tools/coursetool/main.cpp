// vorlan-moto-course DESCRIPTION OUTDIR: a course description made into a
// course folder the game lists and races. The work is the generator's, the
// same code that makes the game's own courses.
// vorlan-moto-course --check COURSE: races a course folder (or the course a
// description makes) with the game's own simulation and says whether the
// bikes can race it.

#include "Raceability.h"
#include "course/CourseMaker.h"

#include "framework/graphics/AxGLTFModel.h"
#include "framework/platform/Platform.h"
#include "profile/UserFiles.h"
#include "stage/CourseGeometry.h"
#include "stage/course/CourseReader.h"

#include "tools/ToolData.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {
int Usage(int status) {
    std::fprintf(status == 0 ? stdout : stderr,
                 "usage: vorlan-moto-course [--data DIR] DESCRIPTION OUTDIR\n"
                 "       vorlan-moto-course [--data DIR] --check COURSE_FOLDER_OR_DESCRIPTION\n"
                 "Makes the course a description file describes into OUTDIR (or OUTDIR/ID when OUTDIR is not\n"
                 "named after the course's id). Put it in ~/.local/share/vorlan-moto/courses to race it.\n"
                 "--check races the course ten times on normal (seeds 1 to 10), the player's bike on autopilot\n"
                 "and the two computer bikes, and refuses it when a bike is off the road in more than 5%% of its\n"
                 "race, stays below a tenth of its top speed for 2 s, or does not finish.\n");
    return status;
}

int Refuse(const std::string& why) {
    std::fprintf(stderr, "vorlan-moto-course: %s\n", why.c_str());
    return 1;
}

// A description made into a folder of its own under the temporary folder,
// removed when done.
struct MadeCourse {
    fs::path root;
    ~MadeCourse() {
        std::error_code ec;
        if (!root.empty()) fs::remove_all(root, ec);
    }
};

int Check(fs::path course, fs::path data) {
    std::error_code ec;
    course = fs::absolute(course, ec).lexically_normal();
    if (course.filename().empty()) course = course.parent_path();  // given as "folder/"
    data = fs::absolute(data, ec);
    MadeCourse made;
    if (!fs::is_directory(course, ec)) {
        std::string pattern = (fs::temp_directory_path(ec) / "vorlan-moto-course-check-XXXXXX").string();
        if (!mkdtemp(pattern.data())) return Refuse("--check: cannot make a folder to make the course in");
        made.root = pattern;
        std::string message;
        if (!coursemake::MakeCourseFromFile(course, data, made.root, message)) return Refuse(message);
        course = message;  // the folder made
    }
    // The game reads its own files from the folder that holds Data.
    if (!fs::is_directory(data, ec) || chdir(data.parent_path().c_str()) != 0)
        return Refuse("--data: no game data at " + data.string());
    UserFiles::UseNoFolders();
    AxGLTFQuiet quiet;
    // One of the game's own courses names the game's files as "Data/...".
    const fs::path builtInRoot = fs::weakly_canonical(data / "Courses", ec);
    const bool builtIn = fs::weakly_canonical(course, ec).parent_path() == builtInRoot;
    const std::string folder = builtIn ? (fs::path("Data/Courses") / course.filename()).string() : course.string();
    CourseData loaded;
    std::string error;
    if (!CourseReader::Load(folder, builtIn, loaded, error)) return Refuse(error);
    // What the game would leave out is not raced either.
    if (course.filename() != loaded.id)
        return Refuse(loaded.file + ": id: '" + loaded.id + "' is not the name of its folder");
    if (!builtIn)
        if (const std::string why = CheckCourseGeometry(loaded); !why.empty()) return Refuse(loaded.file + ": " + why);
    const RaceabilityVerdict verdict = RaceabilityCheck().Run(loaded);
    if (!verdict.raceable) return Refuse(verdict.line);
    std::printf("%s\n", verdict.line.c_str());
    return 0;
}
}  // namespace

int main(int argc, char** argv) {
    fs::path data;
    std::vector<std::string> args;
    bool check = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--data") == 0 && i + 1 < argc) data = argv[++i];
        else if (std::strcmp(argv[i], "--check") == 0) check = true;
        else if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) return Usage(0);
        else args.push_back(argv[i]);
    }
    if (args.size() != (check ? 1u : 2u)) return Usage(2);
    if (data.empty()) data = FindGameData();
    if (check) return Check(args[0], data);
    std::string message;
    if (!coursemake::MakeCourseFromFile(args[0], data, args[1], message)) return Refuse(message);
    std::printf("%s\n", message.c_str());
    return 0;
}
