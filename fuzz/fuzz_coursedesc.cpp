// libFuzzer entry for a course description; the checks live in FuzzTargets.cpp.
#include "FuzzSupport.h"
#include "FuzzTargets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzCourseDescription(data, size);
    return 0;
}
