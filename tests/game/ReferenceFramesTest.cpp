// The drawn picture of a whole race stays what it was: the title, countdown,
// mid-race and result frames of one fixed race, drawn by the real game on the
// software rasteriser, match stored pictures within 2 per channel. Any work
// on how a frame is drawn (order, culling, skipped passes) must keep them.
//
// The stored pictures came from the same run as scripts/screenshots.sh
// (fixed clock, seed 1, autopilot, Enter at frame 5; the player finishes in
// frame 4006 and the result frame is 90 frames later). Only when the picture
// is meant to change, make them again with that command line and the
// --screenshot options below.

#include <gtest/gtest.h>

#include <stb_image.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {
const fs::path kReferences = fs::path(VORLAN_SOURCE_DIR) / "tests/data/reference-frames";

struct Frame {
    const char* name;
    int number;
};
constexpr Frame kFrames[] = {{"title", 3}, {"countdown", 280}, {"race", 1500}, {"result", 4096}};

struct Picture {
    int width = 0, height = 0;
    std::vector<unsigned char> rgba;
};

Picture Load(const fs::path& path) {
    Picture picture;
    int channels = 0;
    if (stbi_uc* data = stbi_load(path.string().c_str(), &picture.width, &picture.height, &channels, 4)) {
        picture.rgba.assign(data, data + static_cast<size_t>(picture.width) * picture.height * 4);
        stbi_image_free(data);
    }
    return picture;
}

// Empty when the pictures agree within the tolerance, else what differs.
std::string Compare(const Picture& got, const Picture& want, int tolerance = 2) {
    if (got.rgba.empty() || want.rgba.empty()) return "a picture is missing";
    if (got.width != want.width || got.height != want.height)
        return "size " + std::to_string(got.width) + "x" + std::to_string(got.height);
    size_t wrong = 0, first = 0;
    int worst = 0;
    for (size_t i = 0; i < got.rgba.size(); ++i) {
        const int d = std::abs(int(got.rgba[i]) - int(want.rgba[i]));
        if (d > tolerance) {
            if (wrong++ == 0) first = i / 4;
            worst = std::max(worst, d);
        }
    }
    if (wrong == 0) return "";
    return std::to_string(wrong) + " channel values off by up to " + std::to_string(worst) + ", first at x " +
           std::to_string(first % size_t(want.width)) + " y " + std::to_string(first / size_t(want.width));
}

class ReferenceFrames : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("vorlan-reference-frames-" + std::to_string(getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    fs::path dir;
};
}  // namespace

TEST_F(ReferenceFrames, RaceFramesKeepTheirPixels) {
    std::ofstream(dir / "start.txt") << "5 5 Enter\n";
    // Logic only, except the four frames asked for: few frames are drawn.
    std::string command = "cd " + std::string(VORLAN_BINARY_DIR) +
                          " && ./vorlan --headless --no-render --fixed-clock --uncapped --autopilot --seed 1 --input '" +
                          (dir / "start.txt").string() + "' --frames 4097";
    for (const Frame& frame : kFrames)
        command += " --screenshot '" + std::to_string(frame.number) + ":" + (dir / frame.name).string() + ".png'";
    const int raw = std::system((command + " >/dev/null 2>&1").c_str());
    ASSERT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 0) << command;

    std::vector<Picture> drawn;
    for (const Frame& frame : kFrames) {
        drawn.push_back(Load(dir / (std::string(frame.name) + ".png")));
        const Picture want = Load(kReferences / (std::string(frame.name) + ".png"));
        ASSERT_EQ(want.width, 1280) << frame.name;
        EXPECT_EQ(Compare(drawn.back(), want), "") << frame.name << " (frame " << frame.number << ")";
    }
    // The comparison itself tells different pictures apart.
    EXPECT_NE(Compare(drawn[0], Load(kReferences / "countdown.png")), "");
    EXPECT_NE(Compare(drawn[2], Load(kReferences / "result.png")), "");
}
