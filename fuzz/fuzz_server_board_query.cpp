// libFuzzer entry for the server's board query parser; the checks live in ServerFuzzTargets.cpp.
#include "ServerFuzzTargets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzServerBoardQuery(data, size);
    return 0;
}
