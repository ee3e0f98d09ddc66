// vorlan-contactsheet OUT.png COLUMNS IMAGE...: lays pictures out on a grid,
// each halved, for reviewing the content at a glance.

#include "framework/ImageWrite.h"

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#include <stb_image.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: vorlan-contactsheet OUT.png COLUMNS IMAGE...\n");
        return 2;
    }
    const int columns = std::max(1, std::atoi(argv[2]));
    struct Picture {
        int width = 0, height = 0;
        std::vector<unsigned char> rgba;
    };
    std::vector<Picture> pictures;
    int cellWidth = 0, cellHeight = 0;
    for (int i = 3; i < argc; ++i) {
        Picture picture;
        int channels = 0;
        unsigned char* data = stbi_load(argv[i], &picture.width, &picture.height, &channels, 4);
        if (!data) {
            std::fprintf(stderr, "vorlan-contactsheet: cannot read %s\n", argv[i]);
            continue;
        }
        picture.rgba.assign(data, data + static_cast<size_t>(picture.width) * picture.height * 4);
        stbi_image_free(data);
        cellWidth = std::max(cellWidth, picture.width / 2);
        cellHeight = std::max(cellHeight, picture.height / 2);
        pictures.push_back(std::move(picture));
    }
    if (pictures.empty()) return 1;
    constexpr int kGap = 4;
    const int rows = (static_cast<int>(pictures.size()) + columns - 1) / columns;
    const int width = columns * cellWidth + (columns + 1) * kGap;
    const int height = rows * cellHeight + (rows + 1) * kGap;
    std::vector<unsigned char> sheet(static_cast<size_t>(width) * height * 4);
    for (size_t i = 0; i < sheet.size(); i += 4) {
        sheet[i] = sheet[i + 1] = sheet[i + 2] = 40;
        sheet[i + 3] = 255;
    }
    for (size_t n = 0; n < pictures.size(); ++n) {
        const Picture& p = pictures[n];
        const int x0 = kGap + static_cast<int>(n % columns) * (cellWidth + kGap);
        const int y0 = kGap + static_cast<int>(n / columns) * (cellHeight + kGap);
        // Box filter 2 x 2 down to half size.
        for (int y = 0; y < p.height / 2; ++y) {
            for (int x = 0; x < p.width / 2; ++x) {
                for (int c = 0; c < 4; ++c) {
                    int sum = 0;
                    for (int dy = 0; dy < 2; ++dy)
                        for (int dx = 0; dx < 2; ++dx)
                            sum += p.rgba[(static_cast<size_t>(2 * y + dy) * p.width + 2 * x + dx) * 4 + c];
                    sheet[(static_cast<size_t>(y0 + y) * width + x0 + x) * 4 + c] = static_cast<unsigned char>(sum / 4);
                }
            }
        }
    }
    return WritePng(argv[1], width, height, sheet.data()) ? 0 : 1;
}
