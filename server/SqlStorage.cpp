#include "server/SqlStorage.h"

#include <nlohmann/json.hpp>

#include <charconv>

namespace server {

const char* StatusName(RunStatus status) {
    switch (status) {
        case RunStatus::Pending: return "pending";
        case RunStatus::Verified: return "verified";
        case RunStatus::Rejected: return "rejected";
    }
    return "pending";
}

int64_t SqlRow::Int(size_t i) const {
    const std::string& s = cells.at(i);
    int64_t v = 0;
    std::from_chars(s.data(), s.data() + s.size(), v);
    return v;
}

namespace {

std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

// A write transaction on one session, rolled back unless committed.
class Transaction {
public:
    explicit Transaction(SqlDatabase& db) : session_(db.Session()) {
        // SQLite takes the write lock at once, so two writers never deadlock.
        session_->Query(db.Dialect() == SqlDialect::Sqlite ? "BEGIN IMMEDIATE" : "BEGIN");
    }
    ~Transaction() {
        if (done_) return;
        try {
            session_->Query("ROLLBACK");
        } catch (const StorageError&) {
            // The connection is gone, and the transaction with it.
        }
    }
    SqlSession& operator*() { return *session_; }
    SqlSession* operator->() { return session_.get(); }
    void Commit() {
        session_->Query("COMMIT");
        done_ = true;
    }

private:
    std::unique_ptr<SqlSession> session_;
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

std::vector<SqlValue> KeyParams(const BoardKey& key) { return {key.course, key.courseHash, key.difficulty}; }

// Each player's best verified run on a board (ties to the earlier run), ranked.
constexpr const char* kBestCte = R"sql(
WITH best AS (
  SELECT id, player_id, time_ms, laps_ms, submitted_at,
         ROW_NUMBER() OVER (PARTITION BY player_id ORDER BY time_ms, id) AS n
  FROM runs WHERE status = 'verified' AND course = $1 AND course_hash = $2 AND difficulty = $3
), ranked AS (
  SELECT ROW_NUMBER() OVER (ORDER BY time_ms, id) AS rank, * FROM best WHERE n = 1
)
)sql";

// Two servers starting at once migrate one after the other.
constexpr int64_t kMigrationLock = 0x766d6f746f;

}  // namespace

SqlStorage::SqlStorage(std::unique_ptr<SqlDatabase> db, const std::vector<const char*>& migrations)
    : db_(std::move(db)) {
    Migrate(migrations);
}

SqlRows SqlStorage::Query(const std::string& sql, const std::vector<SqlValue>& params, bool* constraint) {
    return db_->Session()->Query(sql, params, constraint);
}

Storage::Recent SqlStorage::CountSince(const std::string& sql, const std::vector<SqlValue>& params) {
    const SqlRows rows = Query(sql, params);
    return rows.empty() ? Recent{} : Recent{rows[0].Int(0), rows[0].Int(1)};
}

void SqlStorage::Migrate(const std::vector<const char*>& migrations) {
    const auto latest = static_cast<int64_t>(migrations.size());
    Transaction t(*db_);
    if (db_->Dialect() == SqlDialect::Postgres)
        t->Query("SELECT pg_advisory_xact_lock($1)", {kMigrationLock});
    t->Query("CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL)");
    const SqlRows rows = t->Query("SELECT version FROM schema_version");
    int64_t version = 0;
    if (rows.empty())
        t->Query("INSERT INTO schema_version (version) VALUES (0)");
    else
        version = rows[0].Int(0);
    if (version > latest)
        throw StorageError("schema version " + std::to_string(version) + " is newer than this server's " +
                           std::to_string(latest));
    for (auto v = version; v < latest; ++v) t->Script(migrations[static_cast<size_t>(v)]);
    t->Query("UPDATE schema_version SET version = $1", {latest});
    t.Commit();
}

int64_t SqlStorage::DatabaseVersion() {
    const SqlRows rows = Query("SELECT version FROM schema_version");
    return rows.empty() ? 0 : rows[0].Int(0);
}

bool SqlStorage::AddPlayer(const std::string& name, const std::string& tokenHash, const std::string& address,
                           int64_t now) {
    bool constraint = false;
    Query("INSERT INTO players (name, name_key, token_hash, created_at, address) VALUES ($1, $2, $3, $4, $5)",
          {name, Lower(name), tokenHash, now, address}, &constraint);
    return !constraint;
}

Storage::Recent SqlStorage::PlayersFromAddressSince(const std::string& address, int64_t since) {
    return CountSince("SELECT COUNT(*), MIN(created_at) FROM players WHERE address = $1 AND created_at >= $2",
                      {address, since});
}

std::optional<Player> SqlStorage::PlayerByTokenHash(const std::string& tokenHash) {
    const SqlRows rows = Query("SELECT id, name, created_at FROM players WHERE token_hash = $1", {tokenHash});
    if (rows.empty()) return std::nullopt;
    return Player{rows[0].Int(0), rows[0].Text(1), rows[0].Int(2)};
}

std::optional<Player> SqlStorage::PlayerByName(const std::string& name) {
    const SqlRows rows = Query("SELECT id, name, created_at FROM players WHERE name_key = $1", {Lower(name)});
    if (rows.empty()) return std::nullopt;
    return Player{rows[0].Int(0), rows[0].Text(1), rows[0].Int(2)};
}

std::optional<int64_t> SqlStorage::RunByFileHash(const std::string& fileHash) {
    const SqlRows rows = Query("SELECT id FROM runs WHERE file_hash = $1", {fileHash});
    if (rows.empty()) return std::nullopt;
    return rows[0].Int(0);
}

std::optional<int64_t> SqlStorage::AddRun(int64_t playerId, const std::string& fileHash, const std::string& file,
                                          const std::string& address, int64_t now) {
    bool constraint = false;
    const SqlRows rows = Query(
        "INSERT INTO runs (player_id, file_hash, file, address, submitted_at) VALUES ($1, $2, $3, $4, $5) RETURNING id",
        {playerId, fileHash, SqlBlob{file}, address, now}, &constraint);
    if (constraint || rows.empty()) return std::nullopt;
    return rows[0].Int(0);
}

Storage::Recent SqlStorage::RunsByPlayerSince(int64_t playerId, int64_t since) {
    return CountSince("SELECT COUNT(*), MIN(submitted_at) FROM runs WHERE player_id = $1 AND submitted_at >= $2",
                      {playerId, since});
}

Storage::Recent SqlStorage::RunsFromAddressSince(const std::string& address, int64_t since) {
    return CountSince("SELECT COUNT(*), MIN(submitted_at) FROM runs WHERE address = $1 AND submitted_at >= $2",
                      {address, since});
}

int64_t SqlStorage::PendingCount() {
    const SqlRows rows = Query("SELECT COUNT(*) FROM runs WHERE status = 'pending'");
    return rows.empty() ? 0 : rows[0].Int(0);
}

std::vector<int64_t> SqlStorage::PendingRuns() {
    std::vector<int64_t> ids;
    for (const SqlRow& row : Query("SELECT id FROM runs WHERE status = 'pending' ORDER BY id")) ids.push_back(row.Int(0));
    return ids;
}

std::optional<Run> SqlStorage::GetRun(int64_t id) {
    const SqlRows rows = Query(R"sql(
SELECT r.id, r.player_id, p.name, r.status, COALESCE(r.reason, ''), COALESCE(r.course, ''),
       COALESCE(r.course_hash, ''), COALESCE(r.difficulty, ''), COALESCE(r.time_ms, 0), COALESCE(r.laps_ms, '[]'),
       r.submitted_at, COALESCE(r.verified_at, 0)
FROM runs r JOIN players p ON p.id = r.player_id WHERE r.id = $1)sql",
                               {id});
    if (rows.empty()) return std::nullopt;
    const SqlRow& s = rows[0];
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

std::optional<std::string> SqlStorage::RunFile(int64_t id) {
    SqlRows rows = Query("SELECT file FROM runs WHERE id = $1", {id});
    if (rows.empty()) return std::nullopt;
    return std::move(rows[0].cells[0]);
}

std::optional<int64_t> SqlStorage::ClaimRun(const std::string& worker, int64_t now, int64_t leaseSeconds) {
    // PostgreSQL: the row is locked by whoever picks it and passed over by
    // the others, so several servers claim at once without waiting on each
    // other. SQLite has one writer at a time anyway.
    const char* lock = db_->Dialect() == SqlDialect::Postgres ? " FOR UPDATE SKIP LOCKED" : "";
    const SqlRows rows = Query(std::string(R"sql(
UPDATE runs SET claimed_by = $1, lease_until = $3, claims = claims + 1
WHERE id = (SELECT id FROM runs WHERE status = 'pending' AND (lease_until IS NULL OR lease_until <= $2)
            ORDER BY id LIMIT 1)sql") + lock + R"sql()
RETURNING id)sql",
                               {worker, now, now + leaseSeconds});
    if (rows.empty()) return std::nullopt;
    return rows[0].Int(0);
}

void SqlStorage::ReleaseRun(int64_t id, const std::string& worker, int64_t retryAt) {
    Query("UPDATE runs SET lease_until = $3 WHERE id = $1 AND claimed_by = $2 AND status = 'pending'",
          {id, worker, retryAt});
}

std::vector<std::string> SqlStorage::Claimants(int64_t now) {
    std::vector<std::string> workers;
    for (const SqlRow& row : Query("SELECT DISTINCT claimed_by FROM runs WHERE status = 'pending' AND lease_until > $1 "
                                   "AND claimed_by IS NOT NULL",
                                   {now}))
        workers.push_back(row.Text(0));
    return workers;
}

void SqlStorage::ReleaseClaims(const std::string& worker) {
    Query("UPDATE runs SET lease_until = NULL WHERE claimed_by = $1 AND status = 'pending'", {worker});
}

std::optional<RunStatus> SqlStorage::RecordVerdict(int64_t id, const Verdict& v, int64_t now) {
    const char* lock = db_->Dialect() == SqlDialect::Postgres ? " FOR UPDATE" : "";
    // Two runs of the same race judged at once on two servers: the second
    // breaks the unique index, and tried again it sees the first.
    for (int attempt = 0;; ++attempt) {
        Transaction t(*db_);
        const SqlRows status = t->Query(std::string("SELECT status FROM runs WHERE id = $1") + lock, {id});
        if (status.empty() || status[0].Text(0) != "pending") return std::nullopt;
        bool verified = v.verified;
        std::string reason = v.reason;
        if (verified) {
            const SqlRows same =
                t->Query("SELECT id FROM runs WHERE status = 'verified' AND states_hash = $1", {v.statesHash});
            if (!same.empty()) {
                verified = false;
                reason = "the same race as run " + same[0].Text(0);
            }
        }
        const nlohmann::json laps = v.lapsMs;
        bool constraint = false;
        const SqlRows updated = t->Query(R"sql(
UPDATE runs SET status = $2, reason = $3, course = $4, course_hash = $5, difficulty = $6, time_ms = $7,
                laps_ms = $8, states_hash = $9, build = $10, verified_at = $11, lease_until = NULL
WHERE id = $1 AND status = 'pending' RETURNING id)sql",
                                         {id, std::string(verified ? "verified" : "rejected"), reason, v.course,
                                          v.courseHash, v.difficulty, v.timeMs, laps.dump(), v.statesHash, v.build, now},
                                         &constraint);
        if (constraint && attempt < 3) continue;
        if (constraint) throw StorageError("run " + std::to_string(id) + ": its verdict breaks a constraint");
        if (updated.empty()) return std::nullopt;
        t.Commit();
        return verified ? RunStatus::Verified : RunStatus::Rejected;
    }
}

std::vector<BoardRow> SqlStorage::Board(const BoardKey& key, int64_t offset, int64_t limit) {
    auto params = KeyParams(key);
    params.insert(params.end(), {offset, limit});
    std::vector<BoardRow> rows;
    for (const SqlRow& s : Query(std::string(kBestCte) + R"sql(
SELECT k.rank, p.name, k.time_ms, k.laps_ms, k.submitted_at, k.id
FROM ranked k JOIN players p ON p.id = k.player_id ORDER BY k.rank LIMIT $5 OFFSET $4)sql",
                                 params))
        rows.push_back({s.Int(0), s.Text(1), s.Int(2), Laps(s.Text(3)), s.Int(4), s.Int(5)});
    return rows;
}

std::optional<int64_t> SqlStorage::PlayerRank(const BoardKey& key, int64_t playerId) {
    auto params = KeyParams(key);
    params.push_back(playerId);
    const SqlRows rows = Query(std::string(kBestCte) + "SELECT rank FROM ranked WHERE player_id = $4", params);
    if (rows.empty()) return std::nullopt;
    return rows[0].Int(0);
}

int64_t SqlStorage::RankOfTime(const BoardKey& key, int64_t playerId, int64_t timeMs, int64_t runId) {
    auto params = KeyParams(key);
    params.insert(params.end(), {playerId, timeMs, runId});
    const SqlRows rows = Query(std::string(kBestCte) +
                                   "SELECT COUNT(*) FROM ranked WHERE player_id != $4 AND (time_ms < $5 OR "
                                   "(time_ms = $5 AND id < $6))",
                               params);
    return (rows.empty() ? 0 : rows[0].Int(0)) + 1;
}

int64_t SqlStorage::BoardSize(const BoardKey& key) {
    const SqlRows rows = Query(std::string(kBestCte) + "SELECT COUNT(*) FROM ranked", KeyParams(key));
    return rows.empty() ? 0 : rows[0].Int(0);
}

std::vector<Storage::Best> SqlStorage::PlayerBests(int64_t playerId) {
    std::vector<Best> bests;
    for (const SqlRow& s : Query(R"sql(
SELECT course, course_hash, difficulty, id, time_ms, laps_ms, submitted_at FROM (
  SELECT course, course_hash, difficulty, id, time_ms, laps_ms, submitted_at,
         ROW_NUMBER() OVER (PARTITION BY course, course_hash, difficulty ORDER BY time_ms, id) AS n
  FROM runs WHERE status = 'verified' AND player_id = $1) AS b
WHERE n = 1 ORDER BY course, difficulty)sql",
                                 {playerId})) {
        Best b;
        b.key = {s.Text(0), s.Text(1), s.Text(2)};
        b.row = {0, "", s.Int(4), Laps(s.Text(5)), s.Int(6), s.Int(3)};
        bests.push_back(std::move(b));
    }
    return bests;
}

bool SqlStorage::AddCourse(const std::string& id, const std::string& hash, int64_t playerId, int64_t now,
                           const std::string& description) {
    bool constraint = false;
    Query("INSERT INTO courses (id, hash, player_id, created_at, description) VALUES ($1, $2, $3, $4, $5)",
          {id, hash, playerId, now, description}, &constraint);
    return !constraint;
}

std::vector<Storage::SharedCourse> SqlStorage::SharedCourses() {
    std::vector<SharedCourse> courses;
    for (const SqlRow& s : Query("SELECT id, hash, description FROM courses ORDER BY created_at, id"))
        courses.push_back({s.Text(0), s.Text(1), s.Text(2)});
    return courses;
}

int64_t SqlStorage::SharedCourseCount() {
    const SqlRows rows = Query("SELECT COUNT(*) FROM courses");
    return rows.empty() ? 0 : rows[0].Int(0);
}

Storage::Recent SqlStorage::CoursesByPlayerSince(int64_t playerId, int64_t since) {
    return CountSince("SELECT COUNT(*), MIN(created_at) FROM courses WHERE player_id = $1 AND created_at >= $2",
                      {playerId, since});
}

std::optional<std::string> SqlStorage::CourseAuthor(const std::string& id) {
    const SqlRows rows =
        Query("SELECT p.name FROM courses c JOIN players p ON p.id = c.player_id WHERE c.id = $1", {id});
    if (rows.empty()) return std::nullopt;
    return rows[0].Text(0);
}

}  // namespace server
