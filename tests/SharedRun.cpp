#include "SharedRun.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <functional>
#include <system_error>

namespace fs = std::filesystem;

namespace {
// What the run depends on besides its own words: the game and its content.
std::string BuildIdentity() {
    std::string id;
    for (const char* part : {"vorlan", "Data/.stamp"}) {
        std::error_code error;
        const fs::path path = fs::path(VORLAN_BINARY_DIR) / part;
        const auto size = fs::is_regular_file(path, error) ? fs::file_size(path, error) : 0;
        const auto time = fs::last_write_time(path, error).time_since_epoch().count();
        id += std::to_string(size) + ":" + std::to_string(time) + ";";
    }
    return id;
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}
}  // namespace

SharedRunResult SharedRun(const std::string& name, const std::map<std::string, std::string>& inputs,
                          const std::string& arguments) {
    std::string key = arguments + "|" + BuildIdentity();
    for (const auto& [file, text] : inputs) key += "|" + file + "=" + text;
    const fs::path root = fs::path(VORLAN_BINARY_DIR) / "test-runs";
    fs::create_directories(root);
    SharedRunResult result;
    result.dir = root / (name + "-" + std::to_string(std::hash<std::string>{}(key)));
    const fs::path done = result.dir / "status";

    // One player at a time per name; the others wait and then read its files.
    const int lock = open((root / (name + ".lock")).c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0644);
    if (lock < 0 || flock(lock, LOCK_EX) != 0) std::abort();
    if (std::ifstream kept{done}; kept >> result.status) {
        close(lock);
        return result;
    }
    // Older runs of this name belong to an older game: make room.
    for (const auto& entry : fs::directory_iterator(root))
        if (entry.is_directory() && entry.path().filename().string().rfind(name + "-", 0) == 0)
            fs::remove_all(entry.path());
    fs::create_directories(result.dir);
    for (const auto& [file, text] : inputs) std::ofstream(result.dir / file, std::ios::binary) << text;
    const std::string dir = result.dir.string();
    // Without the leak checker: its tracer thread dies at exit in some of
    // these long runs under the load of a parallel ctest (a fault inside
    // LeakSanitizer, as in the fault-injection runs), and every other test
    // that starts the game still checks for leaks.
    const char* asan = std::getenv("ASAN_OPTIONS");
    const std::string noLeaks = "ASAN_OPTIONS='" + std::string(asan ? asan : "") + ":detect_leaks=0' ";
    const std::string command = "cd " + std::string(VORLAN_BINARY_DIR) + " && " + noLeaks + "XDG_DATA_HOME=" + dir +
                                "/data XDG_CONFIG_HOME=" + dir + "/config ./vorlan " +
                                Replace(arguments, "{dir}", dir) + " >" + dir + "/out.txt 2>" + dir + "/err.txt";
    const int raw = std::system(command.c_str());
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    // Written last: a run cut short (a crash of this test program) is played again.
    {
        std::ofstream(result.dir / "status.tmp") << result.status << "\n";
    }
    fs::rename(result.dir / "status.tmp", done);
    close(lock);
    return result;
}
