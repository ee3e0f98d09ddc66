#pragma once
// The storage on SQLite: one file in the data folder, write-ahead logged,
// foreign keys on. For one server on one machine.

#include "server/SqlStorage.h"

namespace server {

class SqliteStorage final : public SqlStorage {
public:
    // Opens (making it when missing) the database at path; throws StorageError.
    explicit SqliteStorage(const std::string& path);

    static int SchemaVersion();
};

}  // namespace server
