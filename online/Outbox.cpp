#include "online/Outbox.h"

#include "profile/UserFiles.h"
#include "race/RaceFile.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {
bool ValidName(const std::string& name) {
    return !name.empty() && name.size() <= 64 &&
           name.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789-") == std::string::npos;
}
}  // namespace

Outbox::Outbox(std::string where) : folder(std::move(where)) {
    if (folder.empty()) {
        const std::string data = UserFiles::DataDir();
        if (!data.empty()) folder = data + "/outbox";
    }
}

// Names sort in the order the races were kept: the wall clock's
// microseconds, and a count for two in the same one.
std::string Outbox::NewName() {
    static std::atomic<unsigned> count{0};
    const long long us = std::chrono::duration_cast<std::chrono::microseconds>(
                             std::chrono::system_clock::now().time_since_epoch()).count();
    char name[64];
    std::snprintf(name, sizeof name, "race-%016lld-%03u", us, count++ % 1000u);
    return name;
}

bool Outbox::Write(const std::string& name, const std::string& raceFile, std::string& error) {
    if (folder.empty()) {
        error = "no data folder (neither XDG_DATA_HOME nor HOME is set)";
        return false;
    }
    return ValidName(name) && UserFiles::WriteAtomically(Path(name, ".race"), raceFile, error);
}

std::string Outbox::Add(const std::string& raceFile, std::string& error) {
    const std::string name = NewName();
    return Write(name, raceFile, error) ? name : std::string();
}

std::vector<Outbox::Entry> Outbox::Waiting() const {
    std::vector<Entry> entries;
    std::error_code ec;
    if (folder.empty() || !fs::is_directory(folder, ec)) return entries;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const fs::path& p = it->path();
        if (p.extension() != ".race" || !it->is_regular_file(ec)) continue;
        const std::string name = p.stem().string();
        if (!ValidName(name)) continue;
        Entry entry{name, std::nullopt};
        if (const auto id = UserFiles::ReadFile(Path(name, ".id"), 32)) {
            try {
                const long long n = std::stoll(*id);
                if (n > 0) entry.runId = n;
            } catch (...) {
            }
        }
        entries.push_back(entry);
        if (entries.size() >= kMaxFiles) break;
    }
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.name < b.name; });
    return entries;
}

std::optional<std::string> Outbox::Read(const std::string& name) const {
    if (!ValidName(name)) return std::nullopt;
    return UserFiles::ReadFile(Path(name, ".race"), RaceFile::kMaxBytes);
}

bool Outbox::SetRunId(const std::string& name, int64_t id, std::string& error) {
    return UserFiles::WriteAtomically(Path(name, ".id"), std::to_string(id) + "\n", error);
}

void Outbox::Done(const std::string& name) {
    std::error_code ec;
    fs::remove(Path(name, ".race"), ec);
    fs::remove(Path(name, ".id"), ec);
}

void Outbox::SetAside(const std::string& name) {
    UserFiles::SetAside(Path(name, ".race"), ".refused");
    std::error_code ec;
    fs::remove(Path(name, ".id"), ec);
}
