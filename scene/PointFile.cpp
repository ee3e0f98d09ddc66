#include "scene/PointFile.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {
// Numbers are read as words and converted with strto*, because scanf's
// numeric conversions are undefined for values out of their type's range
// (an absurd count, "1e999"); strto* saturate and say so.
bool ReadWord(std::FILE* file, char (&word)[64]) { return std::fscanf(file, "%63s", word) == 1; }

bool ReadCount(std::FILE* file, long& count) {
    char word[64];
    if (!ReadWord(file, word)) return false;
    char* end = nullptr;
    errno = 0;
    count = std::strtol(word, &end, 10);
    if (end == word || *end != '\0') return false;
    if (errno == ERANGE && count == LONG_MAX) return true;  // absurdly many: capped by the caller
    return errno == 0;
}

// A coordinate that is not a finite number is not a point.
bool ReadCoordinate(std::FILE* file, float& value) {
    char word[64];
    if (!ReadWord(file, word)) return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtof(word, &end);
    return end != word && *end == '\0' && errno == 0 && std::isfinite(value);
}
}  // namespace

std::vector<Vector3> ReadPointFile(const std::string& path, size_t maxPoints) {
    std::vector<Vector3> points;
    std::FILE* file = std::fopen(path.c_str(), "r");
    if (!file) return points;
    long count = 0;
    if (ReadCount(file, count) && count > 0) {
        const size_t wanted = static_cast<unsigned long>(count) < maxPoints ? static_cast<size_t>(count) : maxPoints;
        points.reserve(wanted);
        for (size_t i = 0; i < wanted; ++i) {
            Vector3 p;
            if (!ReadCoordinate(file, p.x) || !ReadCoordinate(file, p.y) || !ReadCoordinate(file, p.z)) break;
            points.push_back(p);
        }
    }
    std::fclose(file);
    return points;
}
