#include "profile/CourseStamp.h"

#include "profile/UserFiles.h"

#include <cstdio>
#include <optional>
#include <sstream>

namespace CourseStamp {

std::string Text(const std::string& id, const std::string& hash) {
    return "vorlan-course-stamp 1\n" + id + " " + hash + "\n";
}

bool SetAsideIfChanged(const std::string& folder, const std::string& id, const std::string& hash) {
    if (folder.empty()) return false;
    const std::optional<std::string> text = UserFiles::ReadFile(folder + "/" + kFileName, 4096);
    if (!text) return false;
    std::istringstream in(*text);
    std::string magic, version, stampedId, stampedHash;
    if (!(in >> magic >> version >> stampedId >> stampedHash) || magic != "vorlan-course-stamp") return false;
    if (stampedHash == hash) return false;
    // A run that keeps no player files leaves them where they are; it races
    // against none of them all the same.
    if (!UserFiles::WritesAllowed()) {
        std::fprintf(stderr, "vorlan: course '%s' has changed since its records and ghost were set; racing without them\n",
                     id.c_str());
        return true;
    }
    std::string moved;
    for (const char* name : {"records.txt", "ghost.txt", "ghost-easy.txt", "ghost-hard.txt"}) {
        const std::string path = folder + "/" + name;
        if (std::FILE* probe = std::fopen(path.c_str(), "rb")) {
            std::fclose(probe);
            const std::string to = UserFiles::SetAside(path);
            moved += (moved.empty() ? "" : ", ") + (to.empty() ? path + " (could not move)" : to);
        }
    }
    std::fprintf(stderr, "vorlan: course '%s' has changed since its records and ghost were set; set aside: %s\n",
                 id.c_str(), moved.empty() ? "nothing to set aside" : moved.c_str());
    return true;
}

}  // namespace CourseStamp
