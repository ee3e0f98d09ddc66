// The real game keeps the player's records: a whole headless race writes
// them (into its --profile folder: a scripted run writes nothing else), the
// same race again rides beside a ghost exactly on the first run's line and
// changes nothing else; a race left with Escape saves nothing; damaged
// records or ghost files are set aside with one line each; and demo,
// scripted and replayed runs leave the player's own files alone.

#include "profile/Records.h"

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

GameRun RunGame(const fs::path& dataHome, const std::string& arguments, const std::string& environment = {}) {
    const std::string command = "cd " + std::string(VORLAN_BINARY_DIR) + " && XDG_DATA_HOME='" + dataHome.string() +
                                "' " + environment + " ./vorlan " + arguments + " 2>&1 >/dev/null";
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

    // A headless autopilot race keeping its files in the profile folder.
    std::string Common() const {
        return "--headless --no-render --fixed-clock --uncapped --autopilot --seed 7 --profile " + folder.string() + " ";
    }

    fs::path dir, home, folder;
};
}  // namespace

TEST_F(RecordsRace, TheSameRaceAgainRidesBesideItsGhostAndNothingElseChanges) {
    std::ofstream(Path("start.txt")) << "5 5 Enter\n";
    const std::string frames = "--frames 4800 ";
    GameRun first = RunGame(home, Common() + frames + "--input " + Path("start.txt") + " --trace " + Path("first.jsonl"));
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
    GameRun second = RunGame(home, Common() + frames + "--no-ghost --input " + Path("keys.txt") + " --trace " +
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
    const GameRun run = RunGame(home, Common() + "--frames 900 --input " + Path("keys.txt") + " --trace " + Path("t.jsonl"));
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
        const GameRun run = RunGame(home, Common() + "--frames 20 --input " + Path("keys.txt") + " --trace " + Path("t.jsonl"));
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
    const GameRun run = RunGame(home, Common() + "--frames 20 --input " + Path("keys.txt") + " --trace " + Path("t.jsonl"));
    EXPECT_EQ(run.errors, "");
    const std::vector<json> trace = ReadTrace(Path("t.jsonl"));
    ASSERT_EQ(trace.size(), 20u);
    EXPECT_EQ(trace.back()["records"]["best"], 57368);
    EXPECT_EQ(trace.back()["records"]["bestLap"], 17864);
    EXPECT_EQ(trace.back()["ghost"]["pos"][1].get<float>(), 0.2f);
}

// HOME and the XDG folders hold the player's records (slower than the
// autopilot), ghost and settings. A demo run that finishes with a better
// time, and the replay of its recording, change no byte of them; the replay
// with a profile folder writes its records there, dated as recorded.
TEST_F(RecordsRace, DemoAndReplayedRunsLeaveThePlayersFilesAloneAndAProfileFolderTakesThem) {
    const fs::path config = dir / "config" / "vorlan-moto";
    fs::create_directories(folder);
    fs::create_directories(config);
    const std::string records = "vorlan-moto records 1\nbest 599000 2026-01-02\nbestLap 190000 2026-01-02\nend\n";
    const std::string ghost = "vorlan-moto ghost 1\ntime 599000\nstart 0 0.2 -2 0 0\nframes 1\n1 0.2 -2 0 0\nend\n";
    const std::string settings = "# the player's\nmusic = 7\n";
    std::ofstream(folder / "records.txt") << records;
    std::ofstream(folder / "ghost.txt") << ghost;
    std::ofstream(config / "settings.ini") << settings;
    const std::string environment = "HOME='" + dir.string() + "' XDG_CONFIG_HOME='" + (dir / "config").string() + "'";
    const std::string demo = "--headless --no-render --fixed-clock --uncapped --autopilot --seed 7 --frames 4800 ";
    // Enter, then O and Escape on the title: the options screen saves on closing.
    std::ofstream(Path("keys.txt")) << "3 3 O\n4 4 Right\n5 5 Escape\n8 8 Enter\n";
    GameRun run = RunGame(home, demo + "--input " + Path("keys.txt") + " --record " + Path("rec.txt") + " --trace " +
                                    Path("t.jsonl"), environment);
    ASSERT_EQ(run.status, 0) << run.errors;
    const std::vector<json> trace = ReadTrace(Path("t.jsonl"));
    ASSERT_TRUE(trace.back()["records"]["newRecord"].get<bool>()) << "the demo beat the player's best";
    const int best = trace.back()["records"]["best"];
    auto unchanged = [&] {
        EXPECT_EQ(Slurp(folder / "records.txt"), records);
        EXPECT_EQ(Slurp(folder / "ghost.txt"), ghost);
        EXPECT_EQ(Slurp(config / "settings.ini"), settings);
        EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 2);
        EXPECT_EQ(std::distance(fs::directory_iterator(config), fs::directory_iterator()), 1);
    };
    unchanged();

    run = RunGame(home, "--headless --no-render --uncapped --replay " + Path("rec.txt"), environment);
    ASSERT_EQ(run.status, 0) << run.errors;
    unchanged();

    const std::string recording = Slurp(Path("rec.txt"));
    const size_t date = recording.find(" date ");
    ASSERT_NE(date, std::string::npos) << "the recording keeps the day the record was set";
    const fs::path profile = dir / "profile";
    run = RunGame(home, "--headless --no-render --uncapped --replay " + Path("rec.txt") + " --profile " + profile.string(),
                  environment);
    ASSERT_EQ(run.status, 0) << run.errors;
    unchanged();
    RecordsBook saved;
    ASSERT_TRUE(saved.Parse(Slurp(profile / "records.txt")));
    ASSERT_TRUE(saved.For(Difficulty::Normal).best);
    EXPECT_EQ(int(saved.For(Difficulty::Normal).best->ms), best);
    EXPECT_EQ(saved.For(Difficulty::Normal).best->date, recording.substr(date + 6, 10));
    EXPECT_TRUE(fs::exists(profile / "ghost.txt"));
    EXPECT_TRUE(fs::exists(profile / "settings.ini")) << "the replayed options screen saves into the profile";
}

TEST_F(RecordsRace, AProfileThatCannotBeUsedEndsTheRunWithOneLineNamingTheOption) {
    std::ofstream(Path("plain")) << "a file";
    std::vector<std::string> unusable = {Path("plain"), Path("plain") + "/below"};
    if (geteuid() != 0) {
        fs::create_directories(dir / "locked");
        fs::permissions(dir / "locked", fs::perms::owner_read | fs::perms::owner_exec, fs::perm_options::replace);
        fs::create_directories(dir / "hidden");
        fs::permissions(dir / "hidden", fs::perms::owner_write | fs::perms::owner_exec, fs::perm_options::replace);
        unusable.push_back((dir / "locked").string());
        unusable.push_back((dir / "hidden").string());
    }
    for (const std::string& profile : unusable) {
        const GameRun run = RunGame(home, "--headless --no-render --frames 2 --profile " + profile);
        EXPECT_EQ(run.status, 2) << profile;
        EXPECT_EQ(std::count(run.errors.begin(), run.errors.end(), '\n'), 1) << run.errors;
        EXPECT_EQ(run.errors.rfind("vorlan: --profile ", 0), 0u) << run.errors;
    }
    for (const char* name : {"locked", "hidden"})
        if (fs::exists(dir / name)) fs::permissions(dir / name, fs::perms::owner_all, fs::perm_options::replace);
    // A folder that is not there yet is made.
    const GameRun made = RunGame(home, "--headless --no-render --frames 2 --profile " + (dir / "new" / "profile").string());
    EXPECT_EQ(made.status, 0) << made.errors;
    EXPECT_TRUE(fs::is_directory(dir / "new" / "profile"));
}
