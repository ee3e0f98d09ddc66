// The recording format and the platform that records and plays it back.

#include "FakePlatform.h"
#include "app/HarnessPlatform.h"
#include "app/Replay.h"
#include "framework/platform/KeyBindings.h"

#include <SDL2/SDL.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {
// A small recording made by the recorder itself: start-up and three frames.
std::string Record(const fs::path& path) {
    ReplayRecorder recorder;
    EXPECT_TRUE(recorder.Open(path.string()));
    recorder.header.seed = 4242;
    recorder.header.seedGiven = true;
    recorder.header.autopilot = true;
    recorder.header.frames = 3;
    recorder.header.rawKeys = true;
    recorder.NoteReading(7);
    recorder.NextStep();
    recorder.NoteKey(Key::Z);
    recorder.NoteKey(Key::Left);
    recorder.NoteReading(20);
    recorder.NoteReading(36);
    recorder.NextStep();
    recorder.NoteKey(Key::Pause);
    recorder.NotePressed(4);  // A
    recorder.NoteFlags(ReplayStep::kFocusLost);
    recorder.NextStep();
    recorder.NoteReading(0xFFFFFFFFu);
    recorder.NoteFlags(ReplayStep::kClose);
    EXPECT_TRUE(recorder.Finish());
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

class ReplayTest : public ::testing::Test {
protected:
    void SetUp() override {
        path = fs::temp_directory_path() /
               ("vorlan-replay-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        text = Record(path);
    }
    void TearDown() override { fs::remove(path); }
    bool Refused(const std::string& broken, const char* why) {
        Replay replay;
        std::string error;
        const bool ok = replay.Parse(broken, error);
        EXPECT_NE(error.find(why), std::string::npos) << "error '" << error << "' for:\n" << broken;
        return !ok;
    }
    fs::path path;
    std::string text;
};
}  // namespace

TEST_F(ReplayTest, WhatIsRecordedReadsBackTheSame) {
    EXPECT_EQ(text,
              "vorlan-replay 1\nseed 4242 given\nfixed-clock 0\nautopilot 1\nframes 3\ndifficulty normal\n"
              "raw-keys 1\ns 0 0 1 7\ns 3 0 2 20 36\ns 32 2 0 key 4\ns 0 1 1 4294967295\nend 4\n");
    Replay replay;
    std::string error;
    ASSERT_TRUE(replay.LoadFile(path.string(), error)) << error;
    EXPECT_EQ(replay.header.seed, 4242u);
    EXPECT_TRUE(replay.header.seedGiven);
    EXPECT_TRUE(replay.header.autopilot);
    EXPECT_FALSE(replay.header.fixedClock);
    EXPECT_EQ(replay.header.frames, 3);
    ASSERT_EQ(replay.steps.size(), 4u);
    EXPECT_EQ(replay.steps[3].readings, std::vector<uint32_t>{0xFFFFFFFFu});
    EXPECT_EQ(replay.header.difficulty, "normal");
    EXPECT_TRUE(replay.header.rawKeys);
    EXPECT_EQ(replay.steps[2].pressed, 4);
    EXPECT_EQ(replay.steps[1].pressed, 0);
    // Recordings made before the difficulty and raw-keys lines are normal
    // races whose screens read scripted keys.
    std::string older = text;
    older.erase(older.find("difficulty normal\n"), 18);
    older.erase(older.find("raw-keys 1\n"), 11);
    ASSERT_TRUE(replay.Parse(older, error)) << error;
    EXPECT_EQ(replay.header.difficulty, "normal");
    EXPECT_FALSE(replay.header.rawKeys);
}

TEST_F(ReplayTest, BrokenFilesAreRefused) {
    // Cut short anywhere, even just before the last newline.
    for (size_t size = 0; size < text.size(); ++size) {
        Replay replay;
        std::string error;
        EXPECT_FALSE(replay.Parse(text.substr(0, size), error)) << "cut at " << size;
        EXPECT_FALSE(error.empty());
    }
    EXPECT_TRUE(Refused(text.substr(0, text.find("end")), "cut short"));
    EXPECT_TRUE(Refused(text.substr(0, text.size() - 3), "cut short"));

    auto replace = [&](const std::string& from, const std::string& to) {
        std::string broken = text;
        broken.replace(broken.find(from), from.size(), to);
        return broken;
    };
    EXPECT_TRUE(Refused(replace("vorlan-replay 1", "vorlan-replay 2"), "version 2"));
    EXPECT_TRUE(Refused(replace("vorlan-replay 1", "vorlan-replay x"), "not a replay file"));
    EXPECT_TRUE(Refused("", "not a replay file"));
    EXPECT_TRUE(Refused(std::string("\x89PNG\r\n\x1a\n\0\0\0", 12), "not a replay file"));
    EXPECT_TRUE(Refused("0 100 Z\n", "not a replay file"));
    EXPECT_TRUE(Refused(replace("seed 4242 given", "seed 4242 maybe"), "line 2"));
    EXPECT_TRUE(Refused(replace("seed 4242", "seed -1"), "line 2"));
    EXPECT_TRUE(Refused(replace("autopilot 1", "autopilot 2"), "line 4"));
    EXPECT_TRUE(Refused(replace("frames 3", "frames -2"), "line 5"));
    EXPECT_TRUE(Refused(replace("difficulty normal", "difficulty insane"), "line 6"));
    EXPECT_TRUE(Refused(replace("s 0 0 1 7", "s 0 0 1 7\ndifficulty hard"), "line 9"));
    EXPECT_TRUE(Refused(replace("s 3 0 2 20 36", "s 3 0 2 20"), "fewer clock readings"));
    EXPECT_TRUE(Refused(replace("s 3 0 2 20 36", "s 3 0 2 20 36 52"), "more clock readings"));
    EXPECT_TRUE(Refused(replace("s 3 0 2 20 36", "s 3 0 2 20 4294967296"), "line 9"));
    // A key past the last one the platform has.
    EXPECT_TRUE(Refused(replace("s 3 0 2", "s " + std::to_string(1u << kKeyCount) + " 0 2"), "bad step"));
    EXPECT_TRUE(Refused(replace("s 32 2", "s 32 4"), "bad step"));
    EXPECT_TRUE(Refused(replace("s 3 0 2 20 36", "s 3 0 99999999999999 20 36"), "bad step"));
    EXPECT_TRUE(Refused(replace("end 4", "end 5"), "counts 5 steps"));
    EXPECT_TRUE(Refused(text + "s 0 0 0\n", "after the end"));
    EXPECT_TRUE(Refused(replace("s 32 2 0 key 4", "t 32 2 0"), "line 10"));
    EXPECT_TRUE(Refused(replace("raw-keys 1", "raw-keys yes"), "line 7"));
    EXPECT_TRUE(Refused(replace("s 0 0 1 7", "s 0 0 1 7\nraw-keys 0"), "line 9"));
    for (const char* bad : {"key 0", "key 512", "key -4", "key", "key 4 4", "keys 4"})
        EXPECT_TRUE(Refused(replace("key 4", bad), "line 10")) << bad;

    Replay replay;
    std::string error;
    EXPECT_FALSE(replay.LoadFile((path.string() + "-none"), error));
    EXPECT_NE(error.find("cannot read"), std::string::npos);
}

TEST_F(ReplayTest, PlayingBackGivesTheRecordedAnswersStepByStep) {
    Replay replay;
    std::string error;
    ASSERT_TRUE(replay.Parse(text, error));
    EXPECT_EQ(replay.NextReading(), 7u);
    replay.NextStep();
    EXPECT_TRUE(replay.IsDown(Key::Z) && replay.IsDown(Key::Left));
    EXPECT_FALSE(replay.IsDown(Key::Right) || replay.IsDown(Key::Pause));
    EXPECT_EQ(replay.NextReading(), 20u);
    EXPECT_EQ(replay.NextReading(), 36u);
    EXPECT_EQ(replay.TakePressed(), 0);
    replay.NextStep();
    EXPECT_TRUE(replay.IsDown(Key::Pause));
    EXPECT_EQ(replay.Flags(), ReplayStep::kFocusLost);
    EXPECT_EQ(replay.TakePressed(), 4);
    EXPECT_EQ(replay.TakePressed(), 0) << "taken once";
    replay.NextStep();
    EXPECT_EQ(replay.TakePressed(), 0);
    EXPECT_EQ(replay.NextReading(), 0xFFFFFFFFu);
    EXPECT_FALSE(replay.OutOfStep());
}

TEST_F(ReplayTest, AGameThatAsksDifferentlyIsOutOfStep) {
    Replay replay;
    std::string error;
    ASSERT_TRUE(replay.Parse(text, error));
    replay.NextStep();  // start-up's one reading never taken
    EXPECT_TRUE(replay.OutOfStep());
    EXPECT_NE(replay.Problem().find("at start-up"), std::string::npos) << replay.Problem();

    ASSERT_TRUE(replay.Parse(text, error));
    replay.NextReading();
    replay.NextStep();
    replay.NextReading();
    replay.NextReading();
    EXPECT_EQ(replay.NextReading(), 36u) << "asking too often repeats the last reading";
    EXPECT_NE(replay.Problem().find("in frame 0"), std::string::npos) << replay.Problem();

    // Every reading taken, then one frame more than was recorded.
    ASSERT_TRUE(replay.Parse(text, error));
    for (const ReplayStep& step : replay.steps) {
        for (size_t i = 0; i < step.readings.size(); ++i) replay.NextReading();
        EXPECT_FALSE(replay.OutOfStep()) << replay.Problem();
        replay.NextStep();
    }
    EXPECT_NE(replay.Problem().find("past the end"), std::string::npos) << replay.Problem();
    EXPECT_FALSE(replay.IsDown(Key::Z));
}

TEST_F(ReplayTest, TheHarnessRecordsWhatTheGameSawAndPlaysItBack) {
    const fs::path recorded = path.string() + "-harness";
    TakeKeyPressed();  // a key an earlier test left noted
    FakePlatform real;
    {
        InputScript script;
        std::string error;
        ASSERT_TRUE(script.Parse("1 1 Right P\n", error));
        ReplayRecorder recorder;
        ASSERT_TRUE(recorder.Open(recorded.string()));
        HarnessPlatform platform(real, &script, false, true, &recorder);
        real.now = 100;
        EXPECT_EQ(platform.Milliseconds(), 100u);
        for (long long frame = 0; frame < 3; ++frame) {
            platform.SetFrame(frame);
            real.now += 16;
            WindowBackend::Events events;
            events.focusLost = true;  // a scripted run goes on regardless
            events.close = frame == 2;
            platform.FilterWindowEvents(events);
            EXPECT_FALSE(events.focusLost);
            platform.IsKeyDown(Key::Right);
            platform.IsKeyDown(Key::Pause);
            platform.IsKeyDown(Key::Z);
            if (frame == 1) NoteKeyPressed(SDL_SCANCODE_W);
            EXPECT_EQ(platform.TakeKeyPressed(), frame == 1 ? SDL_SCANCODE_W : 0);
            platform.Milliseconds();
        }
        ASSERT_TRUE(recorder.Finish());
    }
    Replay replay;
    std::string error;
    ASSERT_TRUE(replay.LoadFile(recorded.string(), error)) << error;
    real.now = 5;  // the real clock is not asked
    HarnessPlatform platform(real, nullptr, false, true, nullptr, &replay);
    EXPECT_EQ(platform.Milliseconds(), 100u);
    for (long long frame = 0; frame < 3; ++frame) {
        platform.SetFrame(frame);
        WindowBackend::Events events;
        platform.FilterWindowEvents(events);
        EXPECT_EQ(events.close, frame == 2);
        EXPECT_EQ(platform.IsKeyDown(Key::Right), frame == 1);
        EXPECT_EQ(platform.IsKeyDown(Key::Pause), frame == 1);
        EXPECT_FALSE(platform.IsKeyDown(Key::Z));
        if (frame == 0) NoteKeyPressed(SDL_SCANCODE_Q);  // the viewer's keyboard is not read
        EXPECT_EQ(platform.TakeKeyPressed(), frame == 1 ? SDL_SCANCODE_W : 0);
        EXPECT_EQ(platform.Milliseconds(), 116u + 16u * frame);
    }
    EXPECT_FALSE(replay.OutOfStep()) << replay.Problem();
    fs::remove(recorded);
}
