#include "scene/PointFile.h"

#include <cstdio>

std::vector<Vector3> ReadPointFile(const std::string& path, size_t maxPoints) {
    std::vector<Vector3> points;
    std::FILE* file = std::fopen(path.c_str(), "r");
    if (!file) return points;
    int count = 0;
    if (std::fscanf(file, "%d\n", &count) == 1 && count > 0) {
        const size_t wanted = static_cast<size_t>(count) < maxPoints ? static_cast<size_t>(count) : maxPoints;
        points.reserve(wanted);
        for (size_t i = 0; i < wanted; ++i) {
            Vector3 p;
            if (std::fscanf(file, "%f %f %f\n", &p.x, &p.y, &p.z) != 3) break;
            points.push_back(p);
        }
    }
    std::fclose(file);
    return points;
}
