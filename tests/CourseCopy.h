#pragma once
// A player's copy of the desert, as the course format page says to make one:
// its folder holds every file the course names (with the folders those files
// sit in, so models keep their buffers and images), named relative to it.
// Run from the build folder, where Data is.

#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

namespace course_copy {

inline nlohmann::json ReadJson(const std::filesystem::path& path) {
    std::ifstream in(path);
    return nlohmann::json::parse(in);
}

inline void WriteJson(const std::filesystem::path& path, const nlohmann::json& json) {
    std::ofstream(path) << json.dump(1) << "\n";
}

// folder/course.json as a copy of the desert with the given id and name;
// change edits the JSON before it is written.
inline void CopyDesert(const std::filesystem::path& folder, const std::string& id, const std::string& name,
                       const std::function<void(nlohmann::json&)>& change = nullptr) {
    namespace fs = std::filesystem;
    fs::create_directories(folder);
    nlohmann::json course = ReadJson("Data/Courses/desert/course.json");
    std::function<void(nlohmann::json&)> walk = [&](nlohmann::json& node) {
        if (node.is_object() || node.is_array()) {
            for (auto& child : node) walk(child);
        } else if (node.is_string()) {
            const std::string path = node.get<std::string>();
            if (path.rfind("Data/", 0) != 0) return;
            const std::string rel = path.substr(5);
            const fs::path from = fs::path(path).parent_path(), to = folder / fs::path(rel).parent_path();
            fs::create_directories(to);
            fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::skip_existing);
            node = rel;
        }
    };
    walk(course);
    course["id"] = id;
    course["name"] = name;
    if (change) change(course);
    WriteJson(folder / "course.json", course);
}

}  // namespace course_copy
