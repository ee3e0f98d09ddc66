// Runs the real game executable headless, as the outside checks do.

#include "JsonLines.h"
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <stb_image.h>

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
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

std::vector<nlohmann::json> ReadTrace(const fs::path& path) { return ReadJsonLines(path); }

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
    EXPECT_EQ(stats["course"], "desert");
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

namespace {
std::string ReadAll(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}
}  // namespace

TEST_F(RunTest, ARecordedRunReplaysFrameForFrameOnTheRealClock) {
    // Keys with a pause in the middle, so the recording has keys to carry.
    std::ofstream(Path("keys.txt")) << "0 80 Z\n20 30 Left\n40 40 P\n55 55 P\n";
    Result run = RunGame("--headless --no-render --frames 90 --input " + Path("keys.txt") + " --record " +
                         Path("run.rec") + " --trace " + Path("t1.jsonl"));
    ASSERT_EQ(run.status, 0) << run.out;
    // LeakSanitizer's thread tracer trips over a stale dynamic-TLS entry of a
    // system library at the exit of this one run (its own fault, not a leak);
    // every other run of the game is still leak-checked.
    run = RunGame("--headless --no-render --replay " + Path("run.rec") + " --trace " + Path("t2.jsonl"),
                  "ASAN_OPTIONS=detect_leaks=0:abort_on_error=1");
    ASSERT_EQ(run.status, 0) << run.out;

    const auto recorded = ReadTrace(dir / "t1.jsonl");
    const auto replayed = ReadTrace(dir / "t2.jsonl");
    ASSERT_EQ(recorded.size(), 90u);
    ASSERT_EQ(replayed.size(), recorded.size());
    for (size_t i = 0; i < recorded.size(); ++i) ASSERT_EQ(replayed[i], recorded[i]) << "frame " << i;
    // The real clock, not the virtual one: the readings are the wall's.
    bool virtualLooking = true;
    for (size_t i = 0; i < recorded.size(); ++i) virtualLooking &= recorded[i]["ms"] == 16 * i;
    EXPECT_FALSE(virtualLooking);
    EXPECT_NE(ReadAll(dir / "run.rec").find("\ns 32 "), std::string::npos) << "the pause key is in the recording";
}

TEST_F(RunTest, BrokenRecordingsAreRefusedBeforeStarting) {
    ASSERT_EQ(RunGame("--headless --no-render --fixed-clock --frames 20 --record " + Path("good.rec")).status, 0);
    const std::string good = ReadAll(dir / "good.rec");
    ASSERT_GT(good.size(), 100u);
    std::string otherVersion = good;
    otherVersion.replace(0, good.find('\n'), "vorlan-replay 9");
    const std::pair<std::string, std::string> cases[] = {
        {good.substr(0, good.size() / 2), "cut short"},
        {good.substr(0, good.size() - 1), "cut short"},
        {otherVersion, "version 9"},
        {std::string("\x7f" "ELF\x02\x01\x01\0garbage", 16), "not a replay file"},
        {"", "not a replay file"},
    };
    for (const auto& [content, message] : cases) {
        std::ofstream(Path("bad.rec"), std::ios::binary) << content;
        const Result run = RunGame("--headless --replay " + Path("bad.rec") + " --trace " + Path("t.jsonl"));
        EXPECT_EQ(run.status, 2) << run.out;
        EXPECT_NE(run.out.find(message), std::string::npos) << run.out;
        EXPECT_FALSE(fs::exists(dir / "t.jsonl")) << "no frame runs";
    }
    EXPECT_EQ(RunGame("--headless --replay " + Path("missing.rec")).status, 2);
    // Played back whole, the fixed-clock recording needs no --fixed-clock.
    const Result run = RunGame("--headless --no-render --replay " + Path("good.rec") + " --trace " + Path("t.jsonl"));
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(ReadTrace(dir / "t.jsonl").size(), 20u);
}

TEST_F(RunTest, AudioOutNeedsHeadlessAndAWritablePathOrExitsWithOneLine) {
    // Without --headless: refused before anything starts (no window, no file).
    Result run = RunGame("--frames 3 --audio-out " + Path("a.wav"), "SDL_VIDEODRIVER=none-such");
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "vorlan: --audio-out needs --headless\n");
    EXPECT_FALSE(fs::exists(dir / "a.wav"));
    run = RunGame("--headless --frames 3 --audio-out " + Path("no-such-folder/a.wav"));
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "vorlan: --audio-out: cannot write " + Path("no-such-folder/a.wav") + "\n");
    EXPECT_EQ(RunGame("--headless --audio-out").status, 2) << "needs a value";

    // Headless: 16 ms of stereo per frame at 48 kHz, with a header that says so.
    run = RunGame("--headless --no-render --fixed-clock --frames 10 --audio-out " + Path("a.wav"));
    ASSERT_EQ(run.status, 0) << run.out;
    std::ifstream wav(dir / "a.wav", std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(wav)), std::istreambuf_iterator<char>());
    ASSERT_EQ(bytes.size(), 44u + 10u * 768u * 4u);
    EXPECT_EQ(bytes.substr(0, 4), "RIFF");
    EXPECT_EQ(bytes.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(bytes.substr(36, 4), "data");
}

// Frames left undrawn on a slow machine run every update and draw call, so
// the race is the same whichever frames were shown: a real-clock run replayed
// with every frame drawn and with four of five undrawn gives one trace.
TEST_F(RunTest, UndrawnFramesLeaveTheRaceAsItIs) {
    std::ofstream(Path("keys.txt")) << "5 5 Enter\n";
    Result run = RunGame("--headless --autopilot --frames 60 --input " + Path("keys.txt") + " --record " +
                         Path("run.rec") + " --trace " + Path("t1.jsonl"));
    ASSERT_EQ(run.status, 0) << run.out;
    const std::string noLeakCheck = "ASAN_OPTIONS=detect_leaks=0:abort_on_error=1";  // see the replay test above
    run = RunGame("--headless --frame-skip off --replay " + Path("run.rec") + " --trace " + Path("t2.jsonl") +
                      " --stats",
                  noLeakCheck);
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("\"drawn\":60,"), std::string::npos) << run.out;
    run = RunGame("--headless --frame-skip max --replay " + Path("run.rec") + " --trace " + Path("t3.jsonl") +
                      " --stats",
                  noLeakCheck);
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("\"drawn\":12,"), std::string::npos) << run.out;
    const auto recorded = ReadTrace(dir / "t1.jsonl");
    ASSERT_EQ(recorded.size(), 60u);
    EXPECT_EQ(ReadTrace(dir / "t2.jsonl"), recorded);
    EXPECT_EQ(ReadTrace(dir / "t3.jsonl"), recorded);

    // The virtual clock never falls behind: every frame is drawn unless told;
    // nor does the render scale change the race.
    const std::string fixed = "--headless --fixed-clock --autopilot --seed 3 --frames 40 --input " + Path("keys.txt");
    run = RunGame(fixed + " --stats --trace " + Path("f1.jsonl"));
    EXPECT_NE(run.out.find("\"drawn\":40,"), std::string::npos) << run.out;
    run = RunGame(fixed + " --stats --frame-skip max --render-scale 0.5 --trace " + Path("f2.jsonl"));
    EXPECT_NE(run.out.find("\"drawn\":8,"), std::string::npos) << run.out;
    EXPECT_EQ(ReadTrace(dir / "f1.jsonl"), ReadTrace(dir / "f2.jsonl"));
}

// The difficulty comes from the player's settings, which may differ when the
// recording is played: the recording carries it, so the race is the same.
TEST_F(RunTest, AReplayRacesAtTheDifficultyItWasRecordedAt) {
    std::ofstream(Path("keys.txt")) << "5 5 Enter\n";
    std::filesystem::create_directories(dir / "hard/vorlan-moto");
    std::ofstream(dir / "hard/vorlan-moto/settings.ini") << "difficulty = hard\n";
    Result run = RunGame("--headless --no-render --fixed-clock --autopilot --frames 520 --input " + Path("keys.txt") +
                             " --record " + Path("run.rec") + " --trace " + Path("t1.jsonl"),
                         "XDG_CONFIG_HOME=" + Path("hard"));
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_NE(ReadAll(dir / "run.rec").find("\ndifficulty hard\n"), std::string::npos);
    // Played back with no settings file at all (normal).
    run = RunGame("--headless --no-render --replay " + Path("run.rec") + " --trace " + Path("t2.jsonl"),
                  "XDG_CONFIG_HOME=" + Path("none") + " ASAN_OPTIONS=detect_leaks=0:abort_on_error=1");
    ASSERT_EQ(run.status, 0) << run.out;
    const auto recorded = ReadTrace(dir / "t1.jsonl");
    const auto replayed = ReadTrace(dir / "t2.jsonl");
    ASSERT_EQ(replayed.size(), recorded.size());
    EXPECT_EQ(recorded.back()["settings"]["difficulty"], "hard");
    for (size_t i = 0; i < recorded.size(); ++i) ASSERT_EQ(replayed[i], recorded[i]) << "frame " << i;
}

TEST_F(RunTest, AReplayBindsTheKeyboardKeyItsRecordingKept) {
    // Options, down to the throttle line, wait for a key; O again closes it.
    std::ofstream(Path("keys.txt")) << "5 5 O\n7 7 Down\n9 9 Down\n11 11 Down\n13 13 Down\n15 15 Down\n"
                                       "17 17 Down\n19 19 Right\n25 25 O\n";
    Result run = RunGame("--headless --no-render --fixed-clock --frames 40 --input " + Path("keys.txt") +
                         " --record " + Path("run.rec"));
    ASSERT_EQ(run.status, 0) << run.out;
    std::string text = ReadAll(dir / "run.rec");
    ASSERT_NE(text.find("\nraw-keys 0\n"), std::string::npos) << "scripted keys stand for keyboard keys";
    // As if made at the keyboard: W pressed in frames 21 to 23 (steps 22 to 24).
    text.replace(text.find("raw-keys 0"), 10, "raw-keys 1");
    std::istringstream lines(text);
    std::string edited, line;
    int step = 0;
    while (std::getline(lines, line)) {
        if (line.rfind("s ", 0) == 0 && step++ >= 22 && step <= 25) line += " key 26";
        edited += line + "\n";
    }
    std::ofstream(Path("keyboard.rec")) << edited;
    // A replay writes the player's files only into a profile folder of its own.
    run = RunGame("--headless --no-render --replay " + Path("keyboard.rec") + " --profile " + Path("config/vorlan-moto"),
                  "XDG_CONFIG_HOME=" + Path("elsewhere") + " ASAN_OPTIONS=detect_leaks=0:abort_on_error=1");
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_NE(ReadAll(dir / "config/vorlan-moto/settings.ini").find("key_throttle = W\n"), std::string::npos)
        << ReadAll(dir / "config/vorlan-moto/settings.ini");
}

namespace {
struct LoggedPicture {
    double presentMs = 0, fraction = 0, shownMs = 0, scale = 0;
    int updates = 0;
};
std::vector<LoggedPicture> ReadFrameLog(const fs::path& path, std::string& header) {
    std::vector<LoggedPicture> pictures;
    std::ifstream file(path);
    std::getline(file, header);
    std::string line;
    while (std::getline(file, line)) {
        std::istringstream words(line);
        LoggedPicture p;
        std::string rest;
        if (!(words >> p.presentMs >> p.updates >> p.fraction >> p.shownMs >> p.scale) || (words >> rest)) {
            ADD_FAILURE() << "not five numbers: " << line;
            break;
        }
        pictures.push_back(p);
    }
    return pictures;
}
}  // namespace

// Pictures between updates change nothing in the race: a drawn real-clock
// run at a simulated 144 Hz, with its frame log, replays to its own trace at
// 60 Hz and with one picture per update. The fixed clock draws every update
// at its own state; a simulated display needs a headless run.
TEST_F(RunTest, PicturesBetweenUpdatesLeaveTheRaceAsItIsAndAreLogged) {
    std::ofstream(Path("keys.txt")) << "5 5 Enter\n";
    const std::string noLeakCheck = "ASAN_OPTIONS=detect_leaks=0:abort_on_error=1";  // see the replay test above
    Result run = RunGame("--headless --autopilot --render-scale 0.25 --simulate-display 144 --frames 50 --input " +
                         Path("keys.txt") + " --record " + Path("run.rec") + " --trace " + Path("t1.jsonl") +
                         " --frame-log " + Path("log.txt"));
    ASSERT_EQ(run.status, 0) << run.out;
    run = RunGame("--headless --render-scale 0.25 --simulate-display 60 --replay " + Path("run.rec") + " --trace " +
                      Path("t2.jsonl"),
                  noLeakCheck);
    ASSERT_EQ(run.status, 0) << run.out;
    run = RunGame("--headless --no-render --frame-skip off --replay " + Path("run.rec") + " --trace " +
                      Path("t3.jsonl"),
                  noLeakCheck);
    ASSERT_EQ(run.status, 0) << run.out;
    const auto recorded = ReadTrace(dir / "t1.jsonl");
    ASSERT_EQ(recorded.size(), 50u);
    EXPECT_EQ(ReadTrace(dir / "t2.jsonl"), recorded);
    EXPECT_EQ(ReadTrace(dir / "t3.jsonl"), recorded);

    std::string header;
    std::vector<LoggedPicture> log = ReadFrameLog(dir / "log.txt", header);
    EXPECT_EQ(header.rfind("#", 0), 0u) << header;
    ASSERT_FALSE(log.empty());
    int updates = 0;
    for (size_t i = 0; i < log.size(); ++i) {
        updates += log[i].updates;
        EXPECT_GE(log[i].fraction, 0.0);
        EXPECT_LE(log[i].fraction, 1.0);
        EXPECT_NEAR(log[i].shownMs, (updates - 1 + log[i].fraction) * 16.0, 0.01);
        EXPECT_EQ(log[i].scale, 0.25);
        if (i > 0) EXPECT_GE(log[i].shownMs, log[i - 1].shownMs);
        if (i > 0) EXPECT_GT(log[i].presentMs, log[i - 1].presentMs);
    }
    // The run may end among the updates of a pass that gets no picture.
    EXPECT_LE(updates, 50);
    EXPECT_GE(updates, 45);

    run = RunGame("--headless --no-render --fixed-clock --frames 20 --frame-log " + Path("fixed.txt"));
    ASSERT_EQ(run.status, 0) << run.out;
    log = ReadFrameLog(dir / "fixed.txt", header);
    ASSERT_EQ(log.size(), 20u);
    for (size_t i = 0; i < log.size(); ++i) {
        EXPECT_EQ(log[i].updates, 1);
        EXPECT_EQ(log[i].fraction, 1.0);
        EXPECT_EQ(log[i].shownMs, 16.0 * static_cast<double>(i + 1));
        EXPECT_EQ(log[i].scale, 1.0) << "auto is full size on the fixed clock";
    }

    run = RunGame("--simulate-display 60 --frames 1");
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.out.find("--simulate-display needs --headless"), std::string::npos) << run.out;
}
