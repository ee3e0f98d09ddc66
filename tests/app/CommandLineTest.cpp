#include "app/CommandLine.h"

#include <gtest/gtest.h>

namespace {
bool Parse(std::vector<std::string> words, RunOptions& options, std::string& error) {
    std::vector<char*> argv{const_cast<char*>("vorlan")};
    for (auto& w : words) argv.push_back(w.data());
    return ParseCommandLine(static_cast<int>(argv.size()), argv.data(), options, error);
}
}  // namespace

TEST(CommandLine, ReadsEveryOption) {
    RunOptions options;
    std::string error;
    ASSERT_TRUE(Parse({"--headless", "--frames", "300", "--uncapped", "--no-render", "--fixed-clock", "--seed", "42",
                       "--input", "keys.txt", "--trace", "-", "--screenshot", "1:a.png", "--screenshot",
                       "20:dir/b:c.png", "--stats"},
                      options, error))
        << error;
    EXPECT_TRUE(options.headless && options.uncapped && options.noRender && options.fixedClock && options.stats);
    EXPECT_EQ(options.frames, 300);
    EXPECT_EQ(options.seed, 42u);
    EXPECT_EQ(options.inputFile, "keys.txt");
    EXPECT_EQ(options.traceFile, "-");
    ASSERT_EQ(options.screenshots.size(), 2u);
    EXPECT_EQ(options.screenshots[1].frame, 20);
    EXPECT_EQ(options.screenshots[1].path, "dir/b:c.png");
    EXPECT_TRUE(options.WantsScreenshot(1));
    EXPECT_FALSE(options.WantsScreenshot(2));
}

TEST(CommandLine, NoOptionsChangeNothing) {
    RunOptions options;
    std::string error;
    ASSERT_TRUE(Parse({}, options, error));
    EXPECT_FALSE(options.headless || options.noRender || options.fixedClock || options.stats);
    EXPECT_EQ(options.frames, -1);
    EXPECT_FALSE(options.seed.has_value());
}

TEST(CommandLine, RejectsBadValues) {
    for (std::vector<std::string> words : std::vector<std::vector<std::string>>{
             {"--frames"}, {"--frames", "-3"}, {"--frames", "ten"}, {"--seed", "-1"}, {"--screenshot", "5"},
             {"--screenshot", "x:a.png"}, {"--screenshot", "5:"}, {"--bogus"}, {"--trace"}}) {
        RunOptions options;
        std::string error;
        EXPECT_FALSE(Parse(words, options, error)) << words[0];
        EXPECT_FALSE(error.empty());
    }
}

TEST(CommandLine, WindowAndReplayOptions) {
    RunOptions options;
    std::string error;
    ASSERT_TRUE(Parse({"--fullscreen", "--record", "run.rec", "--input", "keys.txt"}, options, error)) << error;
    EXPECT_TRUE(options.fullscreen);
    EXPECT_EQ(options.recordFile, "run.rec");

    RunOptions replay;
    ASSERT_TRUE(Parse({"--replay", "run.rec", "--headless", "--trace", "-", "--frames", "10"}, replay, error));
    EXPECT_EQ(replay.replayFile, "run.rec");
    EXPECT_TRUE(replay.recordFile.empty());

    // A replay brings its own keys, clock and seed; anything that would
    // fight it is refused up front.
    for (const char* clash : {"--input", "--record", "--seed", "--fixed-clock", "--autopilot"}) {
        std::vector<std::string> words{"--replay", "run.rec", clash};
        if (std::string(clash) != "--fixed-clock" && std::string(clash) != "--autopilot") words.push_back("1");
        RunOptions o;
        EXPECT_FALSE(Parse(words, o, error)) << clash;
        EXPECT_NE(error.find(clash), std::string::npos) << error;
    }
    RunOptions o;
    EXPECT_FALSE(Parse({"--replay"}, o, error));
    EXPECT_NE(std::string(UsageText()).find("--replay FILE"), std::string::npos);
    EXPECT_NE(std::string(UsageText()).find("--fullscreen"), std::string::npos);
}

TEST(CommandLine, RenderScaleAndFrameSkip) {
    RunOptions options;
    std::string error;
    ASSERT_TRUE(Parse({}, options, error));
    EXPECT_FALSE(options.renderScale.has_value());  // the settings file's, or full size
    EXPECT_EQ(options.frameSkip, "auto");
    ASSERT_TRUE(Parse({"--render-scale", "0.5", "--frame-skip", "max"}, options, error)) << error;
    EXPECT_EQ(options.renderScale, 0.5f);
    EXPECT_EQ(options.frameSkip, "max");
    for (const char* bound : {"0.25", "1", "1.0"}) EXPECT_TRUE(Parse({"--render-scale", bound}, options, error));
    // Outside the range, not a number, or no value: refused with the option named.
    for (std::vector<std::string> words : std::vector<std::vector<std::string>>{
             {"--render-scale", "0.2"}, {"--render-scale", "1.5"}, {"--render-scale", "half"},
             {"--render-scale", "nan"}, {"--render-scale", "inf"}, {"--render-scale", "-0.5"},
             {"--render-scale", "0.5x"}, {"--render-scale"}, {"--frame-skip", "sometimes"}}) {
        RunOptions bad;
        EXPECT_FALSE(Parse(words, bad, error)) << words.back();
        EXPECT_NE(error.find(words[0]), std::string::npos) << error;
        EXPECT_EQ(error.find('\n'), std::string::npos);
    }
}

// The picture's options: auto or a scale, vsync off, a simulated display
// (headless only, 24 to 360 Hz) and the frame log; a bad value names its option.
TEST(CommandLine, PictureOptionsAreReadAndBadValuesNameTheirOption) {
    RunOptions options;
    std::string error;
    ASSERT_TRUE(Parse({"--headless", "--simulate-display", "144", "--render-scale", "auto", "--no-vsync", "--frame-log",
                       "f.txt"},
                      options, error))
        << error;
    EXPECT_EQ(options.simulateDisplayHz, 144);
    EXPECT_TRUE(options.renderScaleAuto);
    EXPECT_FALSE(options.renderScale.has_value());
    EXPECT_TRUE(options.noVsync);
    EXPECT_EQ(options.frameLogFile, "f.txt");
    RunOptions later;
    ASSERT_TRUE(Parse({"--render-scale", "auto", "--render-scale", "0.5"}, later, error));
    EXPECT_FALSE(later.renderScaleAuto) << "the last one given holds";
    EXPECT_EQ(later.renderScale, 0.5f);

    const std::vector<std::vector<std::string>> bad = {
        {"--simulate-display", "60"},
        {"--headless", "--simulate-display", "23"},
        {"--headless", "--simulate-display", "361"},
        {"--headless", "--simulate-display", "sixty"},
        {"--headless", "--simulate-display"},
        {"--render-scale", "0.2"},
        {"--render-scale", "automatic"},
        {"--render-scale", "nan"},
        {"--frame-log"},
    };
    for (const auto& words : bad) {
        RunOptions o;
        std::string e;
        EXPECT_FALSE(Parse(words, o, e)) << words.back();
        const std::string option = words[0] == "--headless" ? words[1] : words[0];
        EXPECT_NE(e.find(option), std::string::npos) << e;
        EXPECT_EQ(e.find('\n'), std::string::npos) << "one line: " << e;
    }
}
