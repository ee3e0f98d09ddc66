#include "framework/graphics/AxImageDecode.h"

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_NO_PSD
#define STBI_NO_PIC
#define STBI_NO_PNM
#define STBI_FAILURE_USERMSG
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wsign-compare"
#endif
#include <stb_image.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

#include <cstdio>
#include <cstring>

bool AxDecodeImageFile(const std::string& path, AxDecodedImage& out) {
    out = AxDecodedImage{};
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    int w = 0, h = 0, channels = 0;
    bool ok = false;
    if (stbi_is_hdr_from_file(file)) {
        float* data = stbi_loadf_from_file(file, &w, &h, &channels, 4);
        if (data) {
            out.isFloat = true;
            out.pixels.resize(static_cast<size_t>(w) * h * 16);
            std::memcpy(out.pixels.data(), data, out.pixels.size());
            stbi_image_free(data);
            ok = true;
        }
    } else {
        stbi_uc* data = stbi_load_from_file(file, &w, &h, &channels, 4);
        if (data) {
            out.pixels.assign(data, data + static_cast<size_t>(w) * h * 4);
            stbi_image_free(data);
            ok = true;
        }
    }
    std::fclose(file);
    if (!ok || w <= 0 || h <= 0) {
        out = AxDecodedImage{};
        return false;
    }
    out.width = w;
    out.height = h;
    return true;
}
