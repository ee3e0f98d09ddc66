#include "server/SqliteStorage.h"

#include <sqlite3.h>

#include <mutex>

namespace server {

namespace {

// Each entry brings the schema from its index to the next version; entries
// are only ever appended, never edited once released.
const std::vector<const char*> kMigrations = {
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
    // Checks claimed with a lease, and the description each shared course
    // was made from, so that any server can make it again.
    R"sql(
ALTER TABLE runs ADD COLUMN claimed_by TEXT;
ALTER TABLE runs ADD COLUMN lease_until INTEGER;
ALTER TABLE runs ADD COLUMN claims INTEGER NOT NULL DEFAULT 0;
ALTER TABLE courses ADD COLUMN description TEXT NOT NULL DEFAULT '';
)sql",
};

void Exec(sqlite3* db, const char* sql) {
    char* error = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &error) != SQLITE_OK) {
        std::string why = error ? error : "unknown error";
        sqlite3_free(error);
        throw StorageError(why);
    }
}

// One connection, one caller at a time: SQLite serialises writers anyway,
// and the server's queries are small.
class SqliteDatabase final : public SqlDatabase {
public:
    explicit SqliteDatabase(const std::string& path) {
        if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                            nullptr) != SQLITE_OK) {
            const std::string why = db_ ? sqlite3_errmsg(db_) : "out of memory";
            sqlite3_close(db_);
            throw StorageError(path + ": " + why);
        }
        try {
            sqlite3_busy_timeout(db_, 5000);
            Exec(db_, "PRAGMA journal_mode = WAL");
            // A verdict or a new run is on disk before the reply says so.
            Exec(db_, "PRAGMA synchronous = FULL");
            Exec(db_, "PRAGMA foreign_keys = ON");
        } catch (const StorageError& e) {
            sqlite3_close(db_);
            throw StorageError(path + ": " + e.what());
        }
    }
    ~SqliteDatabase() override { sqlite3_close(db_); }
    SqliteDatabase(const SqliteDatabase&) = delete;
    SqliteDatabase& operator=(const SqliteDatabase&) = delete;

    std::unique_ptr<SqlSession> Session() override;
    SqlDialect Dialect() const override { return SqlDialect::Sqlite; }

private:
    friend class SqliteSession;
    std::mutex mutex_;
    sqlite3* db_ = nullptr;
};

class SqliteSession final : public SqlSession {
public:
    explicit SqliteSession(SqliteDatabase& db) : lock_(db.mutex_), db_(db.db_) {}

    SqlRows Query(const std::string& sql, const std::vector<SqlValue>& params, bool* constraint) override {
        // $N is PostgreSQL's numbered parameter; SQLite's is ?N.
        std::string text = sql;
        for (char& c : text)
            if (c == '$') c = '?';
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db_, text.c_str(), -1, &stmt, nullptr) != SQLITE_OK)
            throw StorageError(std::string("prepare: ") + sqlite3_errmsg(db_));
        struct Finalize {
            sqlite3_stmt* s;
            ~Finalize() { sqlite3_finalize(s); }
        } finalize{stmt};
        for (size_t i = 0; i < params.size(); ++i) {
            const int at = static_cast<int>(i + 1);
            if (const auto* n = std::get_if<int64_t>(&params[i])) {
                sqlite3_bind_int64(stmt, at, *n);
            } else if (const auto* s = std::get_if<std::string>(&params[i])) {
                sqlite3_bind_text(stmt, at, s->data(), static_cast<int>(s->size()), SQLITE_TRANSIENT);
            } else {
                const std::string& b = std::get<SqlBlob>(params[i]).bytes;
                sqlite3_bind_blob(stmt, at, b.data(), static_cast<int>(b.size()), SQLITE_TRANSIENT);
            }
        }
        SqlRows rows;
        while (true) {
            const int rc = sqlite3_step(stmt);
            if (rc == SQLITE_DONE) break;
            if (rc == SQLITE_ROW) {
                SqlRow row;
                const int n = sqlite3_column_count(stmt);
                for (int i = 0; i < n; ++i) {
                    const auto* p = static_cast<const char*>(sqlite3_column_blob(stmt, i));
                    row.cells.emplace_back(p ? std::string(p, static_cast<size_t>(sqlite3_column_bytes(stmt, i)))
                                             : std::string());
                }
                rows.push_back(std::move(row));
                continue;
            }
            if (constraint && (rc & 0xff) == SQLITE_CONSTRAINT) {
                *constraint = true;
                return {};
            }
            throw StorageError(std::string("step: ") + sqlite3_errmsg(db_));
        }
        return rows;
    }

    void Script(const std::string& sql) override { Exec(db_, sql.c_str()); }

private:
    std::unique_lock<std::mutex> lock_;
    sqlite3* db_;
};

std::unique_ptr<SqlSession> SqliteDatabase::Session() { return std::make_unique<SqliteSession>(*this); }

}  // namespace

SqliteStorage::SqliteStorage(const std::string& path) try : SqlStorage(std::make_unique<SqliteDatabase>(path), kMigrations) {
} catch (const StorageError& e) {
    const std::string what = e.what();
    if (what.rfind(path + ":", 0) == 0) throw;
    throw StorageError(path + ": " + what);
}

int SqliteStorage::SchemaVersion() { return static_cast<int>(kMigrations.size()); }

}  // namespace server
