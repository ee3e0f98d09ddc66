// A pause in the middle of a bend: while paused nothing of the race moves,
// the camera included, and after the resume the race goes on exactly as if
// the pause had never happened. Two runs of the real game binary, one with
// the pause and one without, told apart only by the paused frames.

#include "JsonLines.h"
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using nlohmann::json;

namespace {
int RunGame(const std::string& arguments) {
    const std::string command = "cd " + std::string(VORLAN_BINARY_DIR) + " && ./vorlan " + arguments + " >/dev/null 2>&1";
    const int raw = std::system(command.c_str());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

std::vector<json> ReadTrace(const fs::path& path) { return ReadJsonLines(path); }

// The game's state in a frame: everything but the frame number and the clock.
json GameFields(json frame) {
    frame.erase("frame");
    frame.erase("ms");
    return frame;
}

class PauseRace : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("vorlan-pause-race-" + std::to_string(getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    fs::path dir;
};
}  // namespace

TEST_F(PauseRace, NothingMovesWhilePausedAndTheRaceGoesOnAsIfUnpaused) {
    constexpr int kFrames = 760;
    constexpr int kPaused = 40;
    const std::string common = "--headless --no-render --fixed-clock --uncapped --autopilot --seed 3 ";
    std::ofstream(dir / "plain.txt") << "5 5 Enter\n";
    ASSERT_EQ(RunGame(common + "--frames " + std::to_string(kFrames) + " --input " + (dir / "plain.txt").string() +
                      " --trace " + (dir / "plain.jsonl").string()),
              0);
    const std::vector<json> plain = ReadTrace(dir / "plain.jsonl");
    ASSERT_EQ(plain.size(), size_t(kFrames));

    // The first bend after the camera has swung behind the bike: the heading
    // changes over the camera's nine frames of delay.
    int pauseAt = 0;
    for (int f = 600; f < kFrames - 100 && !pauseAt; ++f) {
        const float now = plain[size_t(f)]["bikes"][0]["yaw"], before = plain[size_t(f - 9)]["bikes"][0]["yaw"];
        if (plain[size_t(f)]["mode"] == 0 && std::fabs(now - before) > 5.0f) pauseAt = f;
    }
    ASSERT_GT(pauseAt, 0) << "no bend in the first seconds of the race";

    std::ofstream(dir / "paused.txt") << "5 5 Enter\n"
                                      << pauseAt << " " << pauseAt << " P\n"
                                      << pauseAt + kPaused << " " << pauseAt + kPaused << " P\n";
    ASSERT_EQ(RunGame(common + "--frames " + std::to_string(kFrames + kPaused) + " --input " +
                      (dir / "paused.txt").string() + " --trace " + (dir / "paused.jsonl").string()),
              0);
    const std::vector<json> paused = ReadTrace(dir / "paused.jsonl");
    ASSERT_EQ(paused.size(), size_t(kFrames + kPaused));

    // Up to the pause the runs are one.
    for (int f = 0; f < pauseAt; ++f) ASSERT_EQ(GameFields(paused[size_t(f)]), GameFields(plain[size_t(f)])) << f;
    // While paused the frame before stays: camera eye and target, bikes,
    // timer, everything; no sound starts.
    const json& held = paused[size_t(pauseAt - 1)];
    for (int f = pauseAt; f < pauseAt + kPaused; ++f) {
        const json& frame = paused[size_t(f)];
        ASSERT_EQ(frame["camera"]["eye"], held["camera"]["eye"]) << f;
        ASSERT_EQ(frame["camera"]["target"], held["camera"]["target"]) << f;
        json state = GameFields(frame), before = GameFields(held);
        state.erase("sounds");
        before.erase("sounds");
        ASSERT_EQ(state, before) << f;
        ASSERT_TRUE(frame["sounds"].empty()) << f;
    }
    // After the resume, frame for frame the unpaused race, the camera's
    // delayed heading included.
    for (int f = pauseAt; f < kFrames; ++f)
        ASSERT_EQ(GameFields(paused[size_t(f + kPaused)]), GameFields(plain[size_t(f)])) << f;
}
