// Runs the real game executable headless, as the outside checks do.

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#include <stb_image.h>

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {
struct Result {
    int status = -1;
    std::string out;
};

Result RunGame(const std::string& arguments, const std::string& environment = "") {
    const std::string command = environment + " " + std::string(VORLAN_BINARY_DIR) + "/vorlan " + arguments + " 2>&1";
    Result result;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return result;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) result.out.append(buffer, n);
    const int raw = pclose(pipe);
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return result;
}

std::vector<nlohmann::json> ReadTrace(const fs::path& path) {
    std::vector<nlohmann::json> lines;
    std::ifstream file(path);
    std::string line;
    while (std::getline(file, line)) lines.push_back(nlohmann::json::parse(line));
    return lines;
}

class RunTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("vorlan-run-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    std::string Path(const char* name) const { return (dir / name).string(); }
    fs::path dir;
};
}  // namespace

TEST_F(RunTest, TracesEveryFrameOnTheFixedClock) {
    const Result run = RunGame("--headless --no-render --fixed-clock --frames 300 --trace " + Path("t.jsonl"));
    ASSERT_EQ(run.status, 0) << run.out;
    const auto trace = ReadTrace(dir / "t.jsonl");
    ASSERT_EQ(trace.size(), 300u);
    for (size_t i = 0; i < trace.size(); ++i) {
        ASSERT_EQ(trace[i]["frame"], i);
        ASSERT_EQ(trace[i]["ms"], 16 * i) << "the virtual clock moves 16 ms after every frame";
    }
}

TEST_F(RunTest, ScriptedEscapeEndsTheRunBeforeThatFrame) {
    std::ofstream(Path("keys.txt")) << "# leave at frame 10\n10 10 Escape\n";
    const Result run = RunGame("--headless --no-render --fixed-clock --frames 300 --input " + Path("keys.txt") +
                               " --trace " + Path("t.jsonl"));
    ASSERT_EQ(run.status, 0) << run.out;
    const auto trace = ReadTrace(dir / "t.jsonl");
    ASSERT_EQ(trace.size(), 10u);
    EXPECT_EQ(trace.back()["frame"], 9);
}

TEST_F(RunTest, BadInputScriptStopsBeforeStarting) {
    std::ofstream(Path("keys.txt")) << "0 10 Z\n5 x Enter\n";
    const Result run = RunGame("--headless --frames 5 --input " + Path("keys.txt") + " --trace " + Path("t.jsonl"));
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.out.find("line 2"), std::string::npos) << run.out;
    EXPECT_FALSE(fs::exists(dir / "t.jsonl") && fs::file_size(dir / "t.jsonl") > 0);
}

TEST_F(RunTest, BadCommandLineExitsWithUsage) {
    const Result run = RunGame("--frames");
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.out.find("Usage"), std::string::npos);
    EXPECT_EQ(RunGame("--help").status, 0);
}

TEST_F(RunTest, ScreenshotShowsTheDrawnFrame) {
    const Result run = RunGame("--headless --no-render --fixed-clock --frames 2 --screenshot 1:" + Path("shot.png"));
    ASSERT_EQ(run.status, 0) << run.out;
    int width = 0, height = 0, channels = 0;
    stbi_uc* pixels = stbi_load(Path("shot.png").c_str(), &width, &height, &channels, 4);
    ASSERT_NE(pixels, nullptr);
    EXPECT_EQ(width, 1280);
    EXPECT_EQ(height, 720);
    // The title over the course: opaque, and far from the plain clear colour.
    size_t clearBlue = 0;
    for (int i = 0; i < width * height; ++i) {
        ASSERT_EQ(pixels[4 * i + 3], 255);
        clearBlue += pixels[4 * i] == 0 && pixels[4 * i + 1] == 0 && pixels[4 * i + 2] == 255;
    }
    EXPECT_LT(clearBlue, size_t(width) * height / 2);
    stbi_image_free(pixels);
}

TEST_F(RunTest, StatsReportTheFrameRate) {
    const Result run = RunGame("--headless --no-render --fixed-clock --frames 125 --stats");
    ASSERT_EQ(run.status, 0) << run.out;
    const size_t brace = run.out.rfind("{\"frames\"");
    ASSERT_NE(brace, std::string::npos) << run.out;
    const auto stats = nlohmann::json::parse(run.out.substr(brace));
    EXPECT_EQ(stats["frames"], 125);
    EXPECT_EQ(stats["fps"], 62);
    for (const char* key : {"frameMs", "updateMs", "drawMs", "presentMs"}) {
        EXPECT_TRUE(stats[key].contains("median") && stats[key].contains("p95") && stats[key].contains("max"));
    }
    EXPECT_GT(stats["peakRssMiB"].get<double>(), 0.0);
}

TEST_F(RunTest, FailedStartUpReportsAndExitsNonZero) {
    // No usable video driver: the window cannot be made.
    Result run = RunGame("--headless --frames 3 --trace " + Path("t.jsonl"), "SDL_VIDEODRIVER=none-such");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("エラー: ウィンドウ作成に失敗"), std::string::npos) << run.out;
    EXPECT_EQ(fs::file_size(dir / "t.jsonl"), 0u) << "no frame runs";

    // A driver that offers too old an OpenGL: the device cannot be made.
    run = RunGame("--headless --frames 3", "MESA_GL_VERSION_OVERRIDE=3.0");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("Direct3D初期化失敗: "), std::string::npos) << run.out;
}
