// libFuzzer entry for glTF models (.gltf text or .glb); the checks live in FuzzTargets.cpp.
#include "FuzzSupport.h"
#include "FuzzTargets.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    FuzzQuietStdout();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzGltf(data, size);
    return 0;
}
