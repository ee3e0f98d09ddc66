// vorlan-moto-course DESCRIPTION OUTDIR: a course description made into a
// course folder the game lists and races. The work is the generator's, the
// same code that makes the game's own courses.

#include "course/CourseMaker.h"

#include "tools/ToolData.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {
int Usage() {
    std::fprintf(stderr,
                 "usage: vorlan-moto-course [--data DIR] DESCRIPTION OUTDIR\n"
                 "Makes the course a description file describes into OUTDIR (or OUTDIR/ID when OUTDIR is not\n"
                 "named after the course's id). Put it in ~/.local/share/vorlan-moto/courses to race it.\n");
    return 2;
}
}  // namespace

int main(int argc, char** argv) {
    fs::path data;
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--data") == 0 && i + 1 < argc) data = argv[++i];
        else if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) return Usage(), 0;
        else args.push_back(argv[i]);
    }
    if (args.size() != 2) return Usage();
    if (data.empty()) data = FindGameData();
    std::string message;
    if (!coursemake::MakeCourseFromFile(args[0], data, args[1], message)) {
        std::fprintf(stderr, "vorlan-moto-course: %s\n", message.c_str());
        return 1;
    }
    std::printf("%s\n", message.c_str());
    return 0;
}
