#pragma once
// Helpers shared by the fuzz targets: the loaders read paths, so each input
// is handed over as a file.

#include <cstddef>
#include <cstdint>
#include <string>

// An in-memory file holding the bytes, reachable through the returned path
// until the next call (no disk writes, nothing left behind on a crash).
std::string FuzzMemFile(const uint8_t* data, size_t size);

// A fresh private directory, made once per process.
const std::string& FuzzTempDir();

// Writes the bytes to a file of that name in FuzzTempDir(); returns its path.
std::string FuzzWriteTempFile(const std::string& name, const uint8_t* data, size_t size);

// The loaders print progress lines; silence them so the fuzzer's own output stays readable.
void FuzzQuietStdout();

// Stops with a report when a loader breaks one of its promises.
#define FUZZ_CHECK(cond)                                                                              \
    do {                                                                                              \
        if (!(cond)) FuzzFail(#cond, __FILE__, __LINE__);                                             \
    } while (0)
[[noreturn]] void FuzzFail(const char* what, const char* file, int line);
