// libFuzzer entry for WAV sounds; the checks live in FuzzTargets.cpp.
#include "FuzzSupport.h"
#include "FuzzTargets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzWav(data, size);
    return 0;
}
