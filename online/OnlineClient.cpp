#include "online/OnlineClient.h"

#include "online/CourseArchive.h"
#include "online/TokenFile.h"
#include "profile/UserFiles.h"
#include "race/RaceFile.h"

#include <nlohmann/json.hpp>

#include <signal.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>

extern char** environ;

namespace fs = std::filesystem;
using nlohmann::json;

namespace {
constexpr size_t kJsonBytes = 256u << 10;
constexpr int kVerdictPollMs = 250;
constexpr int kVerifierSeconds = 30;

// The server's own words for a refusal, or the status when it gave none (an HTML error page).
std::string Refusal(const HttpAnswer& a) {
    const json j = json::parse(a.body, nullptr, false);
    if (j.is_object() && j.contains("error") && j["error"].is_string()) {
        std::string why = j["error"].get<std::string>();
        if (why.size() > 120) why.resize(120);
        return "HTTP " + std::to_string(a.status) + ": " + why;
    }
    return "HTTP " + std::to_string(a.status) + " without the server's answer";
}

std::optional<int64_t> Integer(const json& j, const char* key) {
    if (!j.is_object()) return std::nullopt;
    const auto it = j.find(key);
    if (it == j.end() || !it->is_number_integer()) return std::nullopt;
    return it->get<int64_t>();
}

std::string Text(const json& j, const char* key, size_t max = 64) {
    if (!j.is_object()) return {};
    const auto it = j.find(key);
    if (it == j.end() || !it->is_string()) return {};
    std::string s = it->get<std::string>();
    if (s.size() > max) s.resize(max);
    return s;
}

bool Sleep(const std::atomic<bool>& stopping, int ms) {
    for (int waited = 0; waited < ms && !stopping; waited += 50)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return !stopping;
}
}  // namespace


OnlineClient::OnlineClient(Config c) : config(std::move(c)), outbox(config.outboxDir) {
    while (!config.server.empty() && config.server.back() == '/') config.server.pop_back();
    HttpTransfer::GlobalInit();
    // The boards of the last start, until the server answers (or for good, offline).
    if (const auto cached = UserFiles::ReadFile(config.cachePath, kJsonBytes)) {
        const json j = json::parse(*cached, nullptr, false);
        if (j.is_object() && j.value("server", "") == config.server && j.contains("boards") && j["boards"].is_array())
            for (const json& b : j["boards"]) {
                Board board;
                if (const auto ms = Integer(b, "recordMs"); ms && *ms > 0) board.recordMs = static_cast<uint32_t>(*ms);
                board.recordPlayer = Text(b, "recordPlayer");
                board.recordRun = Integer(b, "recordRun").value_or(0);
                board.rank = Integer(b, "rank");
                boards[Text(b, "key", 200)] = board;
            }
    }
    worker = std::thread([this] { Work(); });
    Push([this] {
        EnsureToken();
        SendWaiting({});
        FetchBoards();
    });
}

OnlineClient::~OnlineClient() {
    {
        std::lock_guard lock(mutex);
        stopping = true;
        jobs.clear();
    }
    wake.notify_all();
    if (worker.joinable()) worker.join();
    WriteUnwritten();
}

void OnlineClient::Push(Job job) {
    {
        std::lock_guard lock(mutex);
        jobs.push_back(std::move(job));
    }
    wake.notify_one();
}

void OnlineClient::Deliver(Result result) {
    std::lock_guard lock(mutex);
    results.push_back(std::move(result));
}

void OnlineClient::Work() {
    http = std::make_unique<HttpTransfer>(&stopping);
    for (;;) {
        Job job;
        {
            std::unique_lock lock(mutex);
            wake.wait(lock, [this] { return stopping || !jobs.empty(); });
            if (stopping) break;
            job = std::move(jobs.front());
            jobs.pop_front();
        }
        job();
    }
    http.reset();
}

// One line for a server that misbehaves, not one per transfer: quiet again
// until something has worked.
void OnlineClient::Say(const std::string& line) {
    if (stopping || saidProblem) return;
    saidProblem = true;
    std::fprintf(stderr, "vorlan: online: %s\n", line.c_str());
}

// ---- the game's side: never waits on the thread beyond taking its results.

void OnlineClient::Poll() {
    std::vector<Result> taken;
    {
        std::lock_guard lock(mutex);
        taken.swap(results);
    }
    if (!taken.empty()) ++version;
    for (Result& r : taken) {
        if (r.state && !r.raceName.empty() && r.raceName == raceName) race = *r.state;
        if (r.boards) boards = std::move(*r.boards);
        if (r.courses) courses = std::move(*r.courses);
        if (r.coursesNote) coursesNote = *r.coursesNote;
        if (r.installed) installed.push_back(*r.installed);
        if (r.nameRefusal) nameRefusal = r.nameRefusal;
        if (r.ghost) ghosts[r.ghostKey] = r.ghost;
    }
}

void OnlineClient::RaceBegun() {
    race = OnlineRaceState();
    raceName.clear();
}

// The file is written by the thread too (a write waits for the disk): the
// client keeps it until then, and one still unwritten when the game ends is
// written on the way out.
void OnlineClient::SendRace(const std::string& raceFile) {
    raceName = Outbox::NewName();
    race = OnlineRaceState();
    race.state = OnlineRaceState::State::Sending;
    {
        std::lock_guard lock(mutex);
        unwritten.push_back({raceName, raceFile});
    }
    const std::string name = raceName;
    Push([this, name] {
        WriteUnwritten();
        SendWaiting(name);
    });
}

void OnlineClient::WriteUnwritten() {
    std::vector<std::pair<std::string, std::string>> taken;
    {
        std::lock_guard lock(mutex);
        taken.swap(unwritten);
    }
    for (const auto& [name, text] : taken) {
        std::string error;
        if (outbox.Write(name, text, error)) continue;
        std::fprintf(stderr, "vorlan: online: the race cannot wait in the outbox: %s\n", error.c_str());
        Result r;
        r.raceName = name;
        r.state = OnlineRaceState{OnlineRaceState::State::Rejected, {}, {}, "cannot be kept"};
        Deliver(r);
    }
}

std::optional<OnlineStanding> OnlineClient::Standing(const std::string& course, const std::string& hash,
                                                     const std::string& difficulty) const {
    const auto it = boards.find(Key(course, hash, difficulty));
    if (it == boards.end()) return std::nullopt;
    return OnlineStanding{it->second.recordMs, it->second.recordPlayer, it->second.recordRun, it->second.rank};
}

// Asked every update: the answer is kept until the question or what the
// client knows changes, so a race's updates make no strings.
const GhostTrack* OnlineClient::RecordGhost(const std::string& course, const std::string& hash,
                                            const std::string& difficulty) {
    GhostQuery& q = ghostQuery;
    if (q.version == version && q.course == course && q.hash == hash && q.difficulty == difficulty) return q.answer;
    q = {version, course, hash, difficulty, FindRecordGhost(course, hash, difficulty)};
    return q.answer;
}

const GhostTrack* OnlineClient::FindRecordGhost(const std::string& course, const std::string& hash,
                                                const std::string& difficulty) {
    const auto board = boards.find(Key(course, hash, difficulty));
    if (board == boards.end() || board->second.recordRun <= 0) return nullptr;
    const std::string key = Key(course, hash, difficulty) + " " + std::to_string(board->second.recordRun);
    if (const auto it = ghosts.find(key); it != ghosts.end()) return it->second.get();
    if (ghostsAsked.insert(key).second) {
        const int64_t run = board->second.recordRun;
        Push([this, key, run] { FetchGhost(key, run); });
    }
    return nullptr;
}

void OnlineClient::RequestCourses() {
    coursesNote = "ASKING THE SERVER";
    Push([this] { FetchCourses(); });
}

void OnlineClient::InstallCourse(const std::string& id) {
    coursesNote = "DOWNLOADING " + id;
    Push([this, id] { Install(id); });
}

std::optional<std::string> OnlineClient::TakeInstalled() {
    if (installed.empty()) return std::nullopt;
    std::string id = installed.front();
    installed.pop_front();
    return id;
}

void OnlineClient::SetPlayer(const std::string& name) {
    Push([this, name] {
        if (name == config.player) return;
        config.player = name;
        token.clear();
        saidProblem = false;
        // What waited for a name goes now.
        if (EnsureToken()) SendWaiting({});
    });
}

std::optional<std::string> OnlineClient::TakeNameRefusal() {
    std::optional<std::string> why;
    why.swap(nameRefusal);
    return why;
}

// ---- the thread's side.

std::string OnlineClient::Url(const std::string& path) const { return config.server + path; }

HttpAnswer OnlineClient::Get(const std::string& path, size_t maxBytes) {
    HttpLimits limits = config.limits;
    if (maxBytes) limits.maxBytes = maxBytes;
    return http->Exchange("GET", Url(path), {}, {}, {}, limits);
}

bool OnlineClient::EnsureToken() {
    if (!token.empty()) return true;
    if (const auto saved = TokenFile::Load(config.tokenPath);
        saved && saved->server == config.server && saved->name == config.player) {
        token = saved->token;
        return true;
    }
    if (config.player.empty()) {
        Say("no player name set (options screen, or player = NAME in settings.ini); races wait in the outbox");
        return false;
    }
    const std::string body = json{{"name", config.player}}.dump();
    const HttpAnswer a = http->Exchange("POST", Url("/api/v1/players"), body, "application/json", {}, config.limits);
    if (!a.reached) {
        Say(config.server + ": " + a.error + "; races wait in the outbox");
        return false;
    }
    const json j = json::parse(a.body, nullptr, false);
    if (a.status == 201 && Text(j, "token", 128).size() >= 16) {
        ServerToken t{config.server, config.player, Text(j, "token", 128)};
        std::string error;
        if (!TokenFile::Save(config.tokenPath, t, error)) Say("the token cannot be kept: " + error);
        token = t.token;
        saidProblem = false;
        return true;
    }
    Say("the name " + config.player + " was refused: " + Refusal(a));
    if (a.status == 400 || a.status == 409) {
        Result r;
        r.nameRefusal = a.status == 409 ? "NAME TAKEN: CHOOSE ANOTHER" : "NAME REFUSED BY THE SERVER";
        Deliver(r);
    }
    return false;
}

// Sends what waits (only that one when named), oldest first; each file is
// read from the outbox again just before, so one that already has its run
// number is asked after, not sent again.
void OnlineClient::SendWaiting(const std::string& only) {
    for (const Outbox::Entry& entry : outbox.Waiting()) {
        if (stopping) return;
        if (!only.empty() && entry.name != only) continue;
        if (settled.count(entry.name)) continue;
        SendOne(entry);
    }
}

void OnlineClient::SendOne(const Outbox::Entry& entry) {
    Result queued;
    queued.raceName = entry.name;
    queued.state = OnlineRaceState{OnlineRaceState::State::Queued, {}, {}, {}};
    if (entry.runId) {
        WaitForVerdict(entry.name, *entry.runId);
        return;
    }
    if (!EnsureToken()) {
        Deliver(queued);
        return;
    }
    const std::optional<std::string> file = outbox.Read(entry.name);
    if (!file) return;
    const HttpAnswer a = http->Exchange("POST", Url("/api/v1/runs"), *file, "text/plain", token, config.limits);
    if (!a.reached) {
        Say(config.server + ": " + a.error + "; the race waits in the outbox");
        Deliver(queued);
        return;
    }
    const json j = json::parse(a.body, nullptr, false);
    const std::optional<int64_t> id = Integer(j, "id");
    if (a.status == 202 && id && *id > 0) {
        saidProblem = false;
        std::string error;
        if (!outbox.SetRunId(entry.name, *id, error)) Say("the run's number cannot be kept: " + error);
        WaitForVerdict(entry.name, *id);
        return;
    }
    if (a.status == 401) {
        // The token is not the server's any more (a new database): the name is registered again next time.
        token.clear();
        std::error_code ec;
        fs::remove(config.tokenPath, ec);
    }
    if (a.status == 409) {
        // The server has this very file already.
        Say("the server already has race " + entry.name);
        settled.insert(entry.name);
        outbox.Done(entry.name);
        Result r;
        r.raceName = entry.name;
        r.state = OnlineRaceState{OnlineRaceState::State::Rejected, {}, {}, "already sent"};
        Deliver(r);
        return;
    }
    if (a.status == 400 || a.status == 413 || a.status == 422) {
        Say("the server refused race " + entry.name + ": " + Refusal(a) + "; kept as " + entry.name + ".race.refused");
        settled.insert(entry.name);
        outbox.SetAside(entry.name);
        Result r;
        r.raceName = entry.name;
        r.state = OnlineRaceState{OnlineRaceState::State::Rejected, {}, {}, Refusal(a)};
        Deliver(r);
        return;
    }
    Say(config.server + ": " + Refusal(a) + "; the race waits in the outbox");
    Deliver(queued);
}

void OnlineClient::WaitForVerdict(const std::string& name, int64_t id) {
    Result r;
    r.raceName = name;
    r.state = OnlineRaceState{OnlineRaceState::State::Sending, {}, {}, {}};
    Deliver(r);
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(config.verdictWaitMs);
    std::string lastError;
    while (!stopping) {
        const HttpAnswer a = Get("/api/v1/runs/" + std::to_string(id), kJsonBytes);
        const json j = a.reached && a.status == 200 ? json::parse(a.body, nullptr, false) : json();
        const std::string status = Text(j, "status");
        if (status == "verified" || status == "rejected") {
            settled.insert(name);
            outbox.Done(name);
            r.state = OnlineRaceState();
            if (status == "verified") {
                r.state->state = OnlineRaceState::State::Verified;
                r.state->rank = Integer(j, "rank");
                r.state->of = Integer(j, "of");
            } else {
                r.state->state = OnlineRaceState::State::Rejected;
                r.state->reason = Text(j, "reason", 200);
            }
            Deliver(r);
            FetchBoards();  // the new time may be the record, or a new rank
            return;
        }
        if (a.status == 404) {
            // The server has lost it: sent again at the next start.
            std::error_code ec;
            fs::remove(outbox.Folder() + "/" + name + ".id", ec);
            break;
        }
        if (status != "pending") lastError = a.reached ? Refusal(a) : a.error;
        if (std::chrono::steady_clock::now() >= until) break;
        if (!Sleep(stopping, kVerdictPollMs)) return;
    }
    if (!lastError.empty()) Say(config.server + ": " + lastError + "; the verdict is asked for at the next start");
    r.state = OnlineRaceState{OnlineRaceState::State::Queued, {}, {}, {}};
    Deliver(r);
}

void OnlineClient::FetchBoards() {
    const HttpAnswer a = Get("/api/v1/courses", kJsonBytes);
    const json j = a.reached && a.status == 200 ? json::parse(a.body, nullptr, false) : json();
    if (!j.is_object() || !j.contains("courses") || !j["courses"].is_array()) {
        if (a.reached) Say(config.server + ": the course list is not the server's (" + Refusal(a) + ")");
        return;
    }
    saidProblem = false;
    std::map<std::string, Board> fresh;
    for (const json& c : j["courses"]) {
        const std::string id = Text(c, "id"), hash = Text(c, "hash");
        if (id.empty() || !c.contains("records") || !c["records"].is_object()) continue;
        for (const char* d : {"easy", "normal", "hard"}) {
            const json& rec = c["records"].value(d, json());
            Board b;
            if (const auto ms = Integer(rec, "timeMs"); ms && *ms > 0) b.recordMs = static_cast<uint32_t>(*ms);
            b.recordPlayer = Text(rec, "player");
            b.recordRun = Integer(rec, "run").value_or(0);
            fresh[Key(id, hash, d)] = b;
        }
    }
    // The player's own ranks.
    if (!config.player.empty()) {
        const HttpAnswer p = Get("/api/v1/players/" + config.player, kJsonBytes);
        const json pj = p.reached && p.status == 200 ? json::parse(p.body, nullptr, false) : json();
        if (pj.is_object() && pj.contains("bests") && pj["bests"].is_array())
            for (const json& b : pj["bests"]) {
                if (!b.is_object() || !b.value("current", false)) continue;
                // The course's current version: its hash is the course list's.
                const std::string course = Text(b, "course"), difficulty = Text(b, "difficulty");
                for (auto& [key, board] : fresh) {
                    const size_t first = key.find(' '), last = key.rfind(' ');
                    if (first != std::string::npos && key.substr(0, first) == course &&
                        key.substr(last + 1) == difficulty)
                        board.rank = Integer(b, "rank");
                }
            }
    }
    json cache = {{"server", config.server}, {"boards", json::array()}};
    for (const auto& [key, b] : fresh) {
        json row = {{"key", key}, {"recordPlayer", b.recordPlayer}, {"recordRun", b.recordRun}};
        row["recordMs"] = b.recordMs ? json(*b.recordMs) : json(nullptr);
        row["rank"] = b.rank ? json(*b.rank) : json(nullptr);
        cache["boards"].push_back(row);
    }
    std::string error;
    if (!config.cachePath.empty() && !UserFiles::WriteAtomically(config.cachePath, cache.dump() + "\n", error))
        Say("the boards cannot be kept for offline use: " + error);
    Result r;
    r.boards = std::move(fresh);
    Deliver(r);
}

// The record's race file, raced again by the game's own simulation in the
// verifier (a process of its own: nothing of this game's state is touched)
// into the line its ghost rides. Both are kept for offline starts.
void OnlineClient::FetchGhost(const std::string& key, int64_t run) {
    const std::string base = config.ghostDir + "/run-" + std::to_string(run);
    auto deliver = [&](const std::string& text) {
        auto track = std::make_shared<GhostTrack>();
        if (!track->Parse(text)) return false;
        Result r;
        r.ghostKey = key;
        r.ghost = track;
        Deliver(r);
        return true;
    };
    if (const auto kept = UserFiles::ReadFile(base + ".ghost", 8u << 20); kept && deliver(*kept)) return;
    const HttpAnswer a = Get("/api/v1/runs/" + std::to_string(run) + "/file", RaceFile::kMaxBytes);
    if (!a.reached || a.status != 200) {
        Say("the world record's race cannot be fetched: " + (a.reached ? Refusal(a) : a.error));
        return;
    }
    RaceFile parsed;
    std::string error;
    if (!RaceFile::Parse(a.body, parsed, error)) {
        Say("the world record's race file is refused: " + error);
        return;
    }
    if (!UserFiles::WriteAtomically(base + ".race", a.body, error)) {
        Say("the world record's race cannot be kept: " + error);
        return;
    }
    const std::string out = base + ".ghost.tmp";
    std::vector<std::string> args = {config.verifier, "--data", config.gameData, "--ghost", out};
    if (!config.coursesDir.empty()) args.insert(args.end(), {"--courses", config.coursesDir});
    args.push_back(base + ".race");
    std::vector<char*> argv;
    for (std::string& s : args) argv.push_back(s.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, config.verifier.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        Say("cannot run " + config.verifier + " to race the world record again");
        return;
    }
    int status = 0;
    bool done = false;
    for (int waited = 0; waited < kVerifierSeconds * 1000 && !stopping; waited += 20) {
        if (waitpid(pid, &status, WNOHANG) == pid) {
            done = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (!done) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        if (!stopping) Say("the world record took too long to race again");
        return;
    }
    const auto text = UserFiles::ReadFile(out, 8u << 20);
    std::error_code ec;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || !text) {
        fs::remove(out, ec);
        Say("the world record's race is not the race it claims; no ghost for it");
        return;
    }
    fs::rename(out, base + ".ghost", ec);
    if (!deliver(*text)) Say("the world record's line cannot be read");
}

void OnlineClient::FetchCourses() {
    const HttpAnswer a = Get("/api/v1/courses", kJsonBytes);
    const json j = a.reached && a.status == 200 ? json::parse(a.body, nullptr, false) : json();
    Result r;
    if (!j.is_object() || !j.contains("courses") || !j["courses"].is_array()) {
        const std::string why = a.reached ? Refusal(a) : a.error;
        Say(config.server + ": no course list: " + why);
        r.coursesNote = "THE SERVER CANNOT BE REACHED";
        Deliver(r);
        return;
    }
    std::vector<SharedCourse> list;
    for (const json& c : j["courses"]) {
        if (!c.is_object() || !c.contains("folder")) continue;  // the game's own courses
        SharedCourse s{Text(c, "id", 32), Text(c, "name"), Text(c, "author", 24),
                       static_cast<int>(Integer(c, "laps").value_or(0))};
        if (s.id.empty() || s.id.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789-_") != std::string::npos)
            continue;
        list.push_back(s);
        if (list.size() >= 100) break;
    }
    r.coursesNote = list.empty() ? "NO SHARED COURSES YET" : "";
    r.courses = std::move(list);
    Deliver(r);
}

void OnlineClient::Install(const std::string& id) {
    Result r;
    const HttpAnswer a = Get("/api/v1/courses/" + id + "/folder", CourseArchive::kMaxPackedBytes);
    if (!a.reached || a.status != 200) {
        Say("course " + id + " cannot be downloaded: " + (a.reached ? Refusal(a) : a.error));
        r.coursesNote = "DOWNLOAD FAILED";
        Deliver(r);
        return;
    }
    std::string error;
    if (config.coursesDir.empty() || !CourseArchive::Install(a.body, config.coursesDir, id, error)) {
        Say("course " + id + " is not installed: " + (error.empty() ? "no data folder" : error));
        r.coursesNote = "NOT INSTALLED: A BAD ARCHIVE";
        Deliver(r);
        return;
    }
    r.installed = id;
    r.coursesNote = "INSTALLED " + id;
    Deliver(r);
}
