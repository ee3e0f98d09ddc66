// The kept race files (tests/data/runs, made by scripts/make-race-corpus.sh)
// verify to the state hashes they hold, on whatever compiler and flags this
// build was made with; and between them they still drive every course and
// difficulty into every part of the race: fences, sand, the floor switch
// and its boxes, the excavator's arm, the gate, the computer bikes, a pause.

#include "JsonLines.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using nlohmann::json;

TEST(RaceCorpus, EveryRaceFileVerifiesToItsHashesAndTheyCoverTheRace) {
    const fs::path dir = fs::path(VORLAN_SOURCE_DIR) / "tests" / "data" / "runs";
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(dir))
        if (entry.path().extension() == ".run") files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    ASSERT_GE(files.size(), 20u);

    std::set<std::string> courseAndDifficulty;
    long wallFrames = 0, sandFrames = 0, smashedBoxFrames = 0, switchFrames = 0, armFrames = 0, gateFrames = 0,
         bikeHits = 0;
    const fs::path trace = fs::temp_directory_path() / "corpus-trace.jsonl";
    for (const fs::path& file : files) {
        SCOPED_TRACE(file.filename().string());
        const std::string command = "cd " + std::string(VORLAN_BINARY_DIR) + " && ./vorlan-moto-verify --trace '" +
                                    trace.string() + "' '" + file.string() + "' 2>&1";
        FILE* pipe = popen(command.c_str(), "r");
        ASSERT_NE(pipe, nullptr);
        std::string out;
        char buffer[4096];
        for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
        const int raw = pclose(pipe);
        EXPECT_EQ(WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, 0) << out;
        const json line = json::parse(out, nullptr, false);
        ASSERT_FALSE(line.is_discarded()) << out;
        EXPECT_EQ(line["verdict"], "verified") << out;
        EXPECT_EQ(line["autopilot"], false);
        courseAndDifficulty.insert(line["course"].get<std::string>() + "/" + line["difficulty"].get<std::string>());

        double gate = 0.0;
        for (const json& frame : ReadJsonLines(trace)) {
            bool wall = false, sand = false;
            for (const json& bike : frame["bikes"]) wall = wall || bike["hitWall"].get<bool>();
            for (const json& s : frame["course"]["onSand"]) sand = sand || s.get<bool>();
            wallFrames += wall;
            sandFrames += sand;
            bool smashed = false;
            for (const json& box : frame["obstacles"]["boxes"]) smashed = smashed || !box["active"].get<bool>();
            smashedBoxFrames += smashed && frame["obstacles"]["switchOn"].get<bool>();
            switchFrames += frame["obstacles"]["switchOn"].get<bool>();
            armFrames += frame["obstacles"]["armMoving"].get<bool>();
            if (!frame["walls"].is_null()) {
                gateFrames += frame["walls"]["offset"].get<double>() != gate;
                gate = frame["walls"]["offset"];
            }
            for (const json& sound : frame["sounds"]) bikeHits += sound["file"] == "Data/Sound/bikehit.wav";
        }
    }
    for (const char* course : {"desert", "riverside", "canyon"})
        for (const char* difficulty : {"easy", "normal", "hard"})
            EXPECT_TRUE(courseAndDifficulty.count(std::string(course) + "/" + difficulty)) << course << " " << difficulty;
    EXPECT_GT(wallFrames, 100);
    EXPECT_GT(sandFrames, 100);
    EXPECT_GT(switchFrames, 100);
    EXPECT_GT(smashedBoxFrames, 0);
    EXPECT_GT(armFrames, 100);
    EXPECT_GT(gateFrames, 20);
    EXPECT_GT(bikeHits, 3);
}
