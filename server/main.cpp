// vorlan-moto-server: the online leaderboard. Every submitted race is raced
// again by the verifier in a sandbox before its time is ranked.

#include "server/CourseSync.h"
#include "server/HttpApi.h"
#include "server/PathPictures.h"
#include "server/Sandbox.h"
#include "server/Services.h"
#include "server/SqlStorage.h"
#include "server/VerifyQueue.h"

#include <signal.h>
#include <sys/stat.h>
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>
#include <thread>

namespace fs = std::filesystem;
using namespace server;

namespace {

const char* kHelp = R"(Usage: vorlan-moto-server [OPTION]...
       vorlan-moto-server migrate --database URL
The Vorlan Moto leaderboard: players register, send race files, and every
race is verified again in a sandbox before its time is ranked. Several
servers may share one PostgreSQL database: web ones serve the pages and the
API, verify ones take the runs to check, and any may stop or start at any time.
"migrate" brings the database's schema up to date and exits.

  --listen HOST:PORT     address to listen on (default 127.0.0.1:8080; port 0 picks a free one)
  --data DIR             the server's own working folder: its SQLite database by default and
                         the shared courses it has made (default $XDG_DATA_HOME/vorlan-moto-server)
  --database URL         sqlite:PATH (default sqlite:DIR/server.db of --data) or
                         postgresql://[USER@]HOST[:PORT]/NAME[?PARAM=VALUE...]
  --role ROLE            all (default), web (pages and the API, verifies nothing) or
                         verify (takes runs to check, listens on nothing)
  --db-connections N     PostgreSQL connections this server keeps at most (default 8)
  --lease S              a claimed run is another worker's once this many seconds pass without
                         its verdict (default the --verify-wall limit and 60 more)
  --game-data DIR        the game's Data folder: its built-in courses (default Data beside this
                         program, or where vorlan-moto-data installs it)
  --verifier PATH        the verifier program (default vorlan-moto-verify beside this program, or
                         where vorlan-moto-tools installs it)
  --course-maker PATH    makes shared courses (default vorlan-moto-course, found the same way)
  --workers N            verifier runs at once (default one per core)
  --queue-bound N        runs that may wait; past it submissions get 503 (default 1000)
  --rate-player N        runs a player may send an hour (default 30)
  --rate-address N       runs an address may send an hour (default 30)
  --rate-courses N       courses a player may share a day (default 5)
  --rate-signups N       players an address may register an hour (default 10)
  --verify-cpu S         the verifier's CPU time limit in seconds (default 10)
  --verify-memory MIB    the verifier's address space limit (default 512; 0 for none)
  --verify-wall S        the verifier is killed after this many seconds (default 15)
  --read-timeout S       longest silence within a request (default 5)
  --request-timeout S    longest a request may take to arrive (default 15)
  --http-threads N       connections served at once (default 32)
  --trust-proxy          count runs from loopback against the last X-Forwarded-For address
                         (for a reverse proxy on this machine)
  --help                 show this and exit

Once listening it prints "listening on HOST:PORT" on standard output (a verify server:
"verifying as NAME"). While the database is out of reach, requests get 503 with Retry-After.
Exit status: 0 after SIGTERM or SIGINT, 2 for a bad option or a server that cannot start.
)";

std::string ExeDir() {
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string(".") : exe.parent_path().string();
}

// name beside this program (a build tree), else where the packages install
// it, relative to this program (the game's Data folder and its tools).
std::string Beside(const std::string& name, const char* installed) {
    const fs::path here = fs::path(ExeDir()) / name;
    std::error_code ec;
    if (installed == nullptr || fs::exists(here, ec)) return here.string();
    return (fs::path(ExeDir()) / installed).lexically_normal().string();
}

#ifdef VORLAN_SERVER_TO_DATA
constexpr const char* kInstalledData = VORLAN_SERVER_TO_DATA;
constexpr const char* kInstalledTools = VORLAN_SERVER_TO_TOOLS "/";
#else
constexpr const char* kInstalledData = nullptr;
constexpr const char* kInstalledTools = nullptr;
#endif

std::string Tool(const std::string& name) {
    return kInstalledTools ? Beside(name, (std::string(kInstalledTools) + name).c_str()) : Beside(name, nullptr);
}

std::string DefaultData() {
    const char* xdg = std::getenv("XDG_DATA_HOME");
    if (xdg && *xdg == '/') return std::string(xdg) + "/vorlan-moto-server";
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : ".") + "/.local/share/vorlan-moto-server";
}

[[noreturn]] void Fail(const std::string& why) {
    std::fprintf(stderr, "vorlan-moto-server: %s\n", why.c_str());
    std::exit(2);
}

int Number(const std::string& option, const char* value, int min, int max) {
    char* end = nullptr;
    errno = 0;
    const long n = std::strtol(value, &end, 10);
    if (end == value || *end || errno || n < min || n > max)
        Fail(option + ": a whole number from " + std::to_string(min) + " to " + std::to_string(max));
    return static_cast<int>(n);
}

}  // namespace

// Whether a process of that user can read (and enter or run) path: asked of
// a child that has become the user, since access() answers for root.
static bool ReachableBy(int uid, int gid, const std::string& path) {
    const pid_t child = fork();
    if (child == 0) {
        if (setgroups(0, nullptr) != 0 || setgid(static_cast<gid_t>(gid)) != 0 || setuid(static_cast<uid_t>(uid)) != 0)
            _exit(1);
        _exit(access(path.c_str(), R_OK | X_OK) == 0 ? 0 : 1);
    }
    int status = 0;
    return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

int main(int argc, char** argv) {
    std::string host = "127.0.0.1";
    int port = 8080;
    std::string data = DefaultData();
    std::string gameData = Beside("Data", kInstalledData);
    std::string verifier = Tool("vorlan-moto-verify");
    std::string courseMaker = Tool("vorlan-moto-course");
    int workers = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    RunLimits runLimits;
    int coursesPerDay = 5;
    int signupsPerHour = 10;
    SandboxLimits sandboxLimits;
    HttpLimits httpLimits;
    std::string database;
    std::string role = "all";
    int dbConnections = 8;
    int lease = 0;
    const bool migrateOnly = argc > 1 && std::strcmp(argv[1], "migrate") == 0;

    for (int i = migrateOnly ? 2 : 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help") {
            std::fputs(kHelp, stdout);
            return 0;
        }
        if (arg == "--trust-proxy") {
            httpLimits.trustProxy = true;
            continue;
        }
        if (i + 1 >= argc) Fail("unknown option or a value missing: " + arg + " (see --help)");
        const char* value = argv[++i];
        if (arg == "--listen") {
            const std::string v = value;
            const size_t colon = v.rfind(':');
            if (colon == std::string::npos || colon == 0) Fail("--listen: HOST:PORT");
            host = v.substr(0, colon);
            if (host.size() > 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
            port = Number("--listen", v.c_str() + colon + 1, 0, 65535);
        } else if (arg == "--data") {
            data = value;
        } else if (arg == "--database") {
            database = value;
        } else if (arg == "--role") {
            role = value;
            if (role != "all" && role != "web" && role != "verify") Fail("--role: all, web or verify");
        } else if (arg == "--db-connections") {
            dbConnections = Number(arg, value, 1, 1000);
        } else if (arg == "--lease") {
            lease = Number(arg, value, 1, 86400);
        } else if (arg == "--game-data") {
            gameData = value;
        } else if (arg == "--verifier") {
            verifier = value;
        } else if (arg == "--course-maker") {
            courseMaker = value;
        } else if (arg == "--workers") {
            workers = Number(arg, value, 1, 256);
        } else if (arg == "--queue-bound") {
            runLimits.queueBound = Number(arg, value, 1, 1000000);
        } else if (arg == "--rate-player") {
            runLimits.perPlayerHour = Number(arg, value, 1, 1000000);
        } else if (arg == "--rate-address") {
            runLimits.perAddressHour = Number(arg, value, 1, 1000000);
        } else if (arg == "--rate-courses") {
            coursesPerDay = Number(arg, value, 1, 1000000);
        } else if (arg == "--rate-signups") {
            signupsPerHour = Number(arg, value, 1, 1000000);
        } else if (arg == "--verify-cpu") {
            sandboxLimits.cpuSeconds = Number(arg, value, 1, 3600);
        } else if (arg == "--verify-memory") {
            sandboxLimits.memoryMiB = Number(arg, value, 0, 1 << 20);
        } else if (arg == "--verify-wall") {
            sandboxLimits.wallSeconds = Number(arg, value, 1, 3600);
        } else if (arg == "--read-timeout") {
            httpLimits.readTimeoutSeconds = Number(arg, value, 1, 600);
        } else if (arg == "--request-timeout") {
            httpLimits.requestSeconds = Number(arg, value, 1, 3600);
        } else if (arg == "--http-threads") {
            httpLimits.threads = Number(arg, value, 2, 1024);
        } else {
            Fail("unknown option: " + arg + " (see --help)");
        }
    }

    if (migrateOnly) {
        if (database.empty()) Fail("migrate: --database URL is needed");
        try {
            const auto storage = OpenStorage(database, 1);
            std::printf("schema version %lld\n", static_cast<long long>(storage->DatabaseVersion()));
            return 0;
        } catch (const std::exception& e) {
            Fail(e.what());
        }
    }
    if (lease == 0) lease = sandboxLimits.wallSeconds + 60;
    if (role == "web") workers = 0;

    std::error_code ec;
    fs::create_directories(data, ec);
    if (!fs::is_directory(data, ec)) Fail(data + ": cannot be made a folder");
    chmod(data.c_str(), 0700);
    const std::string shared = fs::absolute(fs::path(data) / "courses", ec).string();
    fs::create_directories(shared, ec);
    // A course being moved in when the server stopped: never listed, so gone.
    std::vector<fs::path> unfinished;
    for (const auto& e : fs::directory_iterator(shared, ec))
        if (e.path().filename().string().front() == '.') unfinished.push_back(e.path());
    for (const fs::path& p : unfinished) fs::remove_all(p, ec);
    // The sandbox's user reads the shared courses through this folder alone.
    chmod(data.c_str(), 0711);
    chmod(shared.c_str(), 0755);
    SandboxConfig sandboxConfig;
    sandboxConfig.verifier = fs::absolute(verifier, ec).string();
    sandboxConfig.gameData = fs::absolute(gameData, ec).lexically_normal().string();
    sandboxConfig.courseMaker = fs::absolute(courseMaker, ec).string();
    sandboxConfig.courses = shared;
    sandboxConfig.limits = sandboxLimits;
    if (access(sandboxConfig.verifier.c_str(), X_OK) != 0) Fail("--verifier: cannot run " + sandboxConfig.verifier);
    if (access(sandboxConfig.courseMaker.c_str(), X_OK) != 0)
        std::fprintf(stderr, "vorlan-moto-server: %s cannot be run: shared courses are refused\n",
                     sandboxConfig.courseMaker.c_str());
    if (access(sandboxConfig.bwrap.c_str(), X_OK) != 0) Fail(sandboxConfig.bwrap + " is missing (Debian's bubblewrap)");
    // As root the sandbox runs as its own user: what it is given must be
    // reachable by that user, or every check would fail (and wait) later.
    if (geteuid() == 0) {
        const std::pair<std::string, std::string> needs[] = {{"--verifier", sandboxConfig.verifier},
                                                             {"--game-data", sandboxConfig.gameData},
                                                             {"--data", sandboxConfig.courses}};
        for (const auto& [option, path] : needs)
            if (!ReachableBy(sandboxConfig.uid, sandboxConfig.gid, path))
                Fail(option + ": " + path + " cannot be reached by the sandbox's user (uid " +
                     std::to_string(sandboxConfig.uid) + "): give its folders o+x");
    }
    if (access(sandboxConfig.prlimit.c_str(), X_OK) != 0) Fail(sandboxConfig.prlimit + " is missing (util-linux)");

    // Signals are taken by one thread; every other thread started below inherits the block.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    signal(SIGPIPE, SIG_IGN);

    std::vector<std::string> refusals;
    CourseService courses(gameData, shared, refusals);
    for (const std::string& r : refusals) std::fprintf(stderr, "vorlan-moto-server: course left out: %s\n", r.c_str());
    if (courses.All().empty()) Fail("--game-data: no course in " + sandboxConfig.gameData + "/Courses");

    try {
        if (database.empty()) database = "sqlite:" + (fs::path(data) / "server.db").string();
        const auto opened = OpenStorage(database, dbConnections);
        Storage& storage = *opened;
        // Tokens' hashes and addresses: for the server's user alone.
        if (database.rfind("sqlite:", 0) == 0)
            for (const char* suffix : {"", "-wal", "-shm"}) chmod((database.substr(7) + suffix).c_str(), 0600);
        PlayerService players(storage, signupsPerHour, SystemClock);
        RunService runs(storage, courses, runLimits, SystemClock);
        BoardService boards(storage, courses);
        Sandbox sandbox(sandboxConfig);
        CourseUploadService uploads(storage, courses, sandbox, shared, coursesPerDay, SystemClock);
        PathPictures pictures(sandboxConfig, (fs::path(data) / "paths").string());
        // Each worker's name in the database says which server holds a run.
        char hostname[256] = {};
        gethostname(hostname, sizeof hostname - 1);
        const std::string name = std::string(hostname) + ":" + std::to_string(getpid());
        const auto worker = [name](int i) { return name + "/" + std::to_string(i); };
        VerifyQueue::Claims claims;
        claims.claim = [&](int i) { return storage.ClaimRun(worker(i), SystemClock(), lease); };
        claims.release = [&](int i, int64_t id, int retry) { storage.ReleaseRun(id, worker(i), SystemClock() + retry); };
        // Courses shared through other servers, made here too.
        CourseSync courseSync(storage, courses, sandbox, shared);
        courseSync.Start(10);
        VerifyQueue queue(
            [&](int64_t id, const std::atomic<bool>& stopping) {
                courseSync.SyncIfBehind();
                if (!runs.Verify(id, sandbox, stopping)) return false;
                pictures.AfterVerdict(id, runs, courses, stopping);
                return true;
            },
            claims, workers);
        // A server of this machine that died (killed, or the machine rebooted)
        // holds its runs no longer: they are given back now, not when their
        // leases run out.
        if (workers > 0) {
            for (const std::string& holder : storage.Claimants(SystemClock())) {
                const std::string prefix = std::string(hostname) + ":";
                if (holder.rfind(prefix, 0) != 0) continue;
                const long pid = std::strtol(holder.c_str() + prefix.size(), nullptr, 10);
                if (pid > 0 && pid != getpid() && kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH)
                    storage.ReleaseClaims(holder);
            }
        }
        if (role == "verify") {
            queue.Start();
            std::printf("verifying as %s\n", name.c_str());
            std::fflush(stdout);
            int sig = 0;
            sigwait(&signals, &sig);
            queue.Stop();
            return 0;
        }
        HttpApi http(players, runs, boards, courses, uploads, queue, pictures, httpLimits);

        const int bound = port == 0 ? http.bind_to_any_port(host) : (http.bind_to_port(host, port) ? port : -1);
        if (bound < 0) Fail("--listen: cannot listen on " + host + ":" + std::to_string(port));
        queue.Start();
        std::thread stopper([&] {
            int sig = 0;
            sigwait(&signals, &sig);
            http.stop();
        });
        std::printf("listening on %s:%d\n", host.c_str(), bound);
        std::fflush(stdout);
        http.listen_after_bind();
        // listen_after_bind returns once stop() is called (from the signal thread).
        stopper.join();
        queue.Stop();
    } catch (const std::exception& e) {
        Fail(e.what());
    }
    return 0;
}
