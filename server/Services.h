#pragma once
// What the server does, apart from how it is asked: players, runs, boards
// and courses over the storage. The HTTP routes and the pages only call these.

#include "server/Requests.h"
#include "server/Sandbox.h"
#include "server/Storage.h"

#include <nlohmann/json.hpp>

#include <functional>
#include <mutex>
#include <shared_mutex>
#include <stdexcept>
#include <string>
#include <vector>

namespace server {

// A refusal the client is told about: its HTTP status and one line.
struct ApiError : std::runtime_error {
    ApiError(int status, const std::string& why, int retryAfter = 0)
        : std::runtime_error(why), status(status), retryAfter(retryAfter) {}
    int status;
    int retryAfter;  // seconds, sent as Retry-After when positive
};

using Clock = std::function<int64_t()>;  // unix seconds
int64_t SystemClock();

struct CourseInfo {
    std::string id, name;
    int laps = 3;
    std::string hash;
    std::string map;     // the map picture's path, or empty
    bool shared = false; // made from a player's description
    std::string folder;  // a shared course's folder
};

// The courses races are verified on: the game's own, then the shared ones.
// Thread-safe: shared courses are added while the server runs.
class CourseService {
public:
    // Reads the game's built-in courses from its Data folder and the shared
    // ones from sharedRoot (may be empty); refusals are the lines of courses left out.
    CourseService(const std::string& gameData, const std::string& sharedRoot, std::vector<std::string>& refusals);
    std::vector<CourseInfo> All() const;
    std::optional<CourseInfo> Find(const std::string& id) const;
    void Add(CourseInfo course);

private:
    mutable std::shared_mutex mutex_;
    std::vector<CourseInfo> courses_;
};

struct RegisteredPlayer {
    std::string name, token;
};

class PlayerService {
public:
    // perAddressHour: the players an address may register an hour.
    PlayerService(Storage& storage, int perAddressHour, Clock clock)
        : storage_(storage), perAddressHour_(perAddressHour), clock_(std::move(clock)) {}
    RegisteredPlayer Register(const std::string& body, const std::string& address);
    // The player an Authorization header's token belongs to; 401 otherwise.
    Player Authenticate(const std::string& authorization);
    std::optional<Player> Find(const std::string& name) { return storage_.PlayerByName(name); }

private:
    Storage& storage_;
    int perAddressHour_;
    Clock clock_;
};

struct RunLimits {
    int perPlayerHour = 30;
    int perAddressHour = 30;
    int queueBound = 1000;
};

class BoardService;

class RunService {
public:
    RunService(Storage& storage, const CourseService& courses, RunLimits limits, Clock clock)
        : storage_(storage), courses_(courses), limits_(limits), clock_(std::move(clock)) {}
    // Checks and stores a submitted race file; returns its run's id.
    int64_t Submit(const Player& player, const std::string& body, const std::string& address);
    // The run as the API shows it; 404 when there is none.
    nlohmann::json Describe(int64_t id);
    std::optional<Run> Get(int64_t id) { return storage_.GetRun(id); }
    std::string File(int64_t id);
    // What the verifier's run means for the run: the verdict to store.
    Verdict Judge(const SandboxResult& result) const;
    // Verifies one pending run through the sandbox and stores its verdict;
    // false when the sandbox could not be run (the run stays pending).
    bool Verify(int64_t id, const Sandbox& sandbox, const std::atomic<bool>& stopping);

private:
    Storage& storage_;
    const CourseService& courses_;
    RunLimits limits_;
    Clock clock_;
};

constexpr size_t kMaxDescriptionBytes = 8 * 1024;

// Courses players share: a description made into a course folder by the
// course maker, in the sandbox, then kept in the data folder's courses/.
class CourseUploadService {
public:
    // perPlayerDay: the courses a player may share a day (each is a folder of a few MiB on disk).
    CourseUploadService(Storage& storage, CourseService& courses, const Sandbox& sandbox, std::string sharedRoot,
                        int perPlayerDay, Clock clock)
        : storage_(storage), courses_(courses), sandbox_(sandbox), sharedRoot_(std::move(sharedRoot)),
          perPlayerDay_(perPlayerDay), clock_(std::move(clock)) {}
    // The course made and listed; refusals as ApiError.
    CourseInfo Upload(const Player& player, const std::string& description);
    // A shared course's folder as a .tar.gz.
    std::string Folder(const std::string& id);

private:
    // The course made in scratch/id races: ten autopilot races in the
    // sandbox (vorlan-moto-course --check); else 400 with the check's line.
    void CheckRaceable(const std::string& scratch, const std::string& id) const;

    Storage& storage_;
    CourseService& courses_;
    const Sandbox& sandbox_;
    std::string sharedRoot_;
    int perPlayerDay_;
    Clock clock_;
    std::mutex mutex_;  // one course made at a time
};

class BoardService {
public:
    BoardService(Storage& storage, const CourseService& courses) : storage_(storage), courses_(courses) {}
    // GET /api/v1/boards/COURSE's answer.
    nlohmann::json Board(const std::string& course, const BoardQuery& query);
    std::vector<BoardRow> Rows(const CourseInfo& course, const std::string& difficulty, int limit);
    // The best row of each difficulty, or null.
    nlohmann::json Records(const CourseInfo& course);
    nlohmann::json Courses();
    // Who shared a course, if a player did.
    std::optional<std::string> Author(const std::string& course) { return storage_.CourseAuthor(course); }
    // Every board the player is on, with their rank there.
    nlohmann::json PlayerBests(const Player& player);

private:
    Storage& storage_;
    const CourseService& courses_;
};

extern const char* const kDifficulties[3];
nlohmann::json RowJson(const BoardRow& row);

}  // namespace server
