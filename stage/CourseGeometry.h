#pragma once
// The checks of a course that need its models: every model loads, the
// collision models have triangles, and the start grid, the checkpoints and
// every object stand over the road or the ground. Reads the models on the
// processor only (no device needed).

#include "stage/course/CourseData.h"

#include <string>

// Empty when the course passes, else "FIELD: why".
std::string CheckCourseGeometry(const CourseData& course);
