#pragma once
// What the services ask of the database, and nothing more: plain values in
// and out, no SQLite types, so another database can stand behind the same
// calls. Every call is safe from several threads at once.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace server {

struct Player {
    int64_t id = 0;
    std::string name;
    int64_t createdAt = 0;  // unix seconds
};

enum class RunStatus { Pending, Verified, Rejected };

// What a run is once the verifier has spoken and the server has judged it.
struct Verdict {
    bool verified = false;
    std::string reason;  // when rejected
    std::string course, courseHash, difficulty;
    int64_t timeMs = 0;
    std::vector<int64_t> lapsMs;
    std::string statesHash;
    std::string build;
};

struct Run {
    int64_t id = 0;
    int64_t playerId = 0;
    std::string player;
    RunStatus status = RunStatus::Pending;
    std::string reason;
    std::string course, courseHash, difficulty;
    int64_t timeMs = 0;
    std::vector<int64_t> lapsMs;
    int64_t submittedAt = 0, verifiedAt = 0;
};

struct BoardKey {
    std::string course, courseHash, difficulty;
};

struct BoardRow {
    int64_t rank = 0;
    std::string player;
    int64_t timeMs = 0;
    std::vector<int64_t> lapsMs;
    int64_t date = 0;  // when the run was submitted, unix seconds
    int64_t run = 0;
};

class Storage {
public:
    virtual ~Storage() = default;

    // False when the name (ignoring case) is taken.
    virtual bool AddPlayer(const std::string& name, const std::string& tokenHash, const std::string& address,
                           int64_t now) = 0;
    virtual std::optional<Player> PlayerByTokenHash(const std::string& tokenHash) = 0;
    virtual std::optional<Player> PlayerByName(const std::string& name) = 0;

    // The run already holding a file of this SHA-256, if any.
    virtual std::optional<int64_t> RunByFileHash(const std::string& fileHash) = 0;
    // Stores a pending run; nullopt when a run with the same file hash won the race to it.
    virtual std::optional<int64_t> AddRun(int64_t playerId, const std::string& fileHash, const std::string& file,
                                          const std::string& address, int64_t now) = 0;
    // Runs submitted at or after since, by the player and from the address;
    // oldest is the earliest of them (for Retry-After).
    struct Recent {
        int64_t count = 0;
        int64_t oldest = 0;
    };
    virtual Recent RunsByPlayerSince(int64_t playerId, int64_t since) = 0;
    virtual Recent PlayersFromAddressSince(const std::string& address, int64_t since) = 0;
    virtual Recent RunsFromAddressSince(const std::string& address, int64_t since) = 0;

    virtual int64_t PendingCount() = 0;
    // Pending run ids, oldest first (the queue refills from this on start).
    virtual std::vector<int64_t> PendingRuns() = 0;
    virtual std::optional<Run> GetRun(int64_t id) = 0;
    virtual std::optional<std::string> RunFile(int64_t id) = 0;

    // Claims the oldest pending run that no worker holds, or whose holder's
    // lease has run out, for leaseSeconds; several servers may ask at once
    // and each run goes to one of them.
    virtual std::optional<int64_t> ClaimRun(const std::string& worker, int64_t now, int64_t leaseSeconds) = 0;
    // Gives a claimed run back to be claimed again from retryAt (now: its
    // worker is stopping; later: the sandbox failed and may again).
    virtual void ReleaseRun(int64_t id, const std::string& worker, int64_t retryAt) = 0;
    // The workers holding pending runs with leases not yet out; and every
    // run a worker holds given back (it is known to be dead).
    virtual std::vector<std::string> Claimants(int64_t now) = 0;
    virtual void ReleaseClaims(const std::string& worker) = 0;

    // Writes the verdict of a pending run in one transaction with its
    // place on the boards: a verified run whose states hash an earlier
    // verified run already has is stored rejected, naming that run. Returns
    // the status stored; nullopt when the run was not pending (already judged).
    virtual std::optional<RunStatus> RecordVerdict(int64_t id, const Verdict& verdict, int64_t now) = 0;

    // Players' best times, best first; ties go to the earlier run.
    virtual std::vector<BoardRow> Board(const BoardKey& key, int64_t offset, int64_t limit) = 0;
    // The player's row's place on the board (from 1), if they have one.
    virtual std::optional<int64_t> PlayerRank(const BoardKey& key, int64_t playerId) = 0;
    // Where a verified time stands among the other players' bests (from 1).
    virtual int64_t RankOfTime(const BoardKey& key, int64_t playerId, int64_t timeMs, int64_t runId) = 0;
    virtual int64_t BoardSize(const BoardKey& key) = 0;
    // The player's best verified run on every board they are on.
    struct Best {
        BoardKey key;
        BoardRow row;
    };
    virtual std::vector<Best> PlayerBests(int64_t playerId) = 0;

    // A course a player shared; false when the id is taken.
    // The description is kept so that every server can make the course again.
    virtual bool AddCourse(const std::string& id, const std::string& hash, int64_t playerId, int64_t now,
                           const std::string& description = "") = 0;
    struct SharedCourse {
        std::string id, hash, description;
    };
    virtual std::vector<SharedCourse> SharedCourses() = 0;
    virtual int64_t SharedCourseCount() = 0;
    virtual Recent CoursesByPlayerSince(int64_t playerId, int64_t since) = 0;
    // Who shared the course, if a player did.
    virtual std::optional<std::string> CourseAuthor(const std::string& id) = 0;
};

const char* StatusName(RunStatus status);

}  // namespace server
