#include "framework/graphics/AxImageDecode.h"

#include <cstdlib>

namespace {
// The decoder allocates (and clears) what a header claims before reading any
// pixel, so a 100-byte file can ask for gigabytes. Far beyond any texture of
// the game: 16384 on a side (the usual GL limit) and 16M pixels (64 MiB as
// RGBA8, 256 MiB as float).
constexpr int kMaxSide = 16384;
constexpr size_t kMaxPixelsDefault = 16384u * 1024u;
size_t g_maxPixels = kMaxPixelsDefault;
// The decoder also sizes buffers from counts inside the data (a PNG chunk's
// length, for one) before it knows the data is there. No buffer of an image
// within the limits needs more than 16 bytes a pixel (float RGBA) and a little
// slack (row filter bytes), so a larger request is refused and the decoder reports running out of memory.
size_t MaxAllocation() { return g_maxPixels * 17; }
void* CappedMalloc(size_t size) { return size <= MaxAllocation() ? std::malloc(size) : nullptr; }
void* CappedRealloc(void* p, size_t size) { return size <= MaxAllocation() ? std::realloc(p, size) : nullptr; }
}  // namespace

#define STBI_MALLOC(size) CappedMalloc(size)
#define STBI_REALLOC(p, size) CappedRealloc(p, size)
#define STBI_FREE(p) std::free(p)
#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
// JPEG is left out: the packaged decoder writes past its Huffman tables when
// a table declares more than 256 codes, and no texture of the game is JPEG.
#define STBI_NO_JPEG
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

namespace {
bool SizeClaimTooLarge(FILE* file) {
    int w = 0, h = 0, channels = 0;
    // A header the quick look cannot read is left to the decoder, which checks it again.
    if (!stbi_info_from_file(file, &w, &h, &channels)) return false;
    return w > kMaxSide || h > kMaxSide || static_cast<size_t>(w) * static_cast<size_t>(h) > g_maxPixels;
}

// The packaged PNG decoder copies an empty first IDAT chunk into a buffer it
// has not allocated yet (a null pointer, undefined even for zero bytes).
// Encoders never start the image data with an empty chunk; refuse such files.
bool PngStartsWithEmptyIdat(FILE* file) {
    unsigned char header[8];
    bool empty = false;
    if (std::fread(header, 1, 8, file) == 8 && std::memcmp(header, "\x89PNG\r\n\x1a\n", 8) == 0) {
        unsigned char chunk[8];
        while (std::fread(chunk, 1, 8, file) == 8) {
            const long length = static_cast<long>(chunk[0]) << 24 | static_cast<long>(chunk[1]) << 16 |
                                static_cast<long>(chunk[2]) << 8 | static_cast<long>(chunk[3]);
            if (std::memcmp(chunk + 4, "IDAT", 4) == 0) {
                empty = length == 0;
                break;
            }
            if (std::fseek(file, length + 4, SEEK_CUR) != 0) break;  // data and CRC
        }
    }
    std::rewind(file);
    return empty;
}
}  // namespace

void AxSetImageDecodeMaxPixels(size_t pixels) { g_maxPixels = pixels ? pixels : kMaxPixelsDefault; }

bool AxDecodeImageFile(const std::string& path, AxDecodedImage& out) {
    out = AxDecodedImage{};
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    if (SizeClaimTooLarge(file) || PngStartsWithEmptyIdat(file)) {
        std::fclose(file);
        return false;
    }
    int w = 0, h = 0, channels = 0;
    bool ok = false;
    // A header may claim a zero width or height and still yield a (zero-byte)
    // buffer: such an image has no pixels to copy and is not an image.
    if (stbi_is_hdr_from_file(file)) {
        float* data = stbi_loadf_from_file(file, &w, &h, &channels, 4);
        if (data && w > 0 && h > 0) {
            out.isFloat = true;
            out.pixels.resize(static_cast<size_t>(w) * static_cast<size_t>(h) * 16);
            std::memcpy(out.pixels.data(), data, out.pixels.size());
            ok = true;
        }
        stbi_image_free(data);
    } else {
        stbi_uc* data = stbi_load_from_file(file, &w, &h, &channels, 4);
        if (data && w > 0 && h > 0) {
            out.pixels.assign(data, data + static_cast<size_t>(w) * static_cast<size_t>(h) * 4);
            ok = true;
        }
        stbi_image_free(data);
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
