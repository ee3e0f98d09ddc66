#include "OnlineRuns.h"

#include "JsonLines.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

namespace fs = std::filesystem;

namespace online_test {

fs::path NewFolder(const std::string& tag) {
    std::string pattern = (fs::temp_directory_path() / ("vorlan-online-" + tag + "-XXXXXX")).string();
    if (!mkdtemp(pattern.data())) return {};
    return pattern;
}

std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::string DesertKeys(int which) {
    return std::string(VORLAN_SOURCE_DIR) + "/tests/online/data/" + (which == 1 ? "desert.keys" : "desert-2.keys");
}
int DesertSeed(int which) { return which == 1 ? 3 : 5; }

namespace {
std::string Filter(const std::string& out) {
    std::string kept;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("Reading ", 0) != 0) kept += line + "\n";
    return kept;
}
}  // namespace

GameRun RunGame(const std::string& arguments, const fs::path& trace) {
    GameRun run;
    const fs::path err = NewFolder("err") / "stderr";
    const std::string command =
        "cd " + std::string(VORLAN_BINARY_DIR) + " && ./vorlan " + arguments + " >/dev/null 2>'" + err.string() + "'";
    const int raw = std::system(command.c_str());
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.errors = Filter(Slurp(err));
    fs::remove_all(err.parent_path());
    if (!trace.empty()) run.trace = ReadJsonLines(trace);
    return run;
}

GameRun DesertRace(const fs::path& profile, const std::string& server, long frames, const fs::path& trace,
                   int which) {
    std::string args = "--headless --no-render --fixed-clock --uncapped --seed " + std::to_string(DesertSeed(which)) +
                       " --frames " + std::to_string(frames) + " --profile '" + profile.string() + "' --input '" +
                       DesertKeys(which) + "'";
    if (!server.empty()) args += " --server " + server;
    if (!trace.empty()) args += " --trace '" + trace.string() + "'";
    return RunGame(args, trace);
}

int RunUntil(const std::string& arguments, const std::function<bool()>& done, int seconds, std::string* errors) {
    const fs::path err = NewFolder("err") / "stderr";
    const pid_t pid = fork();
    if (pid == 0) {
        const std::string command = "cd " + std::string(VORLAN_BINARY_DIR) + " && exec ./vorlan " + arguments +
                                    " >/dev/null 2>'" + err.string() + "'";
        execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    int status = 0;
    bool exited = false;
    while (std::chrono::steady_clock::now() < until && !done()) {
        if (waitpid(pid, &status, WNOHANG) == pid) {
            exited = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    if (!exited) {
        kill(pid, SIGTERM);  // as a closed window
        waitpid(pid, &status, 0);
    }
    if (errors) *errors = Filter(Slurp(err));
    fs::remove_all(err.parent_path());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

nlohmann::json GameFields(const nlohmann::json& line) {
    nlohmann::json copy = line;
    copy.erase("online");
    return copy;
}

int Waiting(const fs::path& profile, const char* ext) {
    int n = 0;
    std::error_code ec;
    for (fs::directory_iterator it(profile / "outbox", ec), end; !ec && it != end; it.increment(ec))
        if (it->path().extension() == ext) ++n;
    return n;
}

}  // namespace online_test
