// The real game binary plays a whole race headless, as a player would with
// the autopilot holding the bars: title, countdown, three laps, the result
// screen, Enter, the fade and the reloaded title. The trace tells the story.

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
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

std::vector<json> ReadTrace(const fs::path& path) {
    std::vector<json> lines;
    std::ifstream file(path);
    std::string line;
    while (std::getline(file, line)) lines.push_back(json::parse(line));
    return lines;
}

std::string ReadFile(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

bool PlayedIn(const json& frame, const std::string& file, bool* is3D = nullptr) {
    for (const json& s : frame["sounds"])
        if (s["file"] == file) {
            if (is3D) *is3D = s["3d"].get<bool>();
            return true;
        }
    return false;
}

class EndToEnd : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // ctest runs each test in its own process, maybe at the same time.
        dir = fs::temp_directory_path() / ("vorlan-end-to-end-" + std::to_string(getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
        // The first run finds the frame the player finishes; the second
        // presses Enter on the result screen a second later.
        std::ofstream(dir / "start.txt") << "5 5 Enter\n";
        const std::string common = "--headless --no-render --fixed-clock --uncapped --autopilot --seed 7 ";
        ASSERT_EQ(RunGame(common + "--frames 9000 --input " + (dir / "start.txt").string() + " --trace " +
                      (dir / "first.jsonl").string()),
                  0);
        for (const json& frame : ReadTrace(dir / "first.jsonl"))
            if (frame["bikes"].is_array() && frame["bikes"][0]["lap"] >= 4) {
                finish = frame["frame"].get<int>();
                break;
            }
        ASSERT_GT(finish, 0) << "the player never finished";
        std::ofstream(dir / "keys.txt") << "5 5 Enter\n" << finish + 60 << " " << finish + 61 << " Enter\n";
        ASSERT_EQ(RunGame(common + "--frames " + std::to_string(finish + 200) + " --input " + (dir / "keys.txt").string() +
                      " --trace " + (dir / "race.jsonl").string()),
                  0);
        trace = ReadTrace(dir / "race.jsonl");
    }
    static void TearDownTestSuite() { fs::remove_all(dir); }

    static inline fs::path dir;
    static inline int finish = 0;
    static inline std::vector<json> trace;
};
}  // namespace

TEST_F(EndToEnd, TransitionsHappenOnTheirFrames) {
    ASSERT_EQ(trace.size(), size_t(finish + 200));
    EXPECT_EQ(trace[4]["mode"], 1);
    EXPECT_EQ(trace[5]["mode"], 0);
    EXPECT_TRUE(PlayedIn(trace[5], "Data/Sound/press.wav"));
    // Countdown from the press: one step per second, the bikes frozen meanwhile.
    int zeroFrame = 0;
    for (int f = 6; f < finish; ++f) {
        const int before = trace[size_t(f - 1)]["timer"]["countdown"], now = trace[size_t(f)]["timer"]["countdown"];
        if (now != before) {
            EXPECT_EQ(now, before - 1) << f;
        }
        if (now == 0 && !zeroFrame) zeroFrame = f;
        if (now > 0) {
            EXPECT_EQ(trace[size_t(f)]["bikes"][1]["pos"], trace[5]["bikes"][1]["pos"]) << f;
        }
    }
    EXPECT_NEAR(zeroFrame - 5, 7000 / 16, 8);
    // The player finishes, Enter fades out over 20 frames, a fresh title follows.
    EXPECT_EQ(trace[size_t(finish)]["bikes"][0]["lap"], 4);
    EXPECT_FALSE(trace[size_t(finish + 59)]["fadeOut"].get<bool>());
    EXPECT_TRUE(trace[size_t(finish + 60)]["fadeOut"].get<bool>());
    EXPECT_EQ(trace[size_t(finish + 78)]["mode"], 0);
    const json& reload = trace[size_t(finish + 79)];
    EXPECT_EQ(reload["mode"], 1);
    EXPECT_EQ(reload["timer"]["countdown"], 7);
    EXPECT_EQ(reload["bikes"][0]["lap"], 1);
    EXPECT_EQ(reload["bikes"][0]["pos"][0].get<float>(), 0.0f);
    EXPECT_EQ(reload["bikes"][0]["pos"][2].get<float>(), -2.0f);
    EXPECT_EQ(trace.back()["fadeAlpha"], 0);
    EXPECT_EQ(trace.back()["mode"], 1);
}

TEST_F(EndToEnd, ARaceSoundsLikeOne) {
    std::map<std::string, int> plays;
    bool positional = false;
    for (const json& frame : trace)
        for (const json& s : frame["sounds"]) {
            plays[s["file"]] += 1;
            positional |= s["3d"].get<bool>();
        }
    EXPECT_EQ(plays["Data/Sound/count.wav"], 1);
    EXPECT_EQ(plays["Data/Sound/BGM.wav"], 1);
    EXPECT_EQ(plays["Data/Sound/lap1.wav"], 2);  // laps 2 and 3
    EXPECT_EQ(plays["Data/Sound/goal.wav"], 1);
    EXPECT_EQ(plays["Data/Sound/press.wav"], 2);
    EXPECT_EQ(plays["Data/Sound/Engine/low00.WAV"], 1);
    bool engine3D = false;
    for (const json& frame : trace)
        if (PlayedIn(frame, "Data/Sound/Engine/low01.WAV", &engine3D)) break;
    EXPECT_TRUE(engine3D);
    EXPECT_TRUE(positional);
}

TEST_F(EndToEnd, BikesStayOnTheGroundInsideTheCourse) {
    for (const json& frame : trace) {
        ASSERT_GE(frame["rank"].get<int>(), 1);
        ASSERT_LE(frame["rank"].get<int>(), 3);
        for (const json& bike : frame["bikes"]) {
            ASSERT_FLOAT_EQ(bike["pos"][1].get<float>(), 0.2f) << frame["frame"];
            const float x = bike["pos"][0], z = bike["pos"][2];
            // Inside the fence's extent.
            ASSERT_TRUE(x > -75 && x < 15 && z > -42 && z < 190) << frame["frame"] << ": " << bike["pos"];
        }
    }
}

TEST_F(EndToEnd, SameSeedKeysAndClockGiveTheSameTrace) {
    const std::string common = "--headless --fixed-clock --uncapped --autopilot --seed 7 --input " +
                               (dir / "start.txt").string() + " --frames 100 --trace ";
    ASSERT_EQ(RunGame(common + (dir / "a.jsonl").string() + " --no-render"), 0);
    ASSERT_EQ(RunGame(common + (dir / "b.jsonl").string() + " --no-render --stats"), 0);
    ASSERT_EQ(RunGame(common + (dir / "c.jsonl").string()), 0);  // every frame drawn
    const std::string a = ReadFile(dir / "a.jsonl");
    EXPECT_FALSE(a.empty());
    EXPECT_EQ(a, ReadFile(dir / "b.jsonl"));
    EXPECT_EQ(a, ReadFile(dir / "c.jsonl"));
    // The whole race, too, from the same kept records as the first run: none.
    const std::string firstRace = ReadFile(dir / "first.jsonl");
    setenv("XDG_DATA_HOME", (dir / "fresh-data").c_str(), 1);
    ASSERT_EQ(RunGame("--headless --no-render --fixed-clock --uncapped --autopilot --seed 7 --frames 9000 --input " +
                  (dir / "start.txt").string() + " --trace " + (dir / "again.jsonl").string()),
              0);
    EXPECT_EQ(firstRace, ReadFile(dir / "again.jsonl"));
}
