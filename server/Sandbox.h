#pragma once
// Runs the verifier on one race file inside bubblewrap: new namespaces of
// every kind (so no network), the system's programs and libraries, the
// verifier and the courses read-only, a small empty tmpfs as the only
// writable place, and nothing of the server's own files. Limits on CPU
// time, memory, file size and processes, no core files, and a kill when
// the wall clock runs out.

#include <atomic>
#include <string>
#include <vector>

namespace server {

struct SandboxLimits {
    int cpuSeconds = 10;
    int memoryMiB = 512;  // address space; 0 leaves it unlimited (sanitizer builds reserve terabytes)
    int wallSeconds = 15;
    int fileMiB = 16;     // the largest file it may write, and the tmpfs's size
    int processes = 32;
    size_t outputBytes = 64 * 1024;
};

struct SandboxConfig {
    std::string bwrap = "/usr/bin/bwrap";
    std::string prlimit = "/usr/bin/prlimit";
    std::string verifier;     // absolute path of the verifier program
    std::string courseMaker;  // absolute path of vorlan-moto-course, or empty
    std::string gameData;     // the game's Data folder (absolute)
    std::string courses;      // the shared courses' folder (absolute), or empty
    // When the server runs as root, the sandbox runs as this user instead:
    // a process count is only enforced on a user that is not root.
    int uid = 65534, gid = 65534;
    SandboxLimits limits;
};

struct SandboxResult {
    bool started = false;   // false: the sandbox itself could not be run (error says why)
    bool timedOut = false;  // killed at the wall-clock limit
    bool outputCut = false; // printed more than the limit and was killed
    bool cancelled = false; // killed because the server is stopping
    int exitStatus = -1;    // bwrap's, which is the verifier's (128 + signal when a signal ended it)
    std::string out;
    std::string err;        // the first bytes of its standard error, for the log
    std::string error;
};

class Sandbox {
public:
    explicit Sandbox(SandboxConfig config) : config_(std::move(config)) {}
    // Runs the verifier on the race file's bytes; cancel, when set while it
    // runs, kills it. Thread-safe.
    SandboxResult Verify(const std::string& raceFile, const std::atomic<bool>* cancel = nullptr) const;
    // Races the file again writing its trace to outDir/trace.jsonl (outDir
    // as for MakeCourse; the file is held to the file size limit).
    SandboxResult Trace(const std::string& raceFile, const std::string& outDir,
                        const std::atomic<bool>* cancel = nullptr) const;
    // Runs the course maker on a description, making the course in outDir
    // (an empty folder outside the server's data, the only one it may write).
    SandboxResult MakeCourse(const std::string& description, const std::string& outDir) const;
    // Races the course the maker made in outDir/id (vorlan-moto-course
    // --check): ten races take longer than a verification, so the time
    // limits are raised to at least the check's own.
    SandboxResult CheckCourse(const std::string& outDir, const std::string& id) const;
    const SandboxConfig& Config() const { return config_; }

private:
    bool HandOver(const std::string& outDir) const;
    // program runs as /sandbox/bin/NAME with args; input is readable at
    // /sandbox/input; outDir, when set, is writable at /out.
    SandboxResult Run(const std::string& program, const std::vector<std::string>& args, const std::string& input,
                      const std::string& outDir, const std::atomic<bool>* cancel) const;
    SandboxResult Run(const std::string& program, const std::vector<std::string>& args, const std::string& input,
                      const std::string& outDir, const std::atomic<bool>* cancel, const SandboxLimits& limits) const;

    SandboxConfig config_;
};

}  // namespace server
