// Checks the generated HUD atlases and effect textures against the rectangles and the
// screen placement the game draws them with.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include <stb_image.h>

namespace {

namespace fs = std::filesystem;
using Rect = std::array<int, 4>;

const fs::path kData = fs::path(VORLAN_BINARY_DIR) / "Data";
constexpr int kInk = 26;  // the sprite program discards alpha below 0.1

struct Image {
    int w = 0, h = 0;
    std::vector<uint8_t> px;
    int alpha(int x, int y) const { return px[(size_t(y) * w + x) * 4 + 3]; }
};

Image Load(const std::string& rel) {
    Image img;
    int n = 0;
    stbi_uc* data = stbi_load((kData / rel).string().c_str(), &img.w, &img.h, &n, 4);
    if (data) {
        img.px.assign(data, data + size_t(img.w) * img.h * 4);
        stbi_image_free(data);
    }
    return img;
}

struct InkBox {
    int x0 = 1 << 30, y0 = 1 << 30, x1 = -1, y1 = -1;
    bool empty() const { return x1 < 0; }
    float cx() const { return 0.5f * (x0 + x1 + 1); }
};

InkBox Ink(const Image& img, const Rect& r, int threshold = kInk) {
    InkBox b;
    for (int y = r[1]; y < r[1] + r[3]; ++y)
        for (int x = r[0]; x < r[0] + r[2]; ++x)
            if (img.alpha(x, y) >= threshold) {
                b.x0 = std::min(b.x0, x), b.y0 = std::min(b.y0, y);
                b.x1 = std::max(b.x1, x), b.y1 = std::max(b.y1, y);
            }
    return b;
}

bool Inside(const Image& img, const Rect& r) {
    return r[0] >= 0 && r[1] >= 0 && r[2] > 0 && r[3] > 0 && r[0] + r[2] <= img.w && r[1] + r[3] <= img.h;
}

Rect Digit(int d) { return {0, 5 + 86 * d, 67, 64}; }

// The BEST and LAP rows, the NEW RECORD banner, then the split's digits, sign
// and point in green (faster) and red (slower).
std::vector<Rect> RecordsCells() {
    std::vector<Rect> cells = {{0, 0, 438, 84}, {0, 84, 438, 84}, {0, 168, 438, 84}, {0, 252, 438, 84}, {0, 336, 640, 110}};
    for (int y : {446, 510})
        for (int cell = 0; cell < 12; ++cell) cells.push_back({67 * cell, y, 67, 64});
    return cells;
}

struct Atlas {
    const char* path;
    std::vector<Rect> sprites;
};

const std::vector<Atlas>& Atlases() {
    static const std::vector<Atlas> atlases = {
        {"Texture/name.png", {{0, 0, 768, 147}}},
        {"Texture/push.png", {{0, 0, 570, 46}, {0, 46, 570, 46}}},
        {"Texture/NewUI.png", {{0, 0, 438, 84}, {0, 84, 300, 84}, {0, 168, 414, 84}}},
        {"Texture/sg.png", {{0, 0, 140, 131}, {140, 0, 130, 131}, {270, 0, 90, 131}, {360, 0, 344, 131}, {0, 131, 714, 131}}},
        {"Texture/Number.png", {Digit(0), Digit(1), Digit(2), Digit(3), Digit(4), Digit(5), Digit(6), Digit(7), Digit(8), Digit(9)}},
        {"Texture/Rank/rank1.png", {{0, 0, 90, 97}}},
        {"Texture/Rank/rank2.png", {{0, 0, 90, 97}}},
        {"Texture/Rank/rank3.png", {{0, 0, 90, 97}}},
        {"Texture/Records.png", RecordsCells()},
    };
    return atlases;
}

TEST(MediaTextures, EverySpriteHasInkWithinItsOwnRectangle) {
    for (const Atlas& atlas : Atlases()) {
        SCOPED_TRACE(atlas.path);
        const Image img = Load(atlas.path);
        ASSERT_FALSE(img.px.empty()) << "missing or undecodable";
        for (const Rect& r : atlas.sprites) {
            SCOPED_TRACE(testing::Message() << "rect " << r[0] << "," << r[1] << "," << r[2] << "," << r[3]);
            ASSERT_TRUE(Inside(img, r));
            const InkBox b = Ink(img, r);
            ASSERT_FALSE(b.empty()) << "sprite is blank";
            // Nothing visible on the rectangle's edge: art that touches it has been cut off.
            EXPECT_GT(b.x0, r[0]);
            EXPECT_GT(b.y0, r[1]);
            EXPECT_LT(b.x1, r[0] + r[2] - 1);
            EXPECT_LT(b.y1, r[1] + r[3] - 1);
        }
        // Texels outside every sprite stay empty, so no neighbour bleeds into a cell.
        for (int y = 0; y < img.h; ++y)
            for (int x = 0; x < img.w; ++x) {
                bool covered = false;
                for (const Rect& r : atlas.sprites)
                    covered |= x >= r[0] && y >= r[1] && x < r[0] + r[2] && y < r[1] + r[3];
                if (!covered) {
                    ASSERT_EQ(img.alpha(x, y), 0) << "ink at " << x << "," << y;
                }
            }
    }
}

TEST(MediaTextures, DigitsAreNarrowCentredAndShareABaseline) {
    const Image img = Load("Texture/Number.png");
    ASSERT_FALSE(img.px.empty());
    int bottom = -1;
    for (int d = 0; d <= 9; ++d) {
        SCOPED_TRACE(d);
        const InkBox b = Ink(img, Digit(d));
        ASSERT_FALSE(b.empty());
        // The race clock steps 25 px at half size (50 texels), the result 53 px.
        EXPECT_LE(b.x1 - b.x0 + 1, 46);
        EXPECT_NEAR(b.cx(), 33.5f, 3.0f);
        const int rel = b.y1 - Digit(d)[1];
        if (bottom < 0) bottom = rel;
        EXPECT_NEAR(rel, bottom, 3);
    }
}

// Maps a digit texel drawn with pivot (1, 1) at (px, py) with the given scale into the
// texels of a label drawn centred at (lx, ly) with the same scale.
struct Placement {
    float scale;
    float lx, ly;  // label centre on screen
    Rect label;
};

bool LabelInkUnderDigit(const Image& ui, const Placement& p, float px, float py, const InkBox& digit, int d) {
    const Rect cell = Digit(d);
    for (int y = digit.y0 + 2; y <= digit.y1 - 2; ++y)
        for (int x = digit.x0 + 2; x <= digit.x1 - 2; ++x) {
            const float sx = px - (cell[2] - (x - cell[0]) - 0.5f) * p.scale;
            const float sy = py - (y - cell[1] + 0.5f) * p.scale;
            const int tx = int(std::floor((sx - p.lx) / p.scale + p.label[2] / 2.0f)) + p.label[0];
            const int ty = int(std::floor(p.label[3] / 2.0f - (sy - p.ly) / p.scale)) + p.label[1];
            if (tx < p.label[0] || ty < p.label[1] || tx >= p.label[0] + p.label[2] || ty >= p.label[1] + p.label[3])
                continue;
            if (ui.alpha(tx, ty) >= 128) return true;
        }
    return false;
}

TEST(MediaTextures, LabelsLeaveRoomWhereTheDigitsAreDrawn) {
    const Image ui = Load("Texture/NewUI.png");
    const Image num = Load("Texture/Number.png");
    ASSERT_FALSE(ui.px.empty());
    ASSERT_FALSE(num.px.empty());
    const Rect timeLabel{0, 0, 438, 84}, lapLabel{0, 168, 414, 84};
    const Placement raceClock{0.5f, -510, 310, timeLabel}, resultClock{1.0f, 0, -100, timeLabel};
    const Placement lap{0.5f, -495, 260, lapLabel};
    for (int d = 0; d <= 9; ++d) {
        SCOPED_TRACE(d);
        const InkBox ink = Ink(num, Digit(d));
        for (int k = 0; k < 5; ++k) {
            EXPECT_FALSE(LabelInkUnderDigit(ui, raceClock, -330.0f - 25 * k, 325, ink, d)) << "race clock digit " << k;
            EXPECT_FALSE(LabelInkUnderDigit(ui, resultClock, 370.0f - 53 * k, -75, ink, d)) << "result digit " << k;
        }
        EXPECT_FALSE(LabelInkUnderDigit(ui, raceClock, -465, 325, ink, d)) << "race minutes";
        EXPECT_FALSE(LabelInkUnderDigit(ui, resultClock, 90, -75, ink, d)) << "result minutes";
        EXPECT_FALSE(LabelInkUnderDigit(ui, lap, -467, 272, ink, d)) << "lap digit";
        EXPECT_FALSE(LabelInkUnderDigit(ui, lap, -420, 272, ink, d)) << "lap count";
    }
    // The separators are part of the labels: the colon and point of the clock, the slash
    // of the lap counter.
    EXPECT_FALSE(Ink(ui, {300, 0, 20, 84}).empty());
    EXPECT_FALSE(Ink(ui, {412, 0, 20, 84}).empty());
    EXPECT_FALSE(Ink(ui, {262, 168, 30, 84}).empty());
    // The race shows only 230 texels of the rank row: its word must end before that.
    const InkBox rank = Ink(ui, {0, 84, 230, 84});
    ASSERT_FALSE(rank.empty());
    EXPECT_LT(rank.x1, 226);
    EXPECT_TRUE(Ink(ui, {226, 84, 8, 84}).empty());
}

TEST(MediaTextures, EffectAndFadeTexturesHaveUsableAlpha) {
    const Image black = Load("Texture/black.png");
    ASSERT_EQ(black.w, 1280);
    ASSERT_EQ(black.h, 720);
    for (size_t i = 0; i < black.px.size(); i += 4) {
        ASSERT_EQ(black.px[i] + black.px[i + 1] + black.px[i + 2], 0);
        ASSERT_EQ(black.px[i + 3], 255);
    }
    for (const char* path : {"Texture/WhiteSmoke.png", "Texture/SandSmoke.png", "Texture/shadow.png"}) {
        SCOPED_TRACE(path);
        const Image img = Load(path);
        ASSERT_FALSE(img.px.empty());
        // Soft shapes: dense in the middle, fully clear at the border so the quad's edge never shows.
        EXPECT_GT(img.alpha(img.w / 2, img.h / 2), 100);
        for (int i = 0; i < img.w; ++i) {
            EXPECT_EQ(img.alpha(i, 0), 0);
            EXPECT_EQ(img.alpha(i, img.h - 1), 0);
            EXPECT_EQ(img.alpha(0, i % img.h), 0);
        }
        int partial = 0;
        for (size_t i = 3; i < img.px.size(); i += 4) partial += img.px[i] > 0 && img.px[i] < 200;
        EXPECT_GT(partial, img.w * img.h / 8) << "edges are not soft";
    }
}

TEST(MediaTextures, DataStaysWithinItsSizeBudget) {
    ASSERT_TRUE(fs::is_directory(kData));
    uintmax_t total = 0;
    for (const auto& entry : fs::recursive_directory_iterator(kData))
        if (entry.is_regular_file()) total += entry.file_size();
    EXPECT_LT(total, 40u * 1024u * 1024u);
}

}  // namespace
