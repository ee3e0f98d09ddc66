#include "JsonLines.h"

#include <fstream>
#include <string>

std::vector<nlohmann::json> ReadJsonLines(const std::filesystem::path& path) {
    std::vector<nlohmann::json> lines;
    std::ifstream file(path);
    for (std::string line; std::getline(file, line);)
        // Parsed from a character range, not a string: test programs parse
        // strings themselves, and their unoptimised copies of that parser
        // must not stand in for this one.
        lines.push_back(nlohmann::json::parse(line.data(), line.data() + line.size()));
    return lines;
}
