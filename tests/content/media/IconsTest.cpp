// The desktop icons the content generator draws for installation.

#include <gtest/gtest.h>

#include <stb_image.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct Icon {
    int w = 0, h = 0;
    std::vector<uint8_t> px;
    const uint8_t* at(int x, int y) const { return &px[(size_t(y) * w + x) * 4]; }
};

Icon LoadIcon(int size) {
    const std::string dim = std::to_string(size) + "x" + std::to_string(size);
    const fs::path path = fs::path(VORLAN_BINARY_DIR) / "icons" / "hicolor" / dim / "apps" / "vorlan-moto.png";
    Icon icon;
    int n = 0;
    if (stbi_uc* data = stbi_load(path.string().c_str(), &icon.w, &icon.h, &n, 4)) {
        icon.px.assign(data, data + size_t(icon.w) * icon.h * 4);
        stbi_image_free(data);
    }
    return icon;
}

}  // namespace

TEST(Icons, EveryHicolorSizeIsASquareTileWithTheLetterOnIt) {
    for (int size : {16, 32, 48, 64, 128, 256}) {
        SCOPED_TRACE(size);
        const Icon icon = LoadIcon(size);
        ASSERT_EQ(icon.w, size);
        ASSERT_EQ(icon.h, size);
        // Opaque in the middle half, so it reads on light and dark panels alike.
        int translucent = 0;
        for (int y = size / 4; y < size * 3 / 4; ++y)
            for (int x = size / 4; x < size * 3 / 4; ++x) translucent += icon.at(x, y)[3] < 250;
        EXPECT_EQ(translucent, 0);
        // Rounded corners: the very corner pixels are clear.
        for (auto [x, y] : {std::pair{0, 0}, {size - 1, 0}, {0, size - 1}, {size - 1, size - 1}})
            EXPECT_LT(icon.at(x, y)[3], 40) << x << "," << y;
        // The logo's orange letter covers a good part of the tile, not just the background.
        int warm = 0;
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) {
                const uint8_t* p = icon.at(x, y);
                warm += p[3] > 200 && p[0] > 200 && p[2] < 120;
            }
        EXPECT_GT(warm, size * size / 20);
    }
}

TEST(Icons, DesktopEntryNamesTheInstalledIcon) {
    std::ifstream desktop(fs::path(VORLAN_SOURCE_DIR) / "packaging" / "vorlan-moto.desktop");
    ASSERT_TRUE(desktop);
    std::string line, icon;
    while (std::getline(desktop, line))
        if (line.rfind("Icon=", 0) == 0) icon = line.substr(5);
    EXPECT_EQ(icon, "vorlan-moto");
    EXPECT_TRUE(fs::exists(fs::path(VORLAN_BINARY_DIR) / "icons/hicolor/48x48/apps" / (icon + ".png")));
}
