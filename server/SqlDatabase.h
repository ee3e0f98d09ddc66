#pragma once
// The little the storage needs of a database: sessions that run one
// statement with numbered parameters ($1, $2...) and hand back its rows as
// text. SQLite and PostgreSQL each stand behind it; what differs between
// them (the schema's types, row locks) is named here and nowhere else.

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

namespace server {

class StorageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The database cannot be reached just now (restarting, network); the
// request may be tried again shortly. The HTTP side answers 503.
class StorageUnavailable : public StorageError {
public:
    using StorageError::StorageError;
};

// Bytes sent as a blob (a race file), not as text.
struct SqlBlob {
    std::string bytes;
};
using SqlValue = std::variant<int64_t, std::string, SqlBlob>;

struct SqlRow {
    std::vector<std::string> cells;  // NULL comes back empty
    bool nulls = false;
    int64_t Int(size_t i) const;
    const std::string& Text(size_t i) const { return cells.at(i); }
};
using SqlRows = std::vector<SqlRow>;

class SqlSession {
public:
    virtual ~SqlSession() = default;
    // One statement; a unique or check constraint it breaks sets *constraint
    // (and returns no rows) when constraint is given, and throws otherwise.
    virtual SqlRows Query(const std::string& sql, const std::vector<SqlValue>& params = {},
                          bool* constraint = nullptr) = 0;
    // Statements without parameters, several at once (a migration).
    virtual void Script(const std::string& sql) = 0;
};

enum class SqlDialect { Sqlite, Postgres };

class SqlDatabase {
public:
    virtual ~SqlDatabase() = default;
    // A session for one caller at a time; the same session for a whole transaction.
    virtual std::unique_ptr<SqlSession> Session() = 0;
    virtual SqlDialect Dialect() const = 0;
};

}  // namespace server
