#include "server/Sandbox.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <vector>

namespace server {

namespace {

constexpr const char* kProgramInside = "/sandbox/bin/program";
constexpr const char* kInputInside = "/sandbox/input";
constexpr int kInputFd = 3;
constexpr int kFailFd = 4;
// Ten races of a course: a few seconds in a release build, many more under
// the sanitizers or on a busy machine.
constexpr int kCheckCpuSeconds = 120;
constexpr int kCheckWallSeconds = 180;

// The system's programs and libraries, as links where the host has them as links.
void AddSystem(std::vector<std::string>& a) {
    a.insert(a.end(), {"--ro-bind", "/usr", "/usr"});
    for (const char* top : {"/bin", "/lib", "/lib64", "/lib32", "/sbin"}) {
        struct stat st {};
        if (lstat(top, &st) != 0) continue;
        if (S_ISLNK(st.st_mode)) {
            char target[256] = {};
            const ssize_t n = readlink(top, target, sizeof target - 1);
            if (n > 0) a.insert(a.end(), {"--symlink", std::string(target, static_cast<size_t>(n)), top});
        } else if (S_ISDIR(st.st_mode)) {
            a.insert(a.end(), {"--ro-bind", top, top});
        }
    }
    // Where the dynamic linker finds the multiarch libraries.
    if (access("/etc/ld.so.cache", R_OK) == 0) a.insert(a.end(), {"--ro-bind", "/etc/ld.so.cache", "/etc/ld.so.cache"});
}

void SetLimit(int resource, rlim_t soft, rlim_t hard) {
    const rlimit r{soft, hard};
    setrlimit(resource, &r);
}

}  // namespace

// The sandbox's own user must own the folder it writes.
bool Sandbox::HandOver(const std::string& outDir) const {
    return geteuid() != 0 || chown(outDir.c_str(), static_cast<uid_t>(config_.uid), static_cast<gid_t>(config_.gid)) == 0;
}

SandboxResult Sandbox::Verify(const std::string& raceFile, const std::atomic<bool>* cancel) const {
    std::vector<std::string> args = {kInputInside, "--data", "/sandbox/Data"};
    if (!config_.courses.empty()) args.insert(args.end(), {"--courses", "/sandbox/courses"});
    return Run(config_.verifier, args, raceFile, "", cancel);
}

SandboxResult Sandbox::Trace(const std::string& raceFile, const std::string& outDir,
                             const std::atomic<bool>* cancel) const {
    if (!HandOver(outDir)) {
        SandboxResult result;
        result.error = "cannot hand the trace's folder to the sandbox's user";
        return result;
    }
    std::vector<std::string> args = {kInputInside, "--data", "/sandbox/Data"};
    if (!config_.courses.empty()) args.insert(args.end(), {"--courses", "/sandbox/courses"});
    args.insert(args.end(), {"--trace", "/out/trace.jsonl"});
    return Run(config_.verifier, args, raceFile, outDir, cancel);
}

SandboxResult Sandbox::MakeCourse(const std::string& description, const std::string& outDir) const {
    if (!HandOver(outDir)) {
        SandboxResult result;
        result.error = "cannot hand the course folder to the sandbox's user";
        return result;
    }
    return Run(config_.courseMaker, {"--data", "/sandbox/Data", kInputInside, "/out"}, description, outDir, nullptr);
}

SandboxResult Sandbox::CheckCourse(const std::string& outDir, const std::string& id) const {
    SandboxLimits limits = config_.limits;
    limits.cpuSeconds = std::max(limits.cpuSeconds, kCheckCpuSeconds);
    limits.wallSeconds = std::max(limits.wallSeconds, kCheckWallSeconds);
    return Run(config_.courseMaker, {"--data", "/sandbox/Data", "--check", "/out/" + id}, "", outDir, nullptr, limits);
}

SandboxResult Sandbox::Run(const std::string& program, const std::vector<std::string>& programArgs,
                           const std::string& input, const std::string& outDir, const std::atomic<bool>* cancel) const {
    return Run(program, programArgs, input, outDir, cancel, config_.limits);
}

SandboxResult Sandbox::Run(const std::string& program, const std::vector<std::string>& programArgs,
                           const std::string& input, const std::string& outDir, const std::atomic<bool>* cancel,
                           const SandboxLimits& lim) const {
    SandboxResult result;

    // The input goes in through a memory file: nothing is written on the host.
    int memfd = memfd_create("race", MFD_CLOEXEC);
    if (memfd < 0) {
        result.error = std::string("memfd_create: ") + std::strerror(errno);
        return result;
    }
    for (size_t done = 0; done < input.size();) {
        const ssize_t n = write(memfd, input.data() + done, input.size() - done);
        if (n <= 0) {
            close(memfd);
            result.error = "cannot write the input for the sandbox";
            return result;
        }
        done += static_cast<size_t>(n);
    }
    lseek(memfd, 0, SEEK_SET);

    std::vector<std::string> args = {config_.bwrap, "--unshare-all", "--die-with-parent", "--new-session",
                                     "--cap-drop", "ALL", "--clearenv",
                                     "--setenv", "PATH", "/usr/bin:/bin", "--setenv", "HOME", "/tmp",
                                     "--setenv", "LANG", "C.UTF-8"};
    AddSystem(args);
    args.insert(args.end(), {"--proc", "/proc", "--dev", "/dev"});
    args.insert(args.end(), {"--ro-bind", program, kProgramInside});
    args.insert(args.end(), {"--ro-bind", config_.gameData, "/sandbox/Data"});
    if (!config_.courses.empty()) args.insert(args.end(), {"--ro-bind", config_.courses, "/sandbox/courses"});
    args.insert(args.end(), {"--ro-bind-data", std::to_string(kInputFd), kInputInside});
    if (!outDir.empty()) args.insert(args.end(), {"--bind", outDir, "/out"});
    // Started beside Data, as the game is: the built-in courses name their files "Data/...".
    args.insert(args.end(), {"--size", std::to_string(static_cast<long long>(lim.fileMiB) * 1024 * 1024), "--tmpfs",
                             "/tmp", "--chdir", "/sandbox"});
    // The process count is set inside, once bwrap has made the user
    // namespace: counted there, it is the sandbox's own processes only.
    args.insert(args.end(), {"--", config_.prlimit, "--nproc=" + std::to_string(lim.processes), "--", kProgramInside});
    args.insert(args.end(), programArgs.begin(), programArgs.end());

    std::vector<char*> argv;
    for (std::string& s : args) argv.push_back(s.data());
    argv.push_back(nullptr);
    char* envp[] = {nullptr};

    // fail carries the child's errno when it cannot become bwrap; exec closes
    // it, so an empty read means bwrap runs, whatever status it exits with.
    int out[2], err[2], fail[2];
    if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0 || pipe2(fail, O_CLOEXEC) != 0) {
        close(memfd);
        result.error = std::string("pipe: ") + std::strerror(errno);
        return result;
    }
    const bool root = geteuid() == 0;
    // The child puts these at 3 and 4: kept above them here, so that a dup2
    // there is never a no-op (one that would leave close-on-exec set) and
    // never overwrites the other. A server whose database connection was
    // just closed has 3 free, and memfd_create takes it.
    for (int* fd : {&memfd, &fail[1]}) {
        const int high = fcntl(*fd, F_DUPFD_CLOEXEC, 10);
        if (high >= 0) {
            close(*fd);
            *fd = high;
        }
    }
    const pid_t pid = fork();
    if (pid < 0) {
        close(memfd);
        for (int fd : {out[0], out[1], err[0], err[1], fail[0], fail[1]}) close(fd);
        result.error = std::string("fork: ") + std::strerror(errno);
        return result;
    }
    if (pid == 0) {
        // Only async-signal-safe calls from here to exec.
        dup2(out[1], 1);
        dup2(err[1], 2);
        dup2(memfd, kInputFd);  // dup2 clears close-on-exec on the copy
        dup3(fail[1], kFailFd, O_CLOEXEC);
        const int devnull = open("/dev/null", O_RDONLY);
        if (devnull >= 0) dup2(devnull, 0);
        close_range(kFailFd + 1, ~0U, 0);
        const auto failed = [](char what) {
            const int e = errno;
            const char report[2] = {what, static_cast<char>(e > 127 ? 127 : e)};
            (void)!write(kFailFd, report, 2);
            _exit(127);
        };
        SetLimit(RLIMIT_CPU, static_cast<rlim_t>(lim.cpuSeconds), static_cast<rlim_t>(lim.cpuSeconds + 1));
        if (lim.memoryMiB > 0) {
            const auto bytes = static_cast<rlim_t>(lim.memoryMiB) * 1024 * 1024;
            SetLimit(RLIMIT_AS, bytes, bytes);
        }
        const auto fileBytes = static_cast<rlim_t>(lim.fileMiB) * 1024 * 1024;
        SetLimit(RLIMIT_FSIZE, fileBytes, fileBytes);
        SetLimit(RLIMIT_CORE, 0, 0);
        SetLimit(RLIMIT_NOFILE, 256, 256);
        if (root) {
            if (setgroups(0, nullptr) != 0 || setgid(static_cast<gid_t>(config_.gid)) != 0 ||
                setuid(static_cast<uid_t>(config_.uid)) != 0)
                failed('u');
        }
        execve(argv[0], argv.data(), envp);
        failed('x');
    }
    close(memfd);
    close(out[1]);
    close(fail[1]);
    char report[2] = {};
    ssize_t reported;
    do {
        reported = read(fail[0], report, sizeof report);
    } while (reported < 0 && errno == EINTR);
    close(fail[0]);
    if (reported > 0) {
        close(out[0]);
        close(err[0]);
        while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
        }
        result.error = std::string(report[0] == 'u' ? "cannot switch to the sandbox's user: " : "cannot run bwrap: ") +
                       std::strerror(report[1]);
        return result;
    }
    close(err[1]);

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(lim.wallSeconds);
    bool outOpen = true, errOpen = true;
    char buffer[4096];
    while (outOpen || errOpen) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            result.timedOut = true;
            break;
        }
        if (cancel && cancel->load()) {
            result.cancelled = true;
            break;
        }
        pollfd fds[2] = {{outOpen ? out[0] : -1, POLLIN, 0}, {errOpen ? err[0] : -1, POLLIN, 0}};
        const int ready = poll(fds, 2, static_cast<int>(std::min<long>(left.count(), 100)));
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0) break;
        for (int i = 0; i < 2; ++i) {
            if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
            if (n <= 0) {
                (i == 0 ? outOpen : errOpen) = false;
                continue;
            }
            std::string& into = i == 0 ? result.out : result.err;
            const size_t cap = i == 0 ? lim.outputBytes : 4096;
            into.append(buffer, static_cast<size_t>(std::min<size_t>(static_cast<size_t>(n), cap + 1 - std::min(cap + 1, into.size()))));
            if (i == 0 && into.size() > cap) {
                result.outputCut = true;
                outOpen = errOpen = false;
            }
        }
    }
    if (result.timedOut || result.outputCut || result.cancelled) kill(pid, SIGKILL);
    close(out[0]);
    close(err[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    result.started = true;
    if (WIFEXITED(status)) {
        result.exitStatus = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.exitStatus = 128 + WTERMSIG(status);
    }
    return result;
}

}  // namespace server
