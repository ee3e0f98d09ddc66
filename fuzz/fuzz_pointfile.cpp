// libFuzzer entry for the course's coordinate files; the checks live in FuzzTargets.cpp.
#include "FuzzSupport.h"
#include "FuzzTargets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzPointFile(data, size);
    return 0;
}
