// vorlan-moto-verify against the real game: a race the game kept with
// --save-run verifies to the game's own result and trace, on every course;
// a race file altered anywhere is a mismatch at the first update it shows
// in; what cannot be raced is refused with one line; and the verifier links
// no display, graphics or sound library.

#include "../game/AutopilotRace.h"
#include "JsonLines.h"
#include "RaceRuns.h"
#include "race/RaceFile.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using nlohmann::json;

namespace {
struct Verdict {
    int status = -1;
    json line;
};

std::string Output(const std::string& command, int& status) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return out;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    const int raw = pclose(pipe);
    status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return out;
}

Verdict Verify(const fs::path& file, const std::string& extra = "") {
    Verdict v;
    const std::string out = Output("cd " + std::string(VORLAN_BINARY_DIR) + " && ./vorlan-moto-verify " + extra + " '" +
                                       file.string() + "' 2>/dev/null",
                                   v.status);
    // One line, and JSON.
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1) << out;
    v.line = json::parse(out, nullptr, false);
    EXPECT_FALSE(v.line.is_discarded()) << out;
    return v;
}

std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

fs::path Write(const std::string& name, const std::string& text) {
    const fs::path path = fs::temp_directory_path() / name;
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

RaceFile Parsed(const fs::path& path) {
    RaceFile race;
    std::string error;
    EXPECT_TRUE(RaceFile::Parse(Read(path), race, error)) << error;
    return race;
}

// The keys that drive an autopilot race's line by hand: the throttle from
// Enter on, and the steering key the autopilot turned with in each frame.
std::string KeysOf(const std::vector<json>& trace) {
    std::ostringstream keys;
    size_t start = 0;
    while (start < trace.size() && trace[start]["mode"] != 0) ++start;
    keys << start << " " << start << " Enter Z\n";
    for (size_t f = start + 1; f < trace.size() && !trace[f]["bikes"].is_null(); ++f) {
        const double turn = trace[f]["bikes"][0]["yaw"].get<double>() - trace[f - 1]["bikes"][0]["yaw"].get<double>();
        keys << f << " " << f << " Z" << (turn > 1e-6 ? " Right" : turn < -1e-6 ? " Left" : "") << "\n";
    }
    return keys.str();
}

// The driven race of a course: its autopilot race's line steered with keys.
SharedRunResult DrivenRace(const std::string& course, long frames) {
    const SharedRunResult autopilot =
        course == "desert" ? AutopilotRace() : CourseAutopilotRace(course, "normal", frames);
    const std::string keys = KeysOf(ReadJsonLines(autopilot.dir / "race.jsonl"));
    return SharedRun("driven-" + course, {{"keys.txt", keys}},
                     "--headless --no-render --fixed-clock --uncapped --seed 7 --frames " + std::to_string(frames) +
                         " --profile {dir} --course " + course +
                         " --input {dir}/keys.txt --trace {dir}/race.jsonl --save-run {dir}/race.run");
}

struct GameResult {
    size_t raceStart = 0;
    long countdownEnd = -1, finish = -1;
    std::vector<long> laps;
    int rank = 0;
};

GameResult ResultOf(const std::vector<json>& trace) {
    GameResult r;
    while (r.raceStart < trace.size() && trace[r.raceStart]["mode"] != 0) ++r.raceStart;
    long lap = 1, lapFrom = -1;
    for (size_t f = r.raceStart; f < trace.size() && r.finish < 0; ++f) {
        const json& bike = trace[f]["bikes"][0];
        if (r.countdownEnd < 0 && trace[f]["timer"]["countdown"] == 0) lapFrom = r.countdownEnd = static_cast<long>(f);
        if (bike["lap"].get<long>() > lap) {
            lap = bike["lap"];
            r.laps.push_back(static_cast<long>(f) - lapFrom);
            lapFrom = static_cast<long>(f);
            if (static_cast<int>(r.laps.size()) == 3) {
                r.finish = static_cast<long>(f);
                r.rank = trace[f]["rank"];
            }
        }
    }
    return r;
}
}  // namespace

TEST(Verifier, ARaceKeptOnEachCourseVerifiesToTheGamesOwnResultAndTrace) {
    const std::pair<const char*, long> courses[] = {{"desert", 9000}, {"riverside", 7300}, {"canyon", 6450}};
    for (const auto& [course, frames] : courses) {
        SCOPED_TRACE(course);
        const SharedRunResult run = DrivenRace(course, frames);
        ASSERT_EQ(run.status, 0);
        const std::vector<json> game = ReadJsonLines(run.dir / "race.jsonl");
        const GameResult result = ResultOf(game);
        ASSERT_GT(result.finish, 0);

        const fs::path trace = run.dir / "verified.jsonl";
        const Verdict v = Verify(run.dir / "race.run", "--trace '" + trace.string() + "'");
        EXPECT_EQ(v.status, 0) << v.line.dump();
        EXPECT_EQ(v.line["verdict"], "verified");
        EXPECT_EQ(v.line["course"], course);
        EXPECT_EQ(v.line["autopilot"], false);
        EXPECT_EQ(v.line["difficulty"], "normal");
        EXPECT_EQ(v.line["timeMs"], (result.finish - result.countdownEnd) * 16);
        EXPECT_EQ(v.line["updates"], result.finish - result.countdownEnd);
        ASSERT_EQ(v.line["lapsMs"].size(), 3u);
        for (size_t lap = 0; lap < 3; ++lap) EXPECT_EQ(v.line["lapsMs"][lap], result.laps[lap] * 16) << lap;
        EXPECT_EQ(v.line["rank"], result.rank);
        EXPECT_TRUE(v.line["firstMismatch"].is_null());

        // The race raced again traces as the game traced it, field for field.
        const std::vector<json> again = ReadJsonLines(trace);
        ASSERT_EQ(again.size(), static_cast<size_t>(result.finish) - result.raceStart + 1);
        for (size_t u = 0; u < again.size(); ++u) {
            json theirs = game[result.raceStart + u], ours = again[u];
            for (json* frame : {&theirs, &ours}) {
                frame->erase("frame");
                frame->erase("ms");
            }
            ASSERT_EQ(ours, theirs) << "update " << u;
        }

        // A race a player keeps files for is kept beside the ghost it set, the
        // same race file as --save-run's.
        const fs::path records = std::string(course) == "desert" ? run.dir : run.dir / "records" / course;
        EXPECT_TRUE(fs::exists(records / "ghost.txt"));
        EXPECT_EQ(Read(records / "race.txt"), Read(run.dir / "race.run"));

        // The autopilot's own race file verifies too, and says it drove itself.
        const SharedRunResult autopilot =
            std::string(course) == "desert" ? AutopilotRace() : CourseAutopilotRace(course, "normal", frames);
        const Verdict a = Verify(autopilot.dir / "race.run");
        EXPECT_EQ(a.status, 0) << a.line.dump();
        EXPECT_EQ(a.line["autopilot"], true);
        EXPECT_EQ(a.line["timeMs"], v.line["timeMs"]);
    }
}

TEST(Verifier, AnAlteredRaceIsAMismatchAtTheFirstUpdateItShowsIn) {
    const SharedRunResult run = DrivenRace("desert", 9000);
    ASSERT_EQ(run.status, 0);
    const RaceFile good = Parsed(run.dir / "race.run");
    ASSERT_GT(good.updates.size(), 3000u);
    auto check = [](const RaceFile& race, const std::string& name, uint32_t from, uint32_t to) {
        SCOPED_TRACE(name);
        const Verdict v = Verify(Write("altered-" + name + ".run", race.Text()));
        EXPECT_EQ(v.status, 1) << v.line.dump();
        EXPECT_EQ(v.line["verdict"], "mismatch");
        ASSERT_TRUE(v.line["firstMismatch"].is_number()) << v.line.dump();
        EXPECT_GE(v.line["firstMismatch"].get<uint32_t>(), from) << v.line.dump();
        EXPECT_LE(v.line["firstMismatch"].get<uint32_t>(), to) << v.line.dump();
        EXPECT_FALSE(v.line["reason"].get<std::string>().empty());
        EXPECT_TRUE(v.line["timeMs"].is_null());
    };
    RaceFile race = good;
    // The throttle let go for a few updates (for one, at top speed, the bike
    // can come out as fast as it went in: the same race).
    for (uint32_t u = 2000; u < 2004; ++u) race.updates[u].keys &= ~1u;
    check(race, "key", 2000, 2039);
    race = good;
    race.updates[1500].keys ^= 4;  // a touch of Right
    check(race, "steer", 1500, 1559);
    race = good;
    race.hashes[10].hash ^= 1;
    check(race, "hash", race.hashes[10].update, race.hashes[10].update);
    race = good;
    race.lapEnds[1] -= 30;
    check(race, "lap", good.lapEnds[1] - 30, good.lapEnds[1] - 30);
    race = good;
    race.finishUpdate -= 5;
    race.lapEnds.back() -= 5;
    check(race, "finish", good.finishUpdate - 5, good.finishUpdate - 5);
    race = good;
    race.rank = race.rank == 1 ? 2 : 1;
    check(race, "rank", good.finishUpdate, good.finishUpdate);
    race = good;
    race.hudMs -= 1000;
    check(race, "hud", good.finishUpdate, good.finishUpdate);
    race = good;
    race.countdownUpdate += 1;
    check(race, "countdown", good.countdownUpdate, good.countdownUpdate);
    race = good;
    race.bikes[1].steerTolerance = (race.bikes[1].steerTolerance + 7) % 30;
    race.randomWords[3] += 1;
    check(race, "start", 0, 59);
    race = good;
    race.hashes.erase(race.hashes.begin() + 3);
    check(race, "missing-hash", good.hashes[3].update, good.hashes[3].update);
}

TEST(Verifier, RefusesWhatCannotBeRacedWithOneLine) {
    const SharedRunResult run = DrivenRace("desert", 9000);
    ASSERT_EQ(run.status, 0);
    const std::string good = Read(run.dir / "race.run");
    const RaceFile race = Parsed(run.dir / "race.run");
    auto refused = [](const fs::path& file, const std::string& about) {
        SCOPED_TRACE(about);
        const Verdict v = Verify(file);
        EXPECT_EQ(v.status, 2) << v.line.dump();
        EXPECT_EQ(v.line["verdict"], "refused");
        const std::string reason = v.line["reason"].is_string() ? v.line["reason"].get<std::string>() : "";
        EXPECT_NE(reason.find(about), std::string::npos) << reason;
    };
    RaceFile other = race;
    other.courseHash = "0000000000000000";
    refused(Write("refused-hash.run", other.Text()), "another version");
    other = race;
    other.course = "nowhere";
    refused(Write("refused-course.run", other.Text()), "not here");
    refused(Write("refused-truncated.run", good.substr(0, good.size() / 2)), "line");
    refused(Write("refused-garbage.run", std::string("\x7f" "ELF\x02\x01\x01 garbage\n")), "not a race file");
    refused(Write("refused-big.run", good + std::string(2u << 20, '#')), "larger than");
    refused(fs::temp_directory_path() / "no-such-race.run", "cannot read");
    std::string absurd = good;
    absurd.insert(absurd.find("\nu ") + 1, "u 1 16 x999999999\n");
    refused(Write("refused-absurd.run", absurd), "an hour");
    // Stopped a lap short: the finish is never reached.
    other = race;
    other.updates.resize(race.lapEnds[1] + 10);
    other.finishUpdate = other.lapEnds[1] = race.lapEnds[1];
    other.lapEnds.resize(2);
    while (!other.hashes.empty() && other.hashes.back().update >= other.updates.size()) other.hashes.pop_back();
    refused(Write("refused-short.run", other.Text()), "does not reach the finish");
}

TEST(Verifier, LinksNoDisplayGraphicsOrSoundLibrary) {
    int status = -1;
    const std::string needed =
        Output("readelf -d " + std::string(VORLAN_BINARY_DIR) + "/vorlan-moto-verify | grep NEEDED", status);
    ASSERT_EQ(status, 0);
    ASSERT_NE(needed.find("libc.so"), std::string::npos) << needed;
    for (const char* library : {"SDL", "libGL", "EGL", "epoxy", "openal", "libasound", "libX11", "libwayland"})
        EXPECT_EQ(needed.find(library), std::string::npos) << library << " in\n" << needed;
}
