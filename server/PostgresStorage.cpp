#include "server/PostgresStorage.h"

#include <libpq-fe.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace server {

namespace {

// The same tables, one for one, as SQLite's migrations make (PostgreSQL's types).
const std::vector<const char*> kMigrations = {
    R"sql(
CREATE TABLE players (
  id BIGSERIAL PRIMARY KEY,
  name TEXT NOT NULL,
  name_key TEXT NOT NULL UNIQUE,
  token_hash TEXT NOT NULL UNIQUE,
  created_at BIGINT NOT NULL
);
CREATE TABLE runs (
  id BIGSERIAL PRIMARY KEY,
  player_id BIGINT NOT NULL REFERENCES players(id),
  file_hash TEXT NOT NULL UNIQUE,
  file BYTEA NOT NULL,
  address TEXT NOT NULL,
  submitted_at BIGINT NOT NULL,
  status TEXT NOT NULL DEFAULT 'pending' CHECK (status IN ('pending', 'verified', 'rejected')),
  reason TEXT,
  course TEXT,
  course_hash TEXT,
  difficulty TEXT,
  time_ms BIGINT,
  laps_ms TEXT,
  states_hash TEXT,
  build TEXT,
  verified_at BIGINT
);
CREATE INDEX runs_status ON runs (status, id);
CREATE INDEX runs_player_time ON runs (player_id, submitted_at);
CREATE INDEX runs_address_time ON runs (address, submitted_at);
CREATE INDEX runs_board ON runs (course, course_hash, difficulty, status, time_ms, id);
CREATE UNIQUE INDEX runs_states ON runs (states_hash) WHERE status = 'verified';
)sql",
    R"sql(
CREATE TABLE courses (
  id TEXT PRIMARY KEY,
  hash TEXT NOT NULL,
  player_id BIGINT NOT NULL REFERENCES players(id),
  created_at BIGINT NOT NULL
);
)sql",
    R"sql(
ALTER TABLE players ADD COLUMN address TEXT NOT NULL DEFAULT '';
CREATE INDEX players_address_time ON players (address, created_at);
)sql",
    R"sql(
ALTER TABLE runs ADD COLUMN claimed_by TEXT;
ALTER TABLE runs ADD COLUMN lease_until BIGINT;
ALTER TABLE runs ADD COLUMN claims INTEGER NOT NULL DEFAULT 0;
ALTER TABLE courses ADD COLUMN description TEXT NOT NULL DEFAULT '';
)sql",
};

constexpr unsigned kByteaOid = 17;

std::string Trimmed(const char* message) {
    std::string s = message ? message : "";
    while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
    const size_t nl = s.find('\n');
    return nl == std::string::npos ? s : s.substr(0, nl);
}

int Hex(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return 0;
}

// bytea in text form: \x and two hex digits a byte.
std::string Unhex(const char* p, size_t n) {
    std::string out;
    if (n < 2 || p[0] != '\\' || p[1] != 'x') return std::string(p, n);
    out.reserve((n - 2) / 2);
    for (size_t i = 2; i + 1 < n; i += 2) out.push_back(static_cast<char>(Hex(p[i]) * 16 + Hex(p[i + 1])));
    return out;
}

class PostgresDatabase final : public SqlDatabase {
public:
    PostgresDatabase(std::string url, int connections) : url_(std::move(url)), max_(connections) {
        // Fails now, with libpq's reason, when the URL or the database is wrong.
        Give(Take());
    }
    ~PostgresDatabase() override {
        for (PGconn* c : idle_) PQfinish(c);
    }
    PostgresDatabase(const PostgresDatabase&) = delete;
    PostgresDatabase& operator=(const PostgresDatabase&) = delete;

    std::unique_ptr<SqlSession> Session() override;
    SqlDialect Dialect() const override { return SqlDialect::Postgres; }

    // A connection of the pool, made when there is none to spare.
    PGconn* Take() {
        {
            std::unique_lock lock(mutex_);
            if (!free_.wait_for(lock, std::chrono::seconds(10), [&] { return !idle_.empty() || open_ < max_; }))
                throw StorageUnavailable("database: every connection is busy");
            if (!idle_.empty()) {
                PGconn* c = idle_.back();
                idle_.pop_back();
                return c;
            }
            ++open_;
        }
        return Connect();
    }
    PGconn* Connect() {
        const char* keys[] = {"connect_timeout", "fallback_application_name", "dbname", nullptr};
        const char* values[] = {"5", "vorlan-moto-server", url_.c_str(), nullptr};
        PGconn* c = PQconnectdbParams(keys, values, 1);
        if (!c || PQstatus(c) != CONNECTION_OK) {
            const std::string why = c ? Trimmed(PQerrorMessage(c)) : "out of memory";
            PQfinish(c);
            Forget();
            throw StorageUnavailable("database: " + why);
        }
        PQsetNoticeProcessor(c, [](void*, const char*) {}, nullptr);
        return c;
    }
    // Back to the pool, or closed when it is broken (a new one is made next time).
    void Give(PGconn* c) {
        if (PQstatus(c) != CONNECTION_OK || PQtransactionStatus(c) != PQTRANS_IDLE) {
            PQfinish(c);
            Forget();
            return;
        }
        {
            std::lock_guard lock(mutex_);
            idle_.push_back(c);
        }
        free_.notify_one();
    }
    void Forget() {
        {
            std::lock_guard lock(mutex_);
            --open_;
        }
        free_.notify_one();
    }

private:
    std::string url_;
    int max_;
    std::mutex mutex_;
    std::condition_variable free_;
    std::vector<PGconn*> idle_;
    int open_ = 0;
};

class PostgresSession final : public SqlSession {
public:
    explicit PostgresSession(PostgresDatabase& db) : db_(db), conn_(db.Take()) {}
    ~PostgresSession() override { db_.Give(conn_); }
    PostgresSession(const PostgresSession&) = delete;
    PostgresSession& operator=(const PostgresSession&) = delete;

    SqlRows Query(const std::string& sql, const std::vector<SqlValue>& params, bool* constraint) override {
        std::vector<std::string> text(params.size());
        std::vector<const char*> values(params.size());
        std::vector<int> lengths(params.size()), formats(params.size());
        for (size_t i = 0; i < params.size(); ++i) {
            if (const auto* n = std::get_if<int64_t>(&params[i])) {
                text[i] = std::to_string(*n);
            } else if (const auto* s = std::get_if<std::string>(&params[i])) {
                text[i] = *s;
            } else {
                text[i] = std::get<SqlBlob>(params[i]).bytes;
                formats[i] = 1;  // sent as it is, not as text
            }
            values[i] = text[i].data();
            lengths[i] = static_cast<int>(text[i].size());
        }
        PGresult* res = Run([&] {
            return PQexecParams(conn_, sql.c_str(), static_cast<int>(params.size()), nullptr, values.data(),
                                lengths.data(), formats.data(), 0);
        });
        struct Clear {
            PGresult* r;
            ~Clear() { PQclear(r); }
        } clear{res};
        const auto status = PQresultStatus(res);
        if (status == PGRES_COMMAND_OK) return {};
        if (status != PGRES_TUPLES_OK) {
            const char* state = PQresultErrorField(res, PG_DIAG_SQLSTATE);
            // Class 23: a unique, foreign key or check constraint.
            if (constraint && state && state[0] == '2' && state[1] == '3') {
                *constraint = true;
                return {};
            }
            Fail(res);
        }
        SqlRows rows;
        const int n = PQntuples(res), columns = PQnfields(res);
        rows.reserve(static_cast<size_t>(n));
        for (int r = 0; r < n; ++r) {
            SqlRow row;
            for (int c = 0; c < columns; ++c) {
                const char* p = PQgetvalue(res, r, c);
                const auto len = static_cast<size_t>(PQgetlength(res, r, c));
                row.cells.push_back(PQftype(res, c) == kByteaOid ? Unhex(p, len) : std::string(p, len));
            }
            rows.push_back(std::move(row));
        }
        return rows;
    }

    void Script(const std::string& sql) override {
        PGresult* res = Run([&] { return PQexec(conn_, sql.c_str()); });
        const auto status = PQresultStatus(res);
        if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
            try {
                Fail(res);
            } catch (...) {
                PQclear(res);
                throw;
            }
        }
        PQclear(res);
    }

private:
    // A connection found dead on a session's first statement (the database
    // restarted since it was last used) is made again and the statement
    // sent once more: nothing of it can have reached the database.
    template <typename F>
    PGresult* Run(F&& send) {
        PGresult* res = send();
        if (first_ && PQstatus(conn_) == CONNECTION_BAD) {
            PQclear(res);
            PQreset(conn_);
            if (PQstatus(conn_) != CONNECTION_OK)
                throw StorageUnavailable("database: " + Trimmed(PQerrorMessage(conn_)));
            res = send();
        }
        first_ = false;
        if (!res) throw StorageUnavailable("database: " + Trimmed(PQerrorMessage(conn_)));
        return res;
    }
    [[noreturn]] void Fail(PGresult* res) {
        const char* state = PQresultErrorField(res, PG_DIAG_SQLSTATE);
        const std::string why = "database: " + Trimmed(PQresultErrorMessage(res));
        // Class 08: the connection; 57P: the server shutting down or starting.
        const bool gone = PQstatus(conn_) == CONNECTION_BAD ||
                          (state && ((state[0] == '0' && state[1] == '8') ||
                                     (state[0] == '5' && state[1] == '7' && state[2] == 'P')));
        if (gone) throw StorageUnavailable(why);
        throw StorageError(why);
    }

    PostgresDatabase& db_;
    PGconn* conn_;
    bool first_ = true;
};

std::unique_ptr<SqlSession> PostgresDatabase::Session() { return std::make_unique<PostgresSession>(*this); }

}  // namespace

PostgresStorage::PostgresStorage(const std::string& url, int connections)
    : SqlStorage(std::make_unique<PostgresDatabase>(url, connections), kMigrations) {}

int PostgresStorage::SchemaVersion() { return static_cast<int>(kMigrations.size()); }

}  // namespace server
