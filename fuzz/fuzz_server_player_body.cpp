// libFuzzer entry for the server's player body parser; the checks live in ServerFuzzTargets.cpp.
#include "ServerFuzzTargets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzServerPlayerBody(data, size);
    return 0;
}
