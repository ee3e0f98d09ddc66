#pragma once
// The storage's one set of queries, over SQLite or PostgreSQL alike: the
// schema is brought up to date by numbered migrations (one list per
// database, the same tables), and every call is a statement or a short
// transaction on a session of its own.

#include "server/SqlDatabase.h"
#include "server/Storage.h"

#include <memory>
#include <vector>

namespace server {

class SqlStorage : public Storage {
public:
    // Migrates the schema up to migrations.size(); throws StorageError,
    // also when the database's schema is newer than this server's.
    SqlStorage(std::unique_ptr<SqlDatabase> db, const std::vector<const char*>& migrations);

    // The version the database is at now.
    int64_t DatabaseVersion();
    SqlDatabase& Database() { return *db_; }

    bool AddPlayer(const std::string& name, const std::string& tokenHash, const std::string& address,
                   int64_t now) override;
    Recent PlayersFromAddressSince(const std::string& address, int64_t since) override;
    std::optional<Player> PlayerByTokenHash(const std::string& tokenHash) override;
    std::optional<Player> PlayerByName(const std::string& name) override;
    std::optional<int64_t> RunByFileHash(const std::string& fileHash) override;
    std::optional<int64_t> AddRun(int64_t playerId, const std::string& fileHash, const std::string& file,
                                  const std::string& address, int64_t now) override;
    Recent RunsByPlayerSince(int64_t playerId, int64_t since) override;
    Recent RunsFromAddressSince(const std::string& address, int64_t since) override;
    int64_t PendingCount() override;
    std::vector<int64_t> PendingRuns() override;
    std::optional<Run> GetRun(int64_t id) override;
    std::optional<std::string> RunFile(int64_t id) override;
    std::optional<int64_t> ClaimRun(const std::string& worker, int64_t now, int64_t leaseSeconds) override;
    void ReleaseRun(int64_t id, const std::string& worker, int64_t retryAt) override;
    std::vector<std::string> Claimants(int64_t now) override;
    void ReleaseClaims(const std::string& worker) override;
    std::optional<RunStatus> RecordVerdict(int64_t id, const Verdict& verdict, int64_t now) override;
    std::vector<BoardRow> Board(const BoardKey& key, int64_t offset, int64_t limit) override;
    std::optional<int64_t> PlayerRank(const BoardKey& key, int64_t playerId) override;
    int64_t RankOfTime(const BoardKey& key, int64_t playerId, int64_t timeMs, int64_t runId) override;
    int64_t BoardSize(const BoardKey& key) override;
    std::vector<Best> PlayerBests(int64_t playerId) override;
    bool AddCourse(const std::string& id, const std::string& hash, int64_t playerId, int64_t now,
                   const std::string& description = "") override;
    std::vector<SharedCourse> SharedCourses() override;
    int64_t SharedCourseCount() override;
    Recent CoursesByPlayerSince(int64_t playerId, int64_t since) override;
    std::optional<std::string> CourseAuthor(const std::string& id) override;

private:
    void Migrate(const std::vector<const char*>& migrations);
    SqlRows Query(const std::string& sql, const std::vector<SqlValue>& params = {}, bool* constraint = nullptr);
    Recent CountSince(const std::string& sql, const std::vector<SqlValue>& params);

    std::unique_ptr<SqlDatabase> db_;
};

// The storage a --database URL names: sqlite:PATH or postgresql://...
// (connections: PostgreSQL's pool size). Throws StorageError.
std::unique_ptr<SqlStorage> OpenStorage(const std::string& url, int connections);

}  // namespace server
