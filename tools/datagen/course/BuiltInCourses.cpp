// The game's courses beside the desert: each made from a description kept in
// the source tree (descriptions/ID.course), the same way a player makes one.

#include "Generator.h"
#include "course/CourseMaker.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <vector>

namespace {
bool GenerateBuiltInCourses(const GenContext& ctx) {
    namespace fs = std::filesystem;
    std::vector<fs::path> files;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(VORLAN_COURSE_DESCRIPTIONS, ec))
        if (entry.path().extension() == ".course") files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    bool ok = true;
    for (const fs::path& file : files) {
        std::ifstream in(file);
        std::stringstream text;
        text << in.rdbuf();
        coursemake::Description d;
        coursemake::CentreLine line;
        std::string error;
        bool made = coursemake::Read(text.str(), file.string(), d, line, error);
        if (made && d.id != file.stem().string()) made = false, error = file.string() + ": id: is not the file's name";
        const fs::path dir = ctx.dataDir / "Courses" / d.id;
        if (made) {
            fs::remove_all(dir, ec);
            made = coursemake::MakeCourse(d, line, ctx.dataDir, dir, true, error);
        }
        if (!made) {
            std::fprintf(stderr, "vorlan-datagen: %s\n", error.c_str());
            ok = false;
            continue;
        }
        // The overview picture beside the others, for the README.
        for (const char* ext : {".png", ".json"})
            fs::copy_file(dir / ("map" + std::string(ext)), ctx.outDir / ("course-map-" + d.id + ext),
                          fs::copy_options::overwrite_existing, ec);
    }
    return ok;
}
}  // namespace

VORLAN_REGISTER_GENERATOR("courses", 60, GenerateBuiltInCourses);
