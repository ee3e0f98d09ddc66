// libFuzzer entry for the server's verifier output parser; the checks live in ServerFuzzTargets.cpp.
#include "ServerFuzzTargets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzServerVerifierOutput(data, size);
    return 0;
}
