#include "server/Services.h"

#include "server/Crypto.h"
#include "server/RemovedFolder.h"
#include "server/SqlDatabase.h"
#include "server/TarGz.h"
#include "stage/course/CourseCatalog.h"
#include "stage/course/CourseReader.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <thread>

namespace server {

namespace fs = std::filesystem;
using nlohmann::json;

const char* const kDifficulties[3] = {"easy", "normal", "hard"};

int64_t SystemClock() { return static_cast<int64_t>(std::time(nullptr)); }

json RowJson(const BoardRow& row) {
    return {{"rank", row.rank}, {"player", row.player}, {"timeMs", row.timeMs}, {"lapsMs", row.lapsMs},
            {"date", row.date}, {"run", row.run}};
}

CourseService::CourseService(const std::string& gameData, const std::string& sharedRoot,
                             std::vector<std::string>& refusals) {
    std::error_code ec;
    const fs::path data = fs::absolute(gameData, ec).lexically_normal();
    // The game's own course files name their files from the folder above
    // Data ("Data/Courses/..."), as the game starts there.
    const fs::path was = fs::current_path(ec);
    const fs::path parent = data.has_filename() ? data.parent_path() : data.parent_path().parent_path();
    if (chdir(parent.c_str()) != 0) {
        refusals.push_back(parent.string() + ": cannot be read");
        return;
    }
    CourseCatalog catalog;
    catalog.Scan((data / "Courses").string(), sharedRoot, nullptr, refusals);
    if (chdir(was.c_str()) != 0) refusals.push_back(was.string() + ": cannot go back to the folder started in");
    for (const CourseData& c : catalog.courses) {
        CourseInfo info{c.id, c.name, c.laps, c.gameplayHash, {}, !c.builtIn, c.builtIn ? "" : c.folder};
        const fs::path map = fs::path(c.folder) / "map.png";
        if (fs::is_regular_file(map, ec)) info.map = map.string();
        courses_.push_back(std::move(info));
    }
}

std::vector<CourseInfo> CourseService::All() const {
    std::shared_lock lock(mutex_);
    return courses_;
}

std::optional<CourseInfo> CourseService::Find(const std::string& id) const {
    std::shared_lock lock(mutex_);
    for (const CourseInfo& c : courses_)
        if (c.id == id) return c;
    return std::nullopt;
}

void CourseService::Add(CourseInfo course) {
    std::unique_lock lock(mutex_);
    courses_.push_back(std::move(course));
}

RegisteredPlayer PlayerService::Register(const std::string& body, const std::string& address) {
    std::string why;
    const auto name = ParsePlayerBody(body, why);
    if (!name) throw ApiError(400, why);
    const int64_t now = clock_();
    if (const auto r = storage_.PlayersFromAddressSince(address, now - 3600); r.count >= perAddressHour_)
        throw ApiError(429, "address: more than " + std::to_string(perAddressHour_) + " new players in an hour",
                       static_cast<int>(std::max<int64_t>(1, r.oldest + 3600 - now)));
    const std::string token = RandomHex(32);
    if (!storage_.AddPlayer(*name, Sha256Hex(token), address, now))
        throw ApiError(409, "name: '" + *name + "' is taken");
    return {*name, token};
}

Player PlayerService::Authenticate(const std::string& authorization) {
    if (authorization.empty()) throw ApiError(401, "Authorization: missing (Bearer TOKEN)");
    const auto token = ParseBearer(authorization);
    if (!token) throw ApiError(401, "Authorization: not 'Bearer' and a 64-digit token");
    auto player = storage_.PlayerByTokenHash(Sha256Hex(*token));
    if (!player) throw ApiError(401, "Authorization: no player has this token");
    return *player;
}

int64_t RunService::Submit(const Player& player, const std::string& body, const std::string& address) {
    if (body.size() > kMaxRaceFileBytes) throw ApiError(413, "body: over 256 KiB");
    if (const std::string why = CheckRaceFile(body); !why.empty()) throw ApiError(400, why);
    const std::string hash = Sha256Hex(body);
    if (const auto earlier = storage_.RunByFileHash(hash))
        throw ApiError(409, "body: the same race file as run " + std::to_string(*earlier));
    const int64_t now = clock_();
    const int64_t since = now - 3600;
    const auto retry = [&](int64_t oldest) { return static_cast<int>(std::max<int64_t>(1, oldest + 3600 - now)); };
    if (const auto r = storage_.RunsByPlayerSince(player.id, since); r.count >= limits_.perPlayerHour)
        throw ApiError(429, "player: more than " + std::to_string(limits_.perPlayerHour) + " runs in an hour",
                       retry(r.oldest));
    if (const auto r = storage_.RunsFromAddressSince(address, since); r.count >= limits_.perAddressHour)
        throw ApiError(429, "address: more than " + std::to_string(limits_.perAddressHour) + " runs in an hour",
                       retry(r.oldest));
    if (storage_.PendingCount() >= limits_.queueBound)
        throw ApiError(503, "queue: " + std::to_string(limits_.queueBound) + " runs are waiting; try again later", 60);
    const auto id = storage_.AddRun(player.id, hash, body, address, now);
    if (!id) throw ApiError(409, "body: the same race file was just sent");
    return *id;
}

json RunService::Describe(int64_t id) {
    const auto run = storage_.GetRun(id);
    if (!run) throw ApiError(404, "id: no run " + std::to_string(id));
    json j = {{"id", run->id}, {"status", StatusName(run->status)}, {"player", run->player},
              {"url", "/api/v1/runs/" + std::to_string(run->id)}, {"submitted", run->submittedAt}};
    if (run->status == RunStatus::Verified) {
        const BoardKey key{run->course, run->courseHash, run->difficulty};
        j["timeMs"] = run->timeMs;
        j["lapsMs"] = run->lapsMs;
        j["rank"] = storage_.RankOfTime(key, run->playerId, run->timeMs, run->id);
        // How many riders the board has: "3rd of 57".
        j["of"] = storage_.BoardSize(key);
        j["board"] = {{"course", run->course}, {"courseHash", run->courseHash}, {"difficulty", run->difficulty},
                      {"url", "/api/v1/boards/" + run->course + "?difficulty=" + run->difficulty}};
    } else if (run->status == RunStatus::Rejected) {
        j["reason"] = run->reason;
    }
    return j;
}

std::string RunService::File(int64_t id) {
    auto file = storage_.RunFile(id);
    if (!file) throw ApiError(404, "id: no run " + std::to_string(id));
    return *file;
}

Verdict RunService::Judge(const SandboxResult& result) const {
    Verdict v;
    if (result.timedOut) {
        v.reason = "the verifier ran past its time limit and was killed";
        return v;
    }
    if (result.outputCut) {
        v.reason = "the verifier printed more than it may";
        return v;
    }
    if (result.exitStatus >= 128) {
        v.reason = "the verifier was killed by signal " + std::to_string(result.exitStatus - 128) +
                   " (a CPU time, memory or file size limit)";
        return v;
    }
    std::string why;
    const auto report = ParseVerifierOutput(result.out, result.exitStatus, why);
    if (!report) {
        v.reason = why;
        return v;
    }
    v.build = report->build;
    if (report->verdict != "verified") {
        v.reason = report->verdict + ": " + report->reason;
        if (report->firstMismatch >= 0)
            v.reason += " (first mismatch at update " + std::to_string(report->firstMismatch) + ")";
        return v;
    }
    v.course = report->course;
    v.courseHash = report->courseHash;
    v.difficulty = report->difficulty;
    v.timeMs = report->timeMs;
    v.lapsMs = report->lapsMs;
    v.statesHash = report->statesHash;
    if (report->autopilot) {
        v.reason = "autopilot: a race the bike drove itself does not count";
        return v;
    }
    const auto course = courses_.Find(report->course);
    if (!course) {
        v.reason = "course: '" + report->course + "' is not a course this server has";
        return v;
    }
    if (course->hash != report->courseHash) {
        v.reason = "courseHash: the race is on another version of '" + report->course + "' than this server's";
        return v;
    }
    v.verified = true;
    return v;
}

bool RunService::Verify(int64_t id, const Sandbox& sandbox, const std::atomic<bool>& stopping) {
    const auto file = storage_.RunFile(id);
    if (!file) return true;
    const SandboxResult result = sandbox.Verify(*file, &stopping);
    if (result.cancelled) return false;
    if (!result.started) {
        std::fprintf(stderr, "vorlan-moto-server: run %lld: %s\n", static_cast<long long>(id), result.error.c_str());
        return false;
    }
    // bwrap's own failures (it says so on standard error and prints nothing)
    // are the server's trouble, not the run's.
    if (result.out.empty() && result.err.rfind("bwrap:", 0) == 0) {
        std::fprintf(stderr, "vorlan-moto-server: run %lld: the sandbox failed: %s", static_cast<long long>(id),
                     result.err.c_str());
        return false;
    }
    // The verdict is kept through a gap in the database (a restart) rather
    // than the run raced again; past a minute the run's lease gives it to
    // another worker.
    const Verdict verdict = Judge(result);
    for (int tries = 0;; ++tries) {
        try {
            storage_.RecordVerdict(id, verdict, clock_());
            return true;
        } catch (const StorageUnavailable&) {
            if (tries >= 60 || stopping) throw;
        }
        std::this_thread::sleep_for(std::chrono::seconds(1));
    }
}

std::vector<BoardRow> BoardService::Rows(const CourseInfo& course, const std::string& difficulty, int limit) {
    return storage_.Board({course.id, course.hash, difficulty}, 0, limit);
}

json BoardService::Board(const std::string& courseId, const BoardQuery& query) {
    const auto course = courses_.Find(courseId);
    if (!course) throw ApiError(404, "course: no course '" + courseId + "'");
    const BoardKey key{course->id, course->hash, query.difficulty};
    int64_t offset = 0;
    if (!query.around.empty()) {
        const auto player = storage_.PlayerByName(query.around);
        if (!player) throw ApiError(404, "around: no player '" + query.around + "'");
        if (const auto rank = storage_.PlayerRank(key, player->id))
            offset = std::max<int64_t>(0, *rank - 1 - query.limit / 2);
    }
    json rows = json::array();
    for (const BoardRow& row : storage_.Board(key, offset, query.limit)) rows.push_back(RowJson(row));
    return {{"course", course->id}, {"courseHash", course->hash}, {"difficulty", query.difficulty},
            {"players", storage_.BoardSize(key)}, {"rows", rows}};
}

json BoardService::Records(const CourseInfo& course) {
    json records = json::object();
    for (const char* d : kDifficulties) {
        const auto rows = storage_.Board({course.id, course.hash, d}, 0, 1);
        records[d] = rows.empty() ? json(nullptr) : RowJson(rows.front());
    }
    return records;
}

json BoardService::Courses() {
    json list = json::array();
    for (const CourseInfo& c : courses_.All()) {
        json j = {{"id", c.id}, {"name", c.name}, {"laps", c.laps}, {"hash", c.hash}, {"records", Records(c)}};
        if (!c.map.empty()) j["map"] = "/courses/" + c.id + "/map.png";
        if (c.shared) {
            j["author"] = Author(c.id).value_or("");
            j["folder"] = "/api/v1/courses/" + c.id + "/folder";
        }
        list.push_back(std::move(j));
    }
    return {{"courses", list}};
}

json BoardService::PlayerBests(const Player& player) {
    json bests = json::array();
    for (const auto& b : storage_.PlayerBests(player.id)) {
        json row = RowJson(b.row);
        row["player"] = player.name;
        row["rank"] = storage_.PlayerRank(b.key, player.id).value_or(0);
        row["course"] = b.key.course;
        row["difficulty"] = b.key.difficulty;
        // A board of a course version the server no longer has is kept but not current.
        const auto course = courses_.Find(b.key.course);
        row["current"] = course && course->hash == b.key.courseHash;
        bests.push_back(std::move(row));
    }
    return {{"player", player.name}, {"since", player.createdAt}, {"bests", bests}};
}

}  // namespace server

namespace server {

namespace {
// A fresh empty folder outside the server's data for the maker to write.
std::string MakeScratch() {
    std::string pattern = (fs::temp_directory_path() / "vorlan-moto-course-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot make a folder for the course maker");
    chmod(pattern.c_str(), 0755);
    return pattern;
}

bool ValidCourseId(const std::string& id) {
    if (id.empty() || id.size() > 40) return false;
    for (char c : id)
        if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_')) return false;
    return true;
}

constexpr uintmax_t kMaxCourseFolderBytes = 64ull * 1024 * 1024;

// The course tool's one line on standard error: "vorlan-moto-course: LINE".
std::string MakerLine(const SandboxResult& result) {
    std::string line = result.err.substr(0, result.err.find('\n'));
    const std::string prefix = "vorlan-moto-course: ";
    if (line.rfind(prefix, 0) == 0) line = line.substr(prefix.size());
    return line;
}
}  // namespace

void CourseUploadService::CheckRaceable(const std::string& scratch, const std::string& id) const {
    const SandboxResult checked = sandbox_.CheckCourse(scratch, id);
    if (!checked.started) throw ApiError(500, "the course check could not be run");
    if (checked.timedOut || checked.exitStatus >= 128) throw ApiError(400, "body: the course check ran past its limits");
    if (checked.exitStatus == 0) return;
    // The check names the course by its id, and folders by their place in the sandbox.
    std::string line = MakerLine(checked);
    const std::string folder = "/out/" + id;
    if (line.rfind(folder, 0) == 0) line = id + line.substr(folder.size());
    throw ApiError(400, line.empty() ? "body: the course cannot be raced" : line);
}

CourseInfo CourseUploadService::Upload(const Player& player, const std::string& description) {
    if (description.size() > kMaxDescriptionBytes) throw ApiError(413, "body: over 8 KiB");
    if (description.empty()) throw ApiError(400, "body: empty, not a course description");
    for (char c : description)
        if ((static_cast<unsigned char>(c) < 0x20 && c != '\n' && c != '\r' && c != '\t') || c == 0x7f)
            throw ApiError(400, "body: not text (a control character)");
    std::lock_guard lock(mutex_);
    const int64_t now = clock_();
    if (const auto r = storage_.CoursesByPlayerSince(player.id, now - 86400); r.count >= perPlayerDay_)
        throw ApiError(429, "player: more than " + std::to_string(perPlayerDay_) + " courses in a day",
                       static_cast<int>(std::max<int64_t>(1, r.oldest + 86400 - now)));
    const std::string scratch = MakeScratch();
    const RemovedFolder cleanup{scratch};

    const SandboxResult made = sandbox_.MakeCourse(description, scratch);
    if (!made.started) throw ApiError(500, "the course maker could not be run");
    if (made.timedOut || made.exitStatus >= 128) throw ApiError(400, "body: the course maker ran past its limits");
    if (made.exitStatus != 0) {
        // It names the file it read by its place in the sandbox.
        std::string line = MakerLine(made);
        const std::string input = "/sandbox/input";
        if (line.rfind(input, 0) == 0) line = "description" + line.substr(input.size());
        throw ApiError(400, line.empty() ? "body: refused by the course maker" : line);
    }
    // What the maker left: one folder, named by the course's id.
    std::vector<fs::path> made_folders;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(scratch, ec))
        if (e.is_directory()) made_folders.push_back(e.path());
    if (made_folders.size() != 1) throw ApiError(500, "the course maker left no course folder");
    const std::string id = made_folders[0].filename().string();
    if (!ValidCourseId(id)) throw ApiError(400, "id: not a course id");
    uintmax_t bytes = 0;
    for (const auto& e : fs::recursive_directory_iterator(made_folders[0], ec)) {
        if (e.is_symlink()) throw ApiError(400, "body: the course folder holds a link");
        if (e.is_regular_file()) bytes += e.file_size();
    }
    if (bytes > kMaxCourseFolderBytes) throw ApiError(400, "body: the course made is too big");
    if (courses_.Find(id)) throw ApiError(409, "id: '" + id + "' is taken");
    // The catalog reads at most this many folders when the server starts again.
    size_t shared = 0;
    for (const CourseInfo& c : courses_.All()) shared += c.shared ? 1 : 0;
    if (shared >= CourseCatalog::kMaxFolders)
        throw ApiError(507, "courses: the server holds as many shared courses as it can");
    CheckRaceable(scratch, id);

    // Moved in whole: copied beside its place, then renamed into it.
    const fs::path final = fs::path(sharedRoot_) / id;
    const fs::path staging = fs::path(sharedRoot_) / ("." + id + ".new");
    fs::remove_all(staging, ec);
    fs::copy(made_folders[0], staging, fs::copy_options::recursive, ec);
    if (ec) throw ApiError(500, "the course cannot be stored");
    CourseData data;
    std::string error;
    if (!CourseReader::Load(staging.string(), false, data, error)) {
        fs::remove_all(staging, ec);
        // The client is told the course's own file names, not the server's folders.
        if (error.rfind(staging.string(), 0) == 0) error = id + error.substr(staging.string().size());
        throw ApiError(400, error);
    }
    if (!storage_.AddCourse(id, data.gameplayHash, player.id, now, description)) {
        fs::remove_all(staging, ec);
        throw ApiError(409, "id: '" + id + "' is taken");
    }
    fs::rename(staging, final, ec);
    if (ec) throw ApiError(500, "the course cannot be stored");
    CourseInfo info{id, data.name, data.laps, data.gameplayHash, {}, true, final.string()};
    if (fs::is_regular_file(final / "map.png", ec)) info.map = (final / "map.png").string();
    courses_.Add(info);
    return info;
}

std::string CourseUploadService::Folder(const std::string& id) {
    const auto course = courses_.Find(id);
    if (!course) throw ApiError(404, "course: no course '" + id + "'");
    if (!course->shared) throw ApiError(404, "course: '" + id + "' comes with the game");
    try {
        return TarGzFolder(course->folder, course->id);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "vorlan-moto-server: %s\n", e.what());
        throw ApiError(500, "the course folder cannot be read");
    }
}

}  // namespace server
