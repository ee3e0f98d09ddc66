#pragma once
// The course a run starts on: a replay's own (false, with one line, when it
// is missing or has changed since the recording), --course (false when
// unknown), or the settings' choice with a fallback to the first playable one.

#include "app/CommandLine.h"

struct CourseData;
struct ReplayHeader;

bool ChooseStartCourse(const RunOptions& options, const ReplayHeader* recorded, const CourseData*& course);
