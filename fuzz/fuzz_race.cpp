// libFuzzer entry for race files; the checks live in FuzzTargets.cpp.
#include "FuzzSupport.h"
#include "FuzzTargets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzRaceFile(data, size);
    return 0;
}
