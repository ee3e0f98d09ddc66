#include "app/InputScript.h"

#include <gtest/gtest.h>

TEST(InputScript, KeysAreDownInInclusiveFrameRanges) {
    InputScript script;
    std::string error;
    ASSERT_TRUE(script.Parse("# throttle, then a right turn\n"
                             "0 99 Z\n"
                             "\n"
                             "   \n"
                             "50 60 Right Z\r\n"
                             "120 120 Enter\n",
                             error))
        << error;
    EXPECT_TRUE(script.IsDown(0, Key::Z));
    EXPECT_TRUE(script.IsDown(99, Key::Z));
    EXPECT_FALSE(script.IsDown(100, Key::Z));
    EXPECT_FALSE(script.IsDown(49, Key::Right));
    EXPECT_TRUE(script.IsDown(60, Key::Right));
    EXPECT_TRUE(script.IsDown(120, Key::Enter));
    EXPECT_FALSE(script.IsDown(121, Key::Enter));
    EXPECT_FALSE(script.IsDown(10, Key::Escape));
}

TEST(InputScript, BadLinesAreReportedWithTheirNumber) {
    const struct { const char* text; const char* expected; } cases[] = {
        {"0 10 Z\nx 10 Z\n", "line 2:"},
        {"0 10 Jump\n", "unknown key 'Jump'"},
        {"10 5 Z\n", "line 1: last frame 5 is before first frame 10"},
        {"# ok\n0 10\n", "line 2: no keys"},
        {"0\n", "line 1: bad last frame"},
        {"-1 3 Z\n", "line 1: bad first frame"},
        {"0 3x Z\n", "bad last frame '3x'"},
        {"0 z Z\n", "bad last frame 'z'"},
        {"0 99999999999999999999 Z\n", "line 1"},
        {"0 5 z\n", "unknown key 'z'"},  // key names are case-sensitive
    };
    for (const auto& c : cases) {
        InputScript script;
        std::string error;
        EXPECT_FALSE(script.Parse(c.text, error)) << c.text;
        EXPECT_NE(error.find(c.expected), std::string::npos) << "'" << error << "' for " << c.text;
    }
}

TEST(InputScript, MissingFileIsAnError) {
    InputScript script;
    std::string error;
    EXPECT_FALSE(script.LoadFile("/nonexistent/keys.txt", error));
    EXPECT_NE(error.find("/nonexistent/keys.txt"), std::string::npos);
}
