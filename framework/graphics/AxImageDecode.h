#pragma once
// Image file decoding, kept behind one function so the decoder's symbols stay
// private to the framework (the glTF library ships its own copy).

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct AxDecodedImage {
    int width = 0;
    int height = 0;
    bool isFloat = false;         // RGBA 32-bit float (Radiance HDR), else RGBA8
    std::vector<uint8_t> pixels;  // top row first
};

bool AxDecodeImageFile(const std::string& path, AxDecodedImage& out);

// Fuzzing lowers the largest image accepted (the same checks, far fewer bytes
// to clear per input, so many more inputs a second); 0 restores the game's limit.
void AxSetImageDecodeMaxPixels(size_t pixels);
