#include "profile/Settings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {
// Each test gets its own config folder through XDG_CONFIG_HOME.
class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        root = fs::temp_directory_path() / ("vorlan-settings-" + std::to_string(getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root);
        fs::create_directories(root);
        const char* value = std::getenv("XDG_CONFIG_HOME");
        if (value) saved = value;
        setenv("XDG_CONFIG_HOME", (root / "config").c_str(), 1);
        path = Settings::DefaultPath();
    }
    void TearDown() override {
        if (saved) setenv("XDG_CONFIG_HOME", saved->c_str(), 1);
        else unsetenv("XDG_CONFIG_HOME");
        fs::remove_all(root);
    }
    void Write(const std::string& text) {
        fs::create_directories(fs::path(path).parent_path());
        std::ofstream(path, std::ios::binary) << text;
    }
    static std::string Slurp(const fs::path& file) {
        std::ifstream in(file, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    static bool KeyName(const std::string& name) { return name == "Z" || name == "Left" || name == "W" || name == "P" ||
                                                  name == "Right" || name == "A"; }

    fs::path root;
    std::string path;
    std::optional<std::string> saved;
};
}  // namespace

TEST_F(SettingsTest, MissingFileGivesTheDefaultsSilentlyAndSavingWritesEveryKey) {
    EXPECT_EQ(path, (root / "config/vorlan-moto/settings.ini").string());
    Settings s;
    s.Load(path);
    EXPECT_TRUE(s.Problems().empty());
    EXPECT_EQ(s.music, 10);
    EXPECT_EQ(s.effects, 10);
    EXPECT_EQ(s.difficulty, Difficulty::Normal);
    EXPECT_TRUE(s.renderScaleAuto) << "the scale follows the machine unless the player fixes it";
    EXPECT_TRUE(s.vsync);
    EXPECT_FALSE(fs::exists(path)) << "reading never writes";
    EXPECT_FLOAT_EQ(Settings::EnemyTopSpeed(Difficulty::Easy), 0.37f);
    EXPECT_EQ(Settings::EnemyTopSpeed(Difficulty::Normal), 0.4f);
    EXPECT_FLOAT_EQ(Settings::EnemyTopSpeed(Difficulty::Hard), 0.43f);

    s.music = 3;
    s.difficulty = Difficulty::Hard;
    s.renderScaleAuto = false;
    s.renderScale = 0.5f;
    s.vsync = false;
    s.keyLeft = "A";
    std::string error;
    ASSERT_TRUE(s.Save(path, error)) << error;
    Settings again;
    again.Load(path);
    EXPECT_TRUE(again.Problems().empty()) << again.ProblemReport();
    EXPECT_EQ(again.music, 3);
    EXPECT_EQ(again.difficulty, Difficulty::Hard);
    EXPECT_FALSE(again.renderScaleAuto);
    EXPECT_FLOAT_EQ(again.renderScale, 0.5f);
    EXPECT_FALSE(again.vsync);
    EXPECT_EQ(again.keyLeft, "A");
    for (const char* key : {"music", "effects", "difficulty", "fullscreen", "render_scale", "ghost", "key_throttle",
                            "key_left", "key_right", "key_pause", "vsync"})
        EXPECT_NE(Slurp(path).find(std::string(key) + " = "), std::string::npos) << key;
}

TEST_F(SettingsTest, HandEditedFileKeepsCommentsAndUnknownKeysAndClampsOutOfRange) {
    Write("# mine\n  Music=4  \r\nrecords_shown = yes\neffects = 42\nrender_scale = 0.1\ndifficulty = Easy\n"
          "fullscreen = on\nghost = off\nkey_throttle = W\n\n# end\n");
    Settings s;
    s.Load(path, KeyName);
    EXPECT_EQ(s.music, 4);
    EXPECT_EQ(s.effects, 10);
    EXPECT_FLOAT_EQ(s.renderScale, 0.25f);
    EXPECT_EQ(s.difficulty, Difficulty::Easy);
    EXPECT_TRUE(s.fullscreen);
    EXPECT_FALSE(s.ghost);
    EXPECT_EQ(s.keyThrottle, "W");
    // Clamping is said, line by line.
    ASSERT_EQ(s.Problems().size(), 2u) << s.ProblemReport();
    EXPECT_NE(s.Problems()[0].find("line 4"), std::string::npos);
    EXPECT_NE(s.Problems()[1].find("line 5"), std::string::npos);
    EXPECT_NE(s.ProblemReport().find(path), std::string::npos);

    s.effects = 2;
    std::string error;
    ASSERT_TRUE(s.Save(path, error)) << error;
    const std::string text = Slurp(path);
    EXPECT_EQ(text.rfind("# mine\n", 0), 0u) << text;
    EXPECT_NE(text.find("records_shown = yes\n"), std::string::npos) << text;
    EXPECT_NE(text.find("effects = 2\n"), std::string::npos) << text;
    EXPECT_NE(text.find("render_scale = 0.25\n"), std::string::npos) << text;
    EXPECT_NE(text.find("# end\n"), std::string::npos) << text;
    // Clamped values are not damage: nothing set aside.
    EXPECT_FALSE(fs::exists(path + ".bad"));
}

// The picture's settings: the scale "auto" (any case) or a number, vsync on or off.
TEST_F(SettingsTest, RenderScaleAutoAndVsyncReadAndSaveAsWritten) {
    Write("render_scale = Auto\nvsync = off\n");
    Settings s;
    s.Load(path, KeyName);
    EXPECT_TRUE(s.Problems().empty()) << s.ProblemReport();
    EXPECT_TRUE(s.renderScaleAuto);
    EXPECT_FALSE(s.vsync);
    std::string error;
    ASSERT_TRUE(s.Save(path, error)) << error;
    EXPECT_NE(Slurp(path).find("render_scale = auto\n"), std::string::npos) << Slurp(path);
    EXPECT_NE(Slurp(path).find("vsync = off\n"), std::string::npos) << Slurp(path);

    Write("render_scale = 0.75\nvsync = sometimes\n");
    Settings fixed;
    fixed.Load(path, KeyName);
    EXPECT_FALSE(fixed.renderScaleAuto);
    EXPECT_FLOAT_EQ(fixed.renderScale, 0.75f);
    EXPECT_TRUE(fixed.vsync) << "a value it does not take keeps the default";
    ASSERT_EQ(fixed.Problems().size(), 1u) << fixed.ProblemReport();
    EXPECT_NE(fixed.Problems()[0].find("vsync"), std::string::npos);
}

TEST_F(SettingsTest, UnreadableLinesAreReportedAndTheFileIsSetAsideOnlyWhenSaved) {
    const std::string garbage = std::string("music = 7\n\x01\x02\xff\xfe binary\ndifficulty = brutal\nkey_left = Nope\n"
                                            "effects =\n= 3\nmusic = 2\nmus", 83);
    Write(garbage);
    Settings s;
    s.Load(path, KeyName);
    EXPECT_EQ(s.music, 7) << "a repeated key does not override the first";
    EXPECT_EQ(s.difficulty, Difficulty::Normal);
    EXPECT_EQ(s.keyLeft, "Left");
    EXPECT_EQ(s.effects, 10);
    EXPECT_EQ(s.Problems().size(), 7u) << s.ProblemReport();
    EXPECT_EQ(Slurp(path), garbage) << "not overwritten by reading";

    std::string error;
    ASSERT_TRUE(s.Save(path, error)) << error;
    EXPECT_EQ(Slurp(path + ".bad"), garbage);
    Settings again;
    again.Load(path, KeyName);
    EXPECT_TRUE(again.Problems().empty()) << again.ProblemReport();
    EXPECT_EQ(again.music, 7);
    // Saving again has nothing more to set aside.
    ASSERT_TRUE(again.Save(path, error)) << error;
    EXPECT_FALSE(fs::exists(path + ".bad-2"));
}

TEST_F(SettingsTest, AbsurdFilesNeverBreakReading) {
    for (const std::string& text :
         {std::string(), std::string("\0\0\0", 3), std::string(5000, '='), std::string(3u << 20, 'x'),
          std::string("music = 99999999999999999999999\neffects = -99999999999999999999\nrender_scale = nan\n"),
          std::string("render_scale = inf\nrender_scale = 1e300\nmusic = 0x5\n")}) {
        Write(text);
        Settings s;
        s.Load(path, KeyName);
        EXPECT_GE(s.music, 0);
        EXPECT_LE(s.music, 10);
        EXPECT_GE(s.effects, 0);
        EXPECT_LE(s.effects, 10);
        EXPECT_GE(s.renderScale, 0.25f);
        EXPECT_LE(s.renderScale, 1.0f);
    }
    // A file too large to be settings is not read, said so, and kept on save.
    Settings big;
    Write(std::string(3u << 20, 'x'));
    big.Load(path);
    EXPECT_EQ(big.Problems().size(), 1u);
    std::string error;
    ASSERT_TRUE(big.Save(path, error)) << error;
    EXPECT_EQ(fs::file_size(path + ".bad"), 3u << 20);
}

TEST_F(SettingsTest, AFolderThatCannotBeWrittenFailsTheSaveWithAReason) {
    std::ofstream(root / "plain") << "x";
    setenv("XDG_CONFIG_HOME", (root / "plain").c_str(), 1);
    Settings s;
    s.Load(Settings::DefaultPath());
    s.music = 1;
    std::string error;
    EXPECT_FALSE(s.Save(Settings::DefaultPath(), error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(s.Save("", error));
    EXPECT_EQ(s.music, 1) << "the settings still hold for the run";
}
