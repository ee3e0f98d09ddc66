#pragma once
// Reads a trace (one JSON object a line) into memory. A whole race is
// thousands of lines: the parsing lives in the test support library, which is
// compiled with optimisation, while test code itself is not.

#include <nlohmann/json.hpp>

#include <filesystem>
#include <vector>

std::vector<nlohmann::json> ReadJsonLines(const std::filesystem::path& path);
