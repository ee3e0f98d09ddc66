#pragma once
// The storage on SQLite: one file in the data folder, write-ahead logged,
// foreign keys on, its schema brought up to date by numbered migrations.

#include "server/Storage.h"

#include <mutex>
#include <stdexcept>

struct sqlite3;

namespace server {

class StorageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class SqliteStorage final : public Storage {
public:
    // Opens (making it when missing) the database at path; throws StorageError.
    explicit SqliteStorage(const std::string& path);
    ~SqliteStorage() override;
    SqliteStorage(const SqliteStorage&) = delete;
    SqliteStorage& operator=(const SqliteStorage&) = delete;

    static int SchemaVersion();

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
    std::optional<RunStatus> RecordVerdict(int64_t id, const Verdict& verdict, int64_t now) override;
    std::vector<BoardRow> Board(const BoardKey& key, int64_t offset, int64_t limit) override;
    std::optional<int64_t> PlayerRank(const BoardKey& key, int64_t playerId) override;
    int64_t RankOfTime(const BoardKey& key, int64_t playerId, int64_t timeMs, int64_t runId) override;
    int64_t BoardSize(const BoardKey& key) override;
    std::vector<Best> PlayerBests(int64_t playerId) override;
    bool AddCourse(const std::string& id, const std::string& hash, int64_t playerId, int64_t now) override;
    Recent CoursesByPlayerSince(int64_t playerId, int64_t since) override;
    std::optional<std::string> CourseAuthor(const std::string& id) override;

private:
    void Migrate();

    // One connection, one caller at a time: SQLite serialises writers anyway,
    // and the server's queries are small.
    std::mutex mutex_;
    sqlite3* db_ = nullptr;
};

}  // namespace server
