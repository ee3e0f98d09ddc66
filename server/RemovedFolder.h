#pragma once
// A scratch folder removed with everything in it when its scope ends, on
// every path out (refusals throw).

#include <filesystem>
#include <string>
#include <system_error>
#include <utility>

namespace server {
struct RemovedFolder {
    explicit RemovedFolder(std::string folder) : path(std::move(folder)) {}
    RemovedFolder(const RemovedFolder&) = delete;
    RemovedFolder& operator=(const RemovedFolder&) = delete;
    ~RemovedFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    std::string path;
};
}  // namespace server
