#pragma once
// The game's Data folder for a tool installed beside the launcher: beside the
// program in the build folder, or where the installation puts it relative to
// the program (VORLAN_TOOL_TO_DATA).

#include <filesystem>
#include <system_error>

inline std::filesystem::path FindGameData() {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (ec) return "Data";
    const fs::path here = self.parent_path();
    for (const fs::path& candidate : {here / "Data", here / VORLAN_TOOL_TO_DATA / "Data"})
        if (fs::is_directory(candidate, ec)) return candidate;
    return "Data";
}
