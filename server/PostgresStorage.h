#pragma once
// The storage on PostgreSQL (libpq), for several servers on several
// machines sharing one database: a small pool of connections per server,
// each made again when the database comes back after a restart. While it
// cannot be reached calls throw StorageUnavailable.

#include "server/SqlStorage.h"

namespace server {

class PostgresStorage final : public SqlStorage {
public:
    // url: postgresql://[user@]host[:port]/dbname[?param=value...] as libpq
    // reads it; connections: at most this many at once. Throws StorageError.
    PostgresStorage(const std::string& url, int connections);

    static int SchemaVersion();
};

}  // namespace server
