#pragma once
// The course's coordinate files: a count, then one "X Y Z" line per point.

#include "framework/Math.h"

#include <cstddef>
#include <string>
#include <vector>

// At most maxPoints points; nothing for a missing file or a negative count;
// reading stops at the first point that cannot be read (no invented points).
std::vector<Vector3> ReadPointFile(const std::string& path, size_t maxPoints);
