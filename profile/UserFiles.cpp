#include "profile/UserFiles.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace UserFiles {
namespace {
constexpr const char* kGameFolder = "vorlan-moto";
std::string g_profile;
bool g_noFiles = false;
bool g_writesAllowed = true;

std::string BaseDir(const char* variable, const char* fallbackUnderHome) {
    const char* value = std::getenv(variable);
    if (value && value[0] == '/') return value;
    const char* home = std::getenv("HOME");
    if (!home || home[0] != '/') return {};
    return std::string(home) + "/" + fallbackUnderHome;
}

std::string Folder(const char* variable, const char* fallbackUnderHome) {
    const std::string base = BaseDir(variable, fallbackUnderHome);
    return base.empty() ? base : base + "/" + kGameFolder;
}

// mkdir -p; the folders a player keeps are theirs alone (0700, as the
// freedesktop rules ask for the base folders).
bool MakeFolders(const std::string& dir, std::string& error) {
    if (dir.empty()) {
        error = "no folder (neither the XDG variable nor HOME is set)";
        return false;
    }
    for (size_t at = 1; at <= dir.size(); ++at) {
        if (at != dir.size() && dir[at] != '/') continue;
        const std::string part = dir.substr(0, at);
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
            error = "cannot create " + part + ": " + std::strerror(errno);
            return false;
        }
    }
    struct stat info {};
    if (stat(dir.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        error = dir + " is not a folder";
        return false;
    }
    return true;
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}
}  // namespace

std::string DataDir() {
    if (g_noFiles) return {};
    return g_profile.empty() ? Folder("XDG_DATA_HOME", ".local/share") : g_profile;
}
std::string ConfigDir() {
    if (g_noFiles) return {};
    return g_profile.empty() ? Folder("XDG_CONFIG_HOME", ".config") : g_profile;
}

void UseNoFolders() {
    g_noFiles = true;
    g_writesAllowed = false;
}

bool UseProfile(const std::string& dir, std::string& error) {
    if (dir.empty()) {
        error = "needs a folder";
        return false;
    }
    std::string made;
    if (!MakeFolders(dir, made)) {
        error = made;
        return false;
    }
    // Tried rather than asked (access() answers yes to root for everything).
    DIR* listing = opendir(dir.c_str());
    if (!listing) {
        error = "cannot read " + dir + ": " + std::strerror(errno);
        return false;
    }
    closedir(listing);
    std::string probe = dir + "/.vorlan-probe-XXXXXX";
    const int fd = mkstemp(probe.data());
    if (fd < 0) {
        error = "cannot write in " + dir + ": " + std::strerror(errno);
        return false;
    }
    close(fd);
    unlink(probe.c_str());
    g_profile = dir;
    return true;
}

void SetWritesAllowed(bool allowed) { g_writesAllowed = allowed; }
bool WritesAllowed() { return g_writesAllowed; }

ReadStatus Read(const std::string& path, size_t maxBytes, std::string& text, std::string& error) {
    text.clear();
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        const int cause = errno;
        error = std::strerror(cause);
        // Not there: no such file, or a folder on the way that is a file.
        return cause == ENOENT || cause == ENOTDIR ? ReadStatus::Missing : ReadStatus::Unreadable;
    }
    char buffer[8192];
    size_t got = 0;
    bool tooBig = false;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        if (text.size() + got > maxBytes) {
            tooBig = true;
            break;
        }
        text.append(buffer, got);
    }
    const bool failed = std::ferror(file) != 0;
    if (failed) error = std::strerror(errno);
    std::fclose(file);
    if (failed) return ReadStatus::Unreadable;
    if (tooBig) {
        error = "larger than any file the game writes";
        return ReadStatus::TooBig;
    }
    return ReadStatus::Ok;
}

std::optional<std::string> ReadFile(const std::string& path, size_t maxBytes) {
    std::string text, error;
    if (Read(path, maxBytes, text, error) != ReadStatus::Ok) return std::nullopt;
    return text;
}

FolderLock::FolderLock(const std::string& dir) {
    std::string error;
    if (!MakeFolders(dir, error)) return;
    fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        while (flock(fd, LOCK_EX) != 0 && errno == EINTR) {
        }
    }
}

FolderLock::~FolderLock() {
    if (fd >= 0) close(fd);  // closing lets the lock go
}

bool WriteAtomically(const std::string& path, const std::string& text, std::string& error) {
    if (!MakeFolders(FolderOf(path), error)) return false;
    std::string temp = path + ".tmp-XXXXXX";
    const int fd = mkstemp(temp.data());
    if (fd < 0) {
        error = "cannot write in " + FolderOf(path) + ": " + std::strerror(errno);
        return false;
    }
    size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = write(fd, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        written += static_cast<size_t>(n);
    }
    // The data reaches the disk before the rename makes it the file, so a
    // crash leaves the old file or the new one, never an empty one.
    const bool ok = written == text.size() && fsync(fd) == 0;
    const int savedErrno = errno;
    if (close(fd) != 0 || !ok) {
        error = "cannot write " + path + ": " + std::strerror(ok ? errno : savedErrno);
        unlink(temp.c_str());
        return false;
    }
    if (std::rename(temp.c_str(), path.c_str()) != 0) {
        error = "cannot replace " + path + ": " + std::strerror(errno);
        unlink(temp.c_str());
        return false;
    }
    return true;
}

std::string SetAside(const std::string& path, const std::string& suffix) {
    for (int n = 1; n < 1000; ++n) {
        const std::string name = path + suffix + (n == 1 ? "" : "-" + std::to_string(n));
        struct stat info {};
        if (lstat(name.c_str(), &info) == 0) continue;
        // link + unlink never replaces a file that appeared meanwhile.
        if (link(path.c_str(), name.c_str()) == 0) {
            unlink(path.c_str());
            return name;
        }
        if (errno == EEXIST) continue;
        // Filesystems without hard links: a plain rename.
        if (std::rename(path.c_str(), name.c_str()) == 0) return name;
        break;
    }
    return {};
}
}  // namespace UserFiles
