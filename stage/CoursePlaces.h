#pragma once
// Course file numbers as the stage classes use them.

#include "framework/Math.h"
#include "stage/course/CourseData.h"

inline Vector3 ToVector(const CoursePoint& p) { return Vector3(p.x, p.y, p.z); }
