#include "framework/ImageWrite.h"

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#include <stb_image_write.h>

bool WritePng(const std::string& path, int width, int height, const uint8_t* rgba) {
    if (width <= 0 || height <= 0 || !rgba) return false;
    return stbi_write_png(path.c_str(), width, height, 4, rgba, width * 4) != 0;
}
