// The real game binary with a settings file: what the options screen
// writes, the next run starts with; a bad or unwritable file never stops the
// game. Every run has its own XDG_CONFIG_HOME.

#include "JsonLines.h"
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using nlohmann::json;

namespace {
class SettingsRun : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("vorlan-settings-run-" + std::to_string(getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir / "config/vorlan-moto");
        file = dir / "config/vorlan-moto/settings.ini";
    }
    void TearDown() override { fs::remove_all(dir); }

    // Runs the game with keys; the exit code. Its trace and standard error
    // are kept.
    int Run(const std::string& keys, int frames, const std::string& extra = "", const fs::path& config = {}) {
        std::ofstream(dir / "keys.txt") << keys;
        const std::string command = "cd " + std::string(VORLAN_BINARY_DIR) + " && XDG_CONFIG_HOME=" +
                                    (config.empty() ? dir / "config" : config).string() +
                                    " ./vorlan --headless --no-render --fixed-clock --uncapped --seed 5 --frames " +
                                    std::to_string(frames) + " --input " + (dir / "keys.txt").string() +
                                    " --trace " + (dir / "trace.jsonl").string() + " " + extra + " >/dev/null 2>" +
                                    (dir / "stderr.txt").string();
        const int raw = std::system(command.c_str());
        trace = ReadJsonLines(dir / "trace.jsonl");
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    }
    std::string Said() const { return Slurp(dir / "stderr.txt"); }
    static std::string Slurp(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    static int Count(const std::string& text, const std::string& part) {
        int n = 0;
        for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
        return n;
    }
    // The computer bikes' usual speed once racing: the median of their speeds.
    double Cruise() const {
        std::vector<double> speeds;
        for (size_t f = 700; f < trace.size(); ++f)
            for (int b = 1; b <= 2; ++b) speeds.push_back(trace[f]["bikes"][b]["speed"].get<double>());
        if (speeds.empty()) return 0.0;
        std::nth_element(speeds.begin(), speeds.begin() + speeds.size() / 2, speeds.end());
        return speeds[speeds.size() / 2];
    }

    fs::path dir, file;
    std::vector<json> trace;
};
}  // namespace

TEST_F(SettingsRun, ScriptedOptionsChangeASettingAndTheNextRunStartsWithIt) {
    // O, Down, Right, O: difficulty up one, saved. --fullscreen holds for
    // this run only and does not reach the file.
    ASSERT_EQ(Run("10 10 O\n20 20 Down\n30 30 Right\n40 40 O\n", 60, "--fullscreen"), 0) << Said();
    EXPECT_EQ(trace[9]["settings"], json::parse(R"({"music":10,"effects":10,"difficulty":"normal"})"));
    EXPECT_EQ(trace[10]["options"], json::parse(R"({"open":true,"line":0})"));
    EXPECT_EQ(trace[20]["options"]["line"], 1);
    EXPECT_EQ(trace[30]["settings"]["difficulty"], "hard");
    EXPECT_FALSE(trace[40]["options"]["open"].get<bool>());
    const std::string text = Slurp(file);
    EXPECT_NE(text.find("difficulty = hard\n"), std::string::npos) << text;
    EXPECT_NE(text.find("fullscreen = off\n"), std::string::npos) << text;

    ASSERT_EQ(Run("5 5 Enter\n", 1000, "--autopilot"), 0) << Said();
    EXPECT_EQ(trace[0]["settings"]["difficulty"], "hard");
    EXPECT_NEAR(Cruise(), 0.43, 0.01);
}

TEST_F(SettingsRun, DifficultySetsTheComputerBikesTopSpeedAndNormalIsTheUsualGame) {
    std::ofstream(file) << "difficulty = easy\n";
    ASSERT_EQ(Run("5 5 Enter\n", 1000, "--autopilot"), 0) << Said();
    EXPECT_EQ(trace.back()["settings"]["difficulty"], "easy");
    EXPECT_NEAR(Cruise(), 0.37, 0.01);
    const std::vector<json> easy = trace;

    // No file and a "normal" file race alike, at the usual speed.
    fs::remove(file);
    ASSERT_EQ(Run("5 5 Enter\n", 1000, "--autopilot"), 0) << Said();
    EXPECT_EQ(trace.back()["settings"]["difficulty"], "normal");
    EXPECT_NEAR(Cruise(), 0.40, 0.01);
    const std::vector<json> none = trace;
    std::ofstream(file) << "# as usual\ndifficulty = normal\nmusic = 10\n";
    ASSERT_EQ(Run("5 5 Enter\n", 1000, "--autopilot"), 0) << Said();
    EXPECT_EQ(trace, none);
    EXPECT_NE(easy, none);
    EXPECT_FALSE(fs::exists(dir / "config/vorlan-moto/settings.ini.bad"));
}

TEST_F(SettingsRun, EscapeLeavesTheOptionsScreenThenQuitsFromTheTitle) {
    ASSERT_EQ(Run("10 10 O\n20 22 Escape\n40 40 Escape\n", 100), 0) << Said();
    ASSERT_EQ(trace.size(), 40u) << "the second Escape ends the run before frame 40";
    EXPECT_TRUE(trace[19]["options"]["open"].get<bool>());
    EXPECT_FALSE(trace[20]["options"]["open"].get<bool>());
    EXPECT_EQ(trace[39]["mode"], 1);
    EXPECT_TRUE(fs::exists(file));
}

TEST_F(SettingsRun, ABadFileIsReportedOnceLeftAloneAndSetAsideOnlyWhenThePlayerSaves) {
    const std::string bad = "music = 4\ngarbage line\neffects = 99\nkey_left = NoSuchKey\nmusi";
    std::ofstream(file) << bad;
    ASSERT_EQ(Run("", 30), 0);
    const std::string said = Said();
    EXPECT_EQ(Count(said, "settings.ini line"), 4) << said;
    EXPECT_EQ(trace[0]["settings"], json::parse(R"({"music":4,"effects":10,"difficulty":"normal"})"));
    EXPECT_EQ(Slurp(file), bad);

    ASSERT_EQ(Run("5 5 O\n10 10 O\n", 30), 0);
    EXPECT_EQ(Slurp(dir / "config/vorlan-moto/settings.ini.bad"), bad);
    EXPECT_NE(Slurp(file).find("music = 4\n"), std::string::npos);
    ASSERT_EQ(Run("", 5), 0);
    EXPECT_EQ(Said().find("settings.ini"), std::string::npos) << Said();
}

TEST_F(SettingsRun, AFolderThatCannotBeWrittenKeepsTheSettingsForTheRunAndSaysSoOnce) {
    std::ofstream(dir / "plain") << "not a folder";
    ASSERT_EQ(Run("5 5 O\n8 8 Down\n10 10 Down\n12 12 Left\n14 14 O\n20 20 O\n25 25 O\n", 40, "", dir / "plain"), 0);
    EXPECT_EQ(Count(Said(), "kept for this run only"), 1) << Said();
    EXPECT_EQ(trace.back()["settings"]["music"], 9);
}

// The music volume reaches the mix: at 0 the title is silent in the run's
// captured sound while the engines are still heard in the race; at 10 the
// title music is there.
TEST_F(SettingsRun, MusicAtZeroSilencesTheTitleButNotTheEngines) {
    constexpr size_t kSamplesPerFrame = 768 * 2;  // 16 ms of stereo at 48 kHz
    auto level = [&](const std::string& wav, size_t firstFrame, size_t lastFrame) {
        const size_t data = wav.find("data");
        if (data == std::string::npos) return -1.0;
        const size_t begin = data + 8 + firstFrame * kSamplesPerFrame * 2;
        const size_t end = std::min(wav.size(), data + 8 + lastFrame * kSamplesPerFrame * 2);
        int peak = 0;
        for (size_t at = begin; at + 1 < end; at += 2)
            peak = std::max(peak, std::abs(int(int16_t(uint8_t(wav[at]) | uint8_t(wav[at + 1]) << 8))));
        return peak / 32768.0;
    };
    const std::string keys = "100 100 Enter\n";  // the title for 100 frames, then the race
    for (int music : {0, 10}) {
        std::ofstream(file) << "music = " << music << "\n";
        ASSERT_EQ(Run(keys, 600, "--autopilot --audio-out " + (dir / "mix.wav").string()), 0) << Said();
        const std::string wav = Slurp(dir / "mix.wav");
        ASSERT_GE(wav.size(), 600 * kSamplesPerFrame * 2);
        const double title = level(wav, 10, 100), race = level(wav, 300, 600);
        if (music == 0) EXPECT_EQ(title, 0.0) << "the title music at volume 0";
        else EXPECT_GT(title, 0.01);
        EXPECT_GT(race, 0.01) << "engines in the race, music " << music;
    }
}
