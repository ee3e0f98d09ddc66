// vorlan-moto-verify RACEFILE: races a race file again on the game's own
// simulation, without a window, GPU or sound library, and says in one JSON
// line whether it is the race it claims to be. Exit 0 verified, 1 mismatch,
// 2 refused.

#include "framework/graphics/AxGLTFModel.h"
#include "bike/Player.h"
#include "profile/GhostTrack.h"
#include "profile/UserFiles.h"
#include "race/BuildInfo.h"
#include "race/RaceFile.h"
#include "race/RaceSimulator.h"
#include "scene/Game.h"
#include "scene/JsonLine.h"
#include "scene/TraceWriter.h"
#include "stage/CourseGeometry.h"
#include "stage/course/CourseCatalog.h"

#include <unistd.h>

#include "tools/ToolData.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <system_error>

namespace fs = std::filesystem;

namespace {
int Usage(int status) {
    std::fprintf(status == 0 ? stdout : stderr,
                 "usage: vorlan-moto-verify [--data DIR] [--courses DIR] [--trace OUT] RACEFILE\n"
                 "Races RACEFILE again and prints one JSON line: its verdict (verified, mismatch or refused),\n"
                 "the course and difficulty, the time in updates and milliseconds, the laps and the rank.\n"
                 "Exit status 0 verified, 1 mismatch, 2 refused.\n"
                 "  --data DIR     the game's Data folder (default: beside this program, or installed)\n"
                 "  --courses DIR  a folder of further course folders (shared courses)\n"
                 "  --trace OUT    the re-raced race's trace, one JSON line per update\n"
                 "  --ghost OUT    when verified, the player's line as the game's ghost file\n");
    return status;
}

struct Output {
    nlohmann::json line = {{"verdict", "refused"}, {"reason", nullptr},  {"course", nullptr},
                           {"courseHash", nullptr}, {"difficulty", nullptr}, {"autopilot", nullptr},
                           {"updates", nullptr},   {"timeMs", nullptr},  {"lapsMs", nullptr},
                           {"rank", nullptr},      {"firstMismatch", nullptr}, {"statesHash", nullptr},
                           {"build", std::string(BuildVersion()) + " " + BuildCommit()}};
    int Print(int status) {
        std::printf("%s\n", line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace).c_str());
        std::fflush(stdout);
        return status;
    }
    int Refuse(const std::string& why) {
        line["verdict"] = "refused";
        line["reason"] = why;
        return Print(2);
    }
};

bool ReadLimited(const fs::path& path, std::string& text, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read " + path.string();
        return false;
    }
    text.assign(RaceFile::kMaxBytes + 1, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<size_t>(in.gcount()));
    if (text.size() > RaceFile::kMaxBytes) {
        error = "larger than " + std::to_string(RaceFile::kMaxBytes) + " bytes";
        return false;
    }
    return true;
}
}  // namespace

int main(int argc, char** argv) {
    fs::path data, courses, trace, ghost, file;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") return Usage(0);
        if ((arg == "--data" || arg == "--courses" || arg == "--trace" || arg == "--ghost") && i + 1 < argc) {
            (arg == "--data" ? data : arg == "--courses" ? courses : arg == "--trace" ? trace : ghost) = argv[++i];
        } else if (!arg.empty() && arg[0] == '-') {
            return Usage(2);
        } else if (file.empty()) {
            file = arg;
        } else {
            return Usage(2);
        }
    }
    if (file.empty()) return Usage(2);
    Output out;
    std::error_code ec;
    // Every path as given, before the game's folder becomes the working one.
    file = fs::absolute(file, ec);
    if (!trace.empty()) trace = fs::absolute(trace, ec);
    if (!ghost.empty()) ghost = fs::absolute(ghost, ec);
    if (!courses.empty()) courses = fs::absolute(courses, ec);
    if (data.empty()) data = FindGameData();
    data = fs::absolute(data, ec);

    std::string text, error;
    if (!ReadLimited(file, text, error)) return out.Refuse(error);
    RaceFile race;
    if (!RaceFile::Parse(text, race, error)) return out.Refuse(error);
    out.line["course"] = race.course;
    out.line["courseHash"] = race.courseHash;
    out.line["difficulty"] = race.difficulty;
    out.line["autopilot"] = race.autopilot;

    // The game reads its content relative to the folder that holds Data; no
    // player's folders are read or written.
    if (!fs::is_directory(data, ec) || chdir(data.parent_path().c_str()) != 0)
        return out.Refuse("no game data at " + data.string());
    UserFiles::UseNoFolders();
    AxGLTFQuiet quiet;
    CourseCatalog catalog;
    std::vector<std::string> refusals;
    // Only the course raced is put through the player's-course checks.
    const std::string wanted = race.course;
    catalog.Scan("Data/Courses", courses.string(),
                 [&wanted](const CourseData& c) { return c.id == wanted ? CheckCourseGeometry(c) : std::string(); },
                 refusals);
    const CourseData* course = catalog.Find(race.course);
    if (!course) return out.Refuse("course " + race.course + ": not here");
    if (course->gameplayHash != race.courseHash)
        return out.Refuse("course " + race.course + ": another version of the course (gameplay hash " +
                          course->gameplayHash + ")");

    TraceWriter traceWriter;
    if (!trace.empty() && !traceWriter.Open(trace.string())) return out.Refuse("--trace: cannot write " + trace.string());
    RaceSimulator simulator;
    // The line as the game's records keep it: the grid until the countdown
    // ends, then every update's pose to the finish.
    GhostTrack line;
    const RaceCheck check = simulator.Run(race, *course, [&](uint32_t u, uint32_t ms, const Game& game) {
        traceWriter.WriteFrame(u, ms, &game);
        if (ghost.empty() || !game.player) return;
        const Player& p = *game.player;
        const GhostPose pose{p.position.x, p.position.y, p.position.z, p.yaw, p.lean};
        if (game.Countdown() != 0) line.start = pose;
        else if (line.frames.size() < GhostTrack::kMaxFrames) line.frames.push_back(pose);
    });
    traceWriter.Close();
    if (!ghost.empty() && check.verdict == RaceCheck::Verdict::Verified) {
        line.raceMs = check.hudMs;
        if (!UserFiles::WriteAtomically(ghost.string(), line.Text(), error))
            return out.Refuse("--ghost: " + error);
    }

    out.line["verdict"] = RaceCheck::VerdictName(check.verdict);
    if (!check.reason.empty()) out.line["reason"] = check.reason;
    if (check.firstMismatch) out.line["firstMismatch"] = *check.firstMismatch;
    if (check.verdict == RaceCheck::Verdict::Refused) return out.Print(2);
    if (check.verdict == RaceCheck::Verdict::Verified) {
        out.line["updates"] = check.RaceUpdates();
        out.line["timeMs"] = check.RaceUpdates() * RaceFile::kUpdateMs;
        nlohmann::json laps = nlohmann::json::array();
        for (uint32_t lap : check.LapUpdates()) laps.push_back(lap * RaceFile::kUpdateMs);
        out.line["lapsMs"] = laps;
        out.line["rank"] = check.rank;
        char digest[24];
        std::snprintf(digest, sizeof digest, "%016llx", static_cast<unsigned long long>(check.statesHash));
        out.line["statesHash"] = digest;
        return out.Print(0);
    }
    return out.Print(1);
}
