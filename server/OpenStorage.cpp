#include "server/PostgresStorage.h"
#include "server/SqliteStorage.h"

namespace server {

std::unique_ptr<SqlStorage> OpenStorage(const std::string& url, int connections) {
    if (url.rfind("sqlite:", 0) == 0 && url.size() > 7) return std::make_unique<SqliteStorage>(url.substr(7));
    if (url.rfind("postgresql://", 0) == 0 || url.rfind("postgres://", 0) == 0)
        return std::make_unique<PostgresStorage>(url, connections);
    throw StorageError("--database: sqlite:PATH or postgresql://..., not '" + url.substr(0, 40) + "'");
}

}  // namespace server
