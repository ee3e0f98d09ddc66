#pragma once
#include <cstdint>
#include <string>

// Writes an RGBA8 picture, top row first, as a PNG file.
bool WritePng(const std::string& path, int width, int height, const uint8_t* rgba);
