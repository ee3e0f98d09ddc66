// The real game keeps the player's records: a whole headless race writes
// them, the same race again rides beside a ghost exactly on the first run's
// line and changes nothing else; a race left with Escape saves nothing; and
// damaged records or ghost files are set aside with one line each.

#include "JsonLines.h"
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <unistd.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using nlohmann::json;

namespace {
struct GameRun {
    int status = -1;
    std::string errors;  // standard error without the model loader's lines
};

GameRun RunGame(const fs::path& dataHome, const std::string& arguments) {
    const std::string command = "cd " + std::string(VORLAN_BINARY_DIR) + " && XDG_DATA_HOME='" + dataHome.string() +
                                "' ./vorlan " + arguments + " 2>&1 >/dev/null";
    GameRun run;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return run;
    std::string out;
    char buffer[4096];
    size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, got);
    const int raw = pclose(pipe);
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("Reading ", 0) != 0) run.errors += line + "\n";
    return run;
}

std::vector<json> ReadTrace(const fs::path& path) { return ReadJsonLines(path); }

std::string Slurp(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

class RecordsRace : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("vorlan-records-race-" + std::to_string(getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
        home = dir / "data";
        folder = home / "vorlan-moto";
    }
    void TearDown() override { fs::remove_all(dir); }
    std::string Path(const char* name) const { return (dir / name).string(); }

    fs::path dir, home, folder;
    const std::string common = "--headless --no-render --fixed-clock --uncapped --autopilot --seed 7 ";
};
}  // namespace

TEST_F(RecordsRace, TheSameRaceAgainRidesBesideItsGhostAndNothingElseChanges) {
    std::ofstream(Path("start.txt")) << "5 5 Enter\n";
    const std::string frames = "--frames 4800 ";
    GameRun first = RunGame(home, common + frames + "--input " + Path("start.txt") + " --trace " + Path("first.jsonl"));
    ASSERT_EQ(first.status, 0) << first.errors;
    EXPECT_EQ(first.errors, "");
    const std::vector<json> a = ReadTrace(Path("first.jsonl"));
    int start = -1, finish = -1;
    for (const json& f : a) {
        const int frame = f["frame"];
        if (start < 0 && f["mode"] == 0 && f["timer"]["countdown"] == 0) start = frame;
        if (finish < 0 && f["bikes"][0]["lap"] >= 4) finish = frame;
    }
    ASSERT_GT(start, 0);
    ASSERT_GT(finish, start) << "the player never finished";
    const int raceMs = a[size_t(finish)]["timer"]["time"].get<int>() + 60000 * a[size_t(finish)]["timer"]["minutes"].get<int>();
    // No records before the finish; from the finishing frame on, a new best.
    EXPECT_TRUE(a[size_t(finish - 1)]["records"]["best"].is_null());
    EXPECT_FALSE(a[size_t(finish - 1)]["records"]["newRecord"].get<bool>());
    EXPECT_EQ(a[size_t(finish)]["records"]["best"], raceMs);
    EXPECT_TRUE(a[size_t(finish)]["records"]["bestLap"].get<int>() < raceMs / 2);
    EXPECT_TRUE(a.back()["records"]["newRecord"].get<bool>());
    EXPECT_TRUE(a.back()["ghost"]["pos"].is_null());
    EXPECT_NE(Slurp(folder / "records.txt").find("best " + std::to_string(raceMs) + " "), std::string::npos);
    EXPECT_TRUE(fs::exists(folder / "ghost.txt"));

    // The second run starts with the ghost hidden and G shows it.
    std::ofstream(Path("keys.txt")) << "5 5 Enter\n600 601 G\n";
    GameRun second = RunGame(home, common + frames + "--no-ghost --input " + Path("keys.txt") + " --trace " +
                                    Path("second.jsonl"));
    ASSERT_EQ(second.status, 0) << second.errors;
    EXPECT_EQ(second.errors, "");
    const std::vector<json> b = ReadTrace(Path("second.jsonl"));
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i) {
        json x = a[i], y = b[i];
        const json ghost = y["ghost"], records = y["records"];
        for (const char* key : {"records", "ghost"}) {
            x.erase(key);
            y.erase(key);
        }
        ASSERT_EQ(x, y) << "frame " << i;
        ASSERT_FALSE(ghost["pos"].is_null()) << i;
        EXPECT_EQ(ghost["visible"].get<bool>(), i >= 600) << i;
        EXPECT_EQ(records["best"], raceMs) << i;
        EXPECT_FALSE(records["newRecord"].get<bool>()) << i;  // an equal time is no record
        // Waiting on the grid, then exactly where the first run's bike was.
        if (int(i) < start) {
            ASSERT_EQ(ghost["pos"], a[size_t(start - 1)]["bikes"][0]["pos"]) << "frame " << i;
        } else if (int(i) <= finish) {
            ASSERT_EQ(ghost["pos"], a[i]["bikes"][0]["pos"]) << "frame " << i;
        }
    }
}

TEST_F(RecordsRace, ARaceLeftWithEscapeSavesNothing) {
    std::ofstream(Path("keys.txt")) << "5 5 Enter\n700 700 Escape\n";
    const GameRun run = RunGame(home, common + "--frames 900 --input " + Path("keys.txt") + " --trace " + Path("t.jsonl"));
    EXPECT_EQ(run.status, 0) << run.errors;
    EXPECT_EQ(run.errors, "");
    EXPECT_FALSE(fs::exists(folder / "records.txt"));
    EXPECT_FALSE(fs::exists(folder / "ghost.txt"));
    const std::vector<json> trace = ReadTrace(Path("t.jsonl"));
    ASSERT_FALSE(trace.empty());
    EXPECT_LT(trace.back()["frame"].get<int>(), 899);
    EXPECT_TRUE(trace.back()["records"]["best"].is_null());
}

// Each damage in turn on both files: the game starts, plays and exits 0,
// saying once per file what it set aside, and the damaged file is kept.
TEST_F(RecordsRace, DamagedFilesAreSetAsideAndThePlayGoesOn) {
    const std::string records = "vorlan-moto records 1\nbest 57368 2026-12-08\nbestLap 17864 2026-12-08\nend\n";
    const std::string ghost = "vorlan-moto ghost 1\ntime 57368\nstart 0 0.2 -2 0 0\nframes 3\n1 0.2 -2 0 0\n"
                              "2 0.2 -2 0 0\n3 0.2 -2 0 0\nend\n";
    struct Damage {
        const char* name;
        std::string records, ghost;
    };
    const Damage damages[] = {
        {"garbage", "\x89PNG\r\n\x1a\n\xff\xfe nonsense", std::string("\0\1\2garbage\n", 11)},
        {"truncated", records.substr(0, records.size() / 3), ghost.substr(0, ghost.size() / 3)},
        {"emptied", "", ""},
    };
    std::ofstream(Path("keys.txt")) << "5 5 Enter\n";
    for (const Damage& damage : damages) {
        SCOPED_TRACE(damage.name);
        fs::remove_all(folder);
        fs::create_directories(folder);
        std::ofstream(folder / "records.txt", std::ios::binary) << damage.records;
        std::ofstream(folder / "ghost.txt", std::ios::binary) << damage.ghost;
        const GameRun run = RunGame(home, common + "--frames 20 --input " + Path("keys.txt") + " --trace " + Path("t.jsonl"));
        EXPECT_EQ(run.status, 0) << run.errors;
        EXPECT_EQ(std::count(run.errors.begin(), run.errors.end(), '\n'), 2) << run.errors;
        EXPECT_NE(run.errors.find("records.txt.bad"), std::string::npos) << run.errors;
        EXPECT_NE(run.errors.find("ghost.txt.bad"), std::string::npos) << run.errors;
        EXPECT_EQ(Slurp(folder / "records.txt.bad"), damage.records);
        EXPECT_EQ(Slurp(folder / "ghost.txt.bad"), damage.ghost);
        const std::vector<json> trace = ReadTrace(Path("t.jsonl"));
        ASSERT_EQ(trace.size(), 20u);
        EXPECT_TRUE(trace.back()["records"]["best"].is_null());
        EXPECT_TRUE(trace.back()["ghost"]["pos"].is_null());
    }
    // Whole files read as they were written.
    fs::remove_all(folder);
    fs::create_directories(folder);
    std::ofstream(folder / "records.txt") << records;
    std::ofstream(folder / "ghost.txt") << ghost;
    const GameRun run = RunGame(home, common + "--frames 20 --input " + Path("keys.txt") + " --trace " + Path("t.jsonl"));
    EXPECT_EQ(run.errors, "");
    const std::vector<json> trace = ReadTrace(Path("t.jsonl"));
    ASSERT_EQ(trace.size(), 20u);
    EXPECT_EQ(trace.back()["records"]["best"], 57368);
    EXPECT_EQ(trace.back()["records"]["bestLap"], 17864);
    EXPECT_EQ(trace.back()["ghost"]["pos"][1].get<float>(), 0.2f);
}
