// The race file as text: what is written reads back the same, alike updates
// fold into one line, and whatever is not a race file this build can read is
// refused with one line naming the line and the field.

#include "race/RaceFile.h"

#include <gtest/gtest.h>

#include <string>

namespace {
RaceFile Sample() {
    RaceFile race;
    race.course = "desert";
    race.courseHash = "80167b27c86278d2";
    race.difficulty = "hard";
    race.autopilot = false;
    race.buildVersion = "0.1.0";
    race.buildCommit = "abc123";
    race.date = "2026-12-09";
    for (int i = 0; i < RaceFile::kRandomWords; ++i) race.randomWords[i] = (i % 2 ? -1 : 1) * (i * 7919 + 13);
    race.randomFront = 20;
    race.randomRear = 17;
    race.bikes[0] = {0.395000011f, 0, 1, 5};
    race.bikes[1] = {0.0f, 2, 1, 29};
    race.blinkAlpha = 0.55f;
    race.blinkRising = true;
    race.leadIn = {0, 0, 1, 1, 1, 0};
    race.clockStart = 4294967200u;  // the race clock wraps during the race
    for (uint32_t u = 0; u < 200; ++u) {
        RaceUpdate update;
        update.keys = u < 100 ? 1 : (u % 3 ? 5 : 3);
        // A steady clock first, then one that jitters and reads three times.
        const uint32_t at = race.clockStart + 16 * u + (u > 100 && u % 7 == 0 ? 1 : 0);
        if (u <= 100) update.readings = {at};
        else if (u % 5) update.readings = {at, at, at + 1};
        race.updates.push_back(update);
    }
    race.hashes = {{59, 0x0123456789abcdefull}, {119, 42}, {179, ~0ull}, {199, 7}};
    race.countdownUpdate = 20;
    race.lapEnds = {80, 150, 199};
    race.finishUpdate = 199;
    race.hudMs = 3000;
    race.rank = 2;
    return race;
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

std::string Refusal(const std::string& text) {
    RaceFile out;
    std::string error;
    EXPECT_FALSE(RaceFile::Parse(text, out, error));
    EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    return error;
}
}  // namespace

TEST(RaceFile, WhatIsWrittenReadsBackTheSameWithAlikeUpdatesOnOneLine) {
    const RaceFile race = Sample();
    const std::string text = race.Text();
    RaceFile back;
    std::string error;
    ASSERT_TRUE(RaceFile::Parse(text, back, error)) << error;
    EXPECT_EQ(back, race);
    EXPECT_EQ(back.Text(), text);
    // A hundred throttle updates on a steady clock make few lines.
    size_t lines = 0;
    for (char c : text) lines += c == '\n';
    EXPECT_LT(lines, 130u);
    EXPECT_NE(text.find(" x"), std::string::npos);
    EXPECT_EQ(back.RaceUpdates(), 179u);
    EXPECT_EQ(back.LapUpdates(), (std::vector<uint32_t>{60, 70, 49}));
}

TEST(RaceFile, RefusesWhatIsNotARaceFileWithOneLineNamingTheField) {
    const std::string good = Sample().Text();
    EXPECT_NE(Refusal("").find("not a race file"), std::string::npos);
    EXPECT_NE(Refusal("\x89PNG\r\n\x1a\n garbage").find("not a text file"), std::string::npos);
    EXPECT_NE(Refusal(std::string(3u << 20, 'u')).find("larger than"), std::string::npos);
    EXPECT_NE(Refusal(Replace(good, "vorlan-moto-race 1", "vorlan-moto-race 2")).find("version"), std::string::npos);
    EXPECT_NE(Refusal(Replace(good, "course desert", "course ../etc")).find("course"), std::string::npos);
    EXPECT_NE(Refusal(Replace(good, "difficulty hard", "difficulty insane")).find("difficulty"), std::string::npos);
    EXPECT_NE(Refusal(Replace(good, "autopilot 0", "autopilot yes")).find("autopilot"), std::string::npos);
    EXPECT_NE(Refusal(Replace(good, "random 20 17", "random 20 18")).find("random"), std::string::npos);
    EXPECT_NE(Refusal(Replace(good, "bike 0.395000011", "bike 7")).find("speed"), std::string::npos);
    EXPECT_NE(Refusal(Replace(good, "bike 0.395000011", "bike nan")).find("speed"), std::string::npos);
    EXPECT_NE(Refusal(Replace(good, "0 2 1 29", "0 2 1 30")).find("tolerance"), std::string::npos);
    EXPECT_NE(Refusal(Replace(good, "0 2 1 29", "0 2 3 29")).find("lap"), std::string::npos);
    EXPECT_NE(Refusal(Replace(good, "title 2x0", "title 20x0")).find("title"), std::string::npos);
    EXPECT_NE(Refusal(Replace(good, "u 1 ", "u 400 ")).find("keys"), std::string::npos);
    EXPECT_NE(Refusal(Replace(good, "u 1 ", "u -1 ")).find("keys"), std::string::npos);
    EXPECT_NE(Refusal(Replace(good, "result 199 20", "result 999 20")).find("result"), std::string::npos);
    EXPECT_NE(Refusal(Replace(good, "80 150 199", "150 80 199")).find("laps"), std::string::npos);
    EXPECT_NE(Refusal(Replace(good, "end 200", "end 201")).find("end"), std::string::npos);
    EXPECT_NE(Refusal(good + "u 1 16\n").find("after the end"), std::string::npos);
    EXPECT_NE(Refusal(Replace(good, "hash 119 ", "hash 19 ")).find("hash"), std::string::npos);
    // Absurd counts are refused before anything is made of them.
    const std::string huge = Replace(good, "clock 4294967200\n", "clock 4294967200\nu 1 16 x4294967295\n");
    EXPECT_NE(Refusal(huge).find("an hour"), std::string::npos);
    EXPECT_NE(Refusal(Replace(good, "clock 4294967200\n", "clock 4294967200\nu 1 99999999999\n")).find("clock"),
              std::string::npos);
    std::string many = "clock 4294967200\nu 1 ";
    for (int i = 0; i < 40; ++i) many += "1,";
    EXPECT_NE(Refusal(Replace(good, "clock 4294967200\n", many + "1\n")).find("clock"), std::string::npos);
}

TEST(RaceFile, EveryTruncationIsRefusedNotTaken) {
    const std::string good = Sample().Text();
    // Cut at every line end and inside lines: never read as a race.
    for (size_t cut = 0; cut + 1 < good.size(); cut += (good[cut] == '\n' ? 1 : 7)) {
        RaceFile out;
        std::string error;
        EXPECT_FALSE(RaceFile::Parse(good.substr(0, cut), out, error)) << cut;
        EXPECT_FALSE(error.empty()) << cut;
    }
}
