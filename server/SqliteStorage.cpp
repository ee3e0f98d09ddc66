#include "server/SqliteStorage.h"

#include <nlohmann/json.hpp>
#include <sqlite3.h>

#include <array>

namespace server {

const char* StatusName(RunStatus status) {
    switch (status) {
        case RunStatus::Pending: return "pending";
        case RunStatus::Verified: return "verified";
        case RunStatus::Rejected: return "rejected";
    }
    return "pending";
}

namespace {

// Each entry brings the schema from its index to the next version; entries
// are only ever appended, never edited once released.
const std::array<const char*, 3> kMigrations = {
    R"sql(
CREATE TABLE players (
  id INTEGER PRIMARY KEY,
  name TEXT NOT NULL,
  name_key TEXT NOT NULL UNIQUE,
  token_hash TEXT NOT NULL UNIQUE,
  created_at INTEGER NOT NULL
);
CREATE TABLE runs (
  id INTEGER PRIMARY KEY,
  player_id INTEGER NOT NULL REFERENCES players(id),
  file_hash TEXT NOT NULL UNIQUE,
  file BLOB NOT NULL,
  address TEXT NOT NULL,
  submitted_at INTEGER NOT NULL,
  status TEXT NOT NULL DEFAULT 'pending' CHECK (status IN ('pending', 'verified', 'rejected')),
  reason TEXT,
  course TEXT,
  course_hash TEXT,
  difficulty TEXT,
  time_ms INTEGER,
  laps_ms TEXT,
  states_hash TEXT,
  build TEXT,
  verified_at INTEGER
);
CREATE INDEX runs_status ON runs (status, id);
CREATE INDEX runs_player_time ON runs (player_id, submitted_at);
CREATE INDEX runs_address_time ON runs (address, submitted_at);
CREATE INDEX runs_board ON runs (course, course_hash, difficulty, status, time_ms, id);
-- The same race verified twice cannot reach a board, whatever a caller does.
CREATE UNIQUE INDEX runs_states ON runs (states_hash) WHERE status = 'verified';
)sql",
    // Courses players share; their folders live in the data folder's courses/.
    R"sql(
CREATE TABLE courses (
  id TEXT PRIMARY KEY,
  hash TEXT NOT NULL,
  player_id INTEGER NOT NULL REFERENCES players(id),
  created_at INTEGER NOT NULL
);
)sql",
    // Where players registered from, for the rate of new players per address.
    R"sql(
ALTER TABLE players ADD COLUMN address TEXT NOT NULL DEFAULT '';
CREATE INDEX players_address_time ON players (address, created_at);
)sql",
};

std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

class Statement {
public:
    Statement(sqlite3* db, const char* sql) : db_(db) {
        if (sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr) != SQLITE_OK)
            throw StorageError(std::string("prepare: ") + sqlite3_errmsg(db));
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    Statement& Bind(int i, int64_t v) {
        sqlite3_bind_int64(stmt_, i, v);
        return *this;
    }
    Statement& Bind(int i, const std::string& v) {
        sqlite3_bind_text(stmt_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Statement& BindBlob(int i, const std::string& v) {
        sqlite3_bind_blob(stmt_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Statement& Bind(const BoardKey& key) {
        return Bind(1, key.course).Bind(2, key.courseHash).Bind(3, key.difficulty);
    }
    // True while a row is there; SQLITE_CONSTRAINT comes back as a flag.
    bool Step(bool* constraint = nullptr) {
        const int rc = sqlite3_step(stmt_);
        if (rc == SQLITE_ROW) return true;
        if (rc == SQLITE_DONE) return false;
        if (constraint && (rc & 0xff) == SQLITE_CONSTRAINT) {
            *constraint = true;
            return false;
        }
        throw StorageError(std::string("step: ") + sqlite3_errmsg(db_));
    }
    int64_t Int(int i) const { return sqlite3_column_int64(stmt_, i); }
    std::string Text(int i) const {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_blob(stmt_, i));
        return p ? std::string(p, static_cast<size_t>(sqlite3_column_bytes(stmt_, i))) : std::string();
    }

private:
    sqlite3* db_;
    sqlite3_stmt* stmt_ = nullptr;
};

void Exec(sqlite3* db, const char* sql) {
    char* error = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &error) != SQLITE_OK) {
        std::string why = error ? error : "unknown error";
        sqlite3_free(error);
        throw StorageError(why);
    }
}

// A write transaction, rolled back unless committed.
class Transaction {
public:
    explicit Transaction(sqlite3* db) : db_(db) { Exec(db_, "BEGIN IMMEDIATE"); }
    ~Transaction() {
        if (!done_) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    void Commit() {
        Exec(db_, "COMMIT");
        done_ = true;
    }

private:
    sqlite3* db_;
    bool done_ = false;
};

std::vector<int64_t> Laps(const std::string& text) {
    std::vector<int64_t> laps;
    const auto j = nlohmann::json::parse(text, nullptr, false);
    if (j.is_array())
        for (const auto& v : j)
            if (v.is_number_integer()) laps.push_back(v.get<int64_t>());
    return laps;
}

RunStatus ParseStatus(const std::string& s) {
    if (s == "verified") return RunStatus::Verified;
    if (s == "rejected") return RunStatus::Rejected;
    return RunStatus::Pending;
}

// Each player's best verified run on a board (ties to the earlier run), ranked.
constexpr const char* kBestCte = R"sql(
WITH best AS (
  SELECT id, player_id, time_ms, laps_ms, submitted_at,
         ROW_NUMBER() OVER (PARTITION BY player_id ORDER BY time_ms, id) AS n
  FROM runs WHERE status = 'verified' AND course = ?1 AND course_hash = ?2 AND difficulty = ?3
), ranked AS (
  SELECT ROW_NUMBER() OVER (ORDER BY time_ms, id) AS rank, * FROM best WHERE n = 1
)
)sql";

}  // namespace

SqliteStorage::SqliteStorage(const std::string& path) {
    if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                        nullptr) != SQLITE_OK) {
        const std::string why = db_ ? sqlite3_errmsg(db_) : "out of memory";
        sqlite3_close(db_);
        db_ = nullptr;
        throw StorageError(path + ": " + why);
    }
    try {
        sqlite3_busy_timeout(db_, 5000);
        Exec(db_, "PRAGMA journal_mode = WAL");
        // A verdict or a new run is on disk before the reply says so.
        Exec(db_, "PRAGMA synchronous = FULL");
        Exec(db_, "PRAGMA foreign_keys = ON");
        Migrate();
    } catch (const StorageError& e) {
        sqlite3_close(db_);
        db_ = nullptr;
        throw StorageError(path + ": " + e.what());
    }
}

SqliteStorage::~SqliteStorage() { sqlite3_close(db_); }

int SqliteStorage::SchemaVersion() { return static_cast<int>(kMigrations.size()); }

void SqliteStorage::Migrate() {
    Exec(db_, "CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL)");
    Transaction t(db_);
    int64_t version = 0;
    {
        Statement s(db_, "SELECT version FROM schema_version");
        if (s.Step()) {
            version = s.Int(0);
        } else {
            Exec(db_, "INSERT INTO schema_version (version) VALUES (0)");
        }
    }
    if (version > SchemaVersion())
        throw StorageError("schema version " + std::to_string(version) + " is newer than this server's " +
                           std::to_string(SchemaVersion()));
    for (auto v = version; v < SchemaVersion(); ++v) Exec(db_, kMigrations[static_cast<size_t>(v)]);
    Statement(db_, "UPDATE schema_version SET version = ?1").Bind(1, SchemaVersion()).Step();
    t.Commit();
}

bool SqliteStorage::AddPlayer(const std::string& name, const std::string& tokenHash, const std::string& address,
                              int64_t now) {
    std::lock_guard lock(mutex_);
    Statement s(db_,
                "INSERT INTO players (name, name_key, token_hash, created_at, address) VALUES (?1, ?2, ?3, ?4, ?5)");
    bool constraint = false;
    s.Bind(1, name).Bind(2, Lower(name)).Bind(3, tokenHash).Bind(4, now).Bind(5, address).Step(&constraint);
    return !constraint;
}

Storage::Recent SqliteStorage::PlayersFromAddressSince(const std::string& address, int64_t since) {
    std::lock_guard lock(mutex_);
    Statement s(db_, "SELECT COUNT(*), MIN(created_at) FROM players WHERE address = ?1 AND created_at >= ?2");
    s.Bind(1, address).Bind(2, since).Step();
    return {s.Int(0), s.Int(1)};
}

std::optional<Player> SqliteStorage::PlayerByTokenHash(const std::string& tokenHash) {
    std::lock_guard lock(mutex_);
    Statement s(db_, "SELECT id, name, created_at FROM players WHERE token_hash = ?1");
    if (!s.Bind(1, tokenHash).Step()) return std::nullopt;
    return Player{s.Int(0), s.Text(1), s.Int(2)};
}

std::optional<Player> SqliteStorage::PlayerByName(const std::string& name) {
    std::lock_guard lock(mutex_);
    Statement s(db_, "SELECT id, name, created_at FROM players WHERE name_key = ?1");
    if (!s.Bind(1, Lower(name)).Step()) return std::nullopt;
    return Player{s.Int(0), s.Text(1), s.Int(2)};
}

std::optional<int64_t> SqliteStorage::RunByFileHash(const std::string& fileHash) {
    std::lock_guard lock(mutex_);
    Statement s(db_, "SELECT id FROM runs WHERE file_hash = ?1");
    if (!s.Bind(1, fileHash).Step()) return std::nullopt;
    return s.Int(0);
}

std::optional<int64_t> SqliteStorage::AddRun(int64_t playerId, const std::string& fileHash, const std::string& file,
                                             const std::string& address, int64_t now) {
    std::lock_guard lock(mutex_);
    Statement s(db_, "INSERT INTO runs (player_id, file_hash, file, address, submitted_at) VALUES (?1, ?2, ?3, ?4, ?5)");
    bool constraint = false;
    s.Bind(1, playerId).Bind(2, fileHash).BindBlob(3, file).Bind(4, address).Bind(5, now).Step(&constraint);
    if (constraint) return std::nullopt;
    return sqlite3_last_insert_rowid(db_);
}

Storage::Recent SqliteStorage::RunsByPlayerSince(int64_t playerId, int64_t since) {
    std::lock_guard lock(mutex_);
    Statement s(db_, "SELECT COUNT(*), MIN(submitted_at) FROM runs WHERE player_id = ?1 AND submitted_at >= ?2");
    s.Bind(1, playerId).Bind(2, since).Step();
    return {s.Int(0), s.Int(1)};
}

Storage::Recent SqliteStorage::RunsFromAddressSince(const std::string& address, int64_t since) {
    std::lock_guard lock(mutex_);
    Statement s(db_, "SELECT COUNT(*), MIN(submitted_at) FROM runs WHERE address = ?1 AND submitted_at >= ?2");
    s.Bind(1, address).Bind(2, since).Step();
    return {s.Int(0), s.Int(1)};
}

int64_t SqliteStorage::PendingCount() {
    std::lock_guard lock(mutex_);
    Statement s(db_, "SELECT COUNT(*) FROM runs WHERE status = 'pending'");
    s.Step();
    return s.Int(0);
}

std::vector<int64_t> SqliteStorage::PendingRuns() {
    std::lock_guard lock(mutex_);
    Statement s(db_, "SELECT id FROM runs WHERE status = 'pending' ORDER BY id");
    std::vector<int64_t> ids;
    while (s.Step()) ids.push_back(s.Int(0));
    return ids;
}

std::optional<Run> SqliteStorage::GetRun(int64_t id) {
    std::lock_guard lock(mutex_);
    Statement s(db_, R"sql(
SELECT r.id, r.player_id, p.name, r.status, IFNULL(r.reason, ''), IFNULL(r.course, ''), IFNULL(r.course_hash, ''),
       IFNULL(r.difficulty, ''), IFNULL(r.time_ms, 0), IFNULL(r.laps_ms, '[]'), r.submitted_at, IFNULL(r.verified_at, 0)
FROM runs r JOIN players p ON p.id = r.player_id WHERE r.id = ?1)sql");
    if (!s.Bind(1, id).Step()) return std::nullopt;
    Run run;
    run.id = s.Int(0);
    run.playerId = s.Int(1);
    run.player = s.Text(2);
    run.status = ParseStatus(s.Text(3));
    run.reason = s.Text(4);
    run.course = s.Text(5);
    run.courseHash = s.Text(6);
    run.difficulty = s.Text(7);
    run.timeMs = s.Int(8);
    run.lapsMs = Laps(s.Text(9));
    run.submittedAt = s.Int(10);
    run.verifiedAt = s.Int(11);
    return run;
}

std::optional<std::string> SqliteStorage::RunFile(int64_t id) {
    std::lock_guard lock(mutex_);
    Statement s(db_, "SELECT file FROM runs WHERE id = ?1");
    if (!s.Bind(1, id).Step()) return std::nullopt;
    return s.Text(0);
}

std::optional<RunStatus> SqliteStorage::RecordVerdict(int64_t id, const Verdict& v, int64_t now) {
    std::lock_guard lock(mutex_);
    Transaction t(db_);
    {
        Statement s(db_, "SELECT status FROM runs WHERE id = ?1");
        if (!s.Bind(1, id).Step() || s.Text(0) != "pending") return std::nullopt;
    }
    bool verified = v.verified;
    std::string reason = v.reason;
    if (verified) {
        Statement s(db_, "SELECT id FROM runs WHERE status = 'verified' AND states_hash = ?1");
        if (s.Bind(1, v.statesHash).Step()) {
            verified = false;
            reason = "the same race as run " + std::to_string(s.Int(0));
        }
    }
    nlohmann::json laps = v.lapsMs;
    Statement u(db_, R"sql(
UPDATE runs SET status = ?2, reason = ?3, course = ?4, course_hash = ?5, difficulty = ?6, time_ms = ?7,
                laps_ms = ?8, states_hash = ?9, build = ?10, verified_at = ?11
WHERE id = ?1 AND status = 'pending')sql");
    u.Bind(1, id).Bind(2, std::string(verified ? "verified" : "rejected")).Bind(3, reason);
    u.Bind(4, v.course).Bind(5, v.courseHash).Bind(6, v.difficulty).Bind(7, v.timeMs).Bind(8, laps.dump());
    u.Bind(9, v.statesHash).Bind(10, v.build).Bind(11, now);
    u.Step();
    t.Commit();
    return verified ? RunStatus::Verified : RunStatus::Rejected;
}

std::vector<BoardRow> SqliteStorage::Board(const BoardKey& key, int64_t offset, int64_t limit) {
    std::lock_guard lock(mutex_);
    const std::string sql = std::string(kBestCte) + R"sql(
SELECT k.rank, p.name, k.time_ms, k.laps_ms, k.submitted_at, k.id
FROM ranked k JOIN players p ON p.id = k.player_id ORDER BY k.rank LIMIT ?5 OFFSET ?4)sql";
    Statement s(db_, sql.c_str());
    s.Bind(key).Bind(4, offset).Bind(5, limit);
    std::vector<BoardRow> rows;
    while (s.Step()) rows.push_back({s.Int(0), s.Text(1), s.Int(2), Laps(s.Text(3)), s.Int(4), s.Int(5)});
    return rows;
}

std::optional<int64_t> SqliteStorage::PlayerRank(const BoardKey& key, int64_t playerId) {
    std::lock_guard lock(mutex_);
    const std::string sql = std::string(kBestCte) + "SELECT rank FROM ranked WHERE player_id = ?4";
    Statement s(db_, sql.c_str());
    if (!s.Bind(key).Bind(4, playerId).Step()) return std::nullopt;
    return s.Int(0);
}

int64_t SqliteStorage::RankOfTime(const BoardKey& key, int64_t playerId, int64_t timeMs, int64_t runId) {
    std::lock_guard lock(mutex_);
    const std::string sql = std::string(kBestCte) +
                            "SELECT COUNT(*) FROM ranked WHERE player_id != ?4 AND (time_ms < ?5 OR "
                            "(time_ms = ?5 AND id < ?6))";
    Statement s(db_, sql.c_str());
    s.Bind(key).Bind(4, playerId).Bind(5, timeMs).Bind(6, runId).Step();
    return s.Int(0) + 1;
}

int64_t SqliteStorage::BoardSize(const BoardKey& key) {
    std::lock_guard lock(mutex_);
    const std::string sql = std::string(kBestCte) + "SELECT COUNT(*) FROM ranked";
    Statement s(db_, sql.c_str());
    s.Bind(key).Step();
    return s.Int(0);
}

std::vector<Storage::Best> SqliteStorage::PlayerBests(int64_t playerId) {
    std::lock_guard lock(mutex_);
    std::vector<Best> bests;
    {
        Statement s(db_, R"sql(
SELECT course, course_hash, difficulty, id, time_ms, laps_ms, submitted_at FROM (
  SELECT *, ROW_NUMBER() OVER (PARTITION BY course, course_hash, difficulty ORDER BY time_ms, id) AS n
  FROM runs WHERE status = 'verified' AND player_id = ?1)
WHERE n = 1 ORDER BY course, difficulty)sql");
        s.Bind(1, playerId);
        while (s.Step()) {
            Best b;
            b.key = {s.Text(0), s.Text(1), s.Text(2)};
            b.row = {0, "", s.Int(4), Laps(s.Text(5)), s.Int(6), s.Int(3)};
            bests.push_back(std::move(b));
        }
    }
    return bests;
}

bool SqliteStorage::AddCourse(const std::string& id, const std::string& hash, int64_t playerId, int64_t now) {
    std::lock_guard lock(mutex_);
    Statement s(db_, "INSERT INTO courses (id, hash, player_id, created_at) VALUES (?1, ?2, ?3, ?4)");
    bool constraint = false;
    s.Bind(1, id).Bind(2, hash).Bind(3, playerId).Bind(4, now).Step(&constraint);
    return !constraint;
}

Storage::Recent SqliteStorage::CoursesByPlayerSince(int64_t playerId, int64_t since) {
    std::lock_guard lock(mutex_);
    Statement s(db_, "SELECT COUNT(*), MIN(created_at) FROM courses WHERE player_id = ?1 AND created_at >= ?2");
    s.Bind(1, playerId).Bind(2, since).Step();
    return {s.Int(0), s.Int(1)};
}

std::optional<std::string> SqliteStorage::CourseAuthor(const std::string& id) {
    std::lock_guard lock(mutex_);
    Statement s(db_, "SELECT p.name FROM courses c JOIN players p ON p.id = c.player_id WHERE c.id = ?1");
    if (!s.Bind(1, id).Step()) return std::nullopt;
    return s.Text(0);
}

}  // namespace server
