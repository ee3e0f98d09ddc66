#pragma once
// One entry point per loader under test. The libFuzzer targets call these,
// and so does the normal test suite for the kept regression inputs, so a
// fault found once stays checked without clang.

#include <cstddef>
#include <cstdint>

void FuzzGltf(const uint8_t* data, size_t size);
void FuzzImage(const uint8_t* data, size_t size);
void FuzzWav(const uint8_t* data, size_t size);
void FuzzPointFile(const uint8_t* data, size_t size);
// The player's records and ghost files.
void FuzzRecords(const uint8_t* data, size_t size);
void FuzzRaceFile(const uint8_t* data, size_t size);
bool FuzzRaceFileLoads(const uint8_t* data, size_t size);
void FuzzGhost(const uint8_t* data, size_t size);
bool FuzzRecordsLoads(const uint8_t* data, size_t size);
bool FuzzGhostLoads(const uint8_t* data, size_t size);
// A course file (a player's: untrusted), and its point files.
void FuzzCourse(const uint8_t* data, size_t size);
bool FuzzCourseLoads(const uint8_t* data, size_t size);
// A course description (a player's: untrusted), read and its line built.
void FuzzCourseDescription(const uint8_t* data, size_t size);
bool FuzzCourseDescriptionLoads(const uint8_t* data, size_t size);

// What each entry point reports as accepted, for checking that seeds reach
// past the loaders' first checks.
bool FuzzGltfLoads(const uint8_t* data, size_t size);
bool FuzzImageLoads(const uint8_t* data, size_t size);
bool FuzzWavLoads(const uint8_t* data, size_t size);
