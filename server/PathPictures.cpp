#include "server/PathPictures.h"

#include "server/RemovedFolder.h"
#include "tools/pathmap/PathMap.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace server {

namespace {

constexpr const char* kScratchPrefix = ".trace-";

// A regular file of at most max bytes, opened without following a link:
// the trace's folder was the sandbox's to write.
std::optional<std::string> ReadBounded(const std::string& path, int64_t max, std::string& why) {
    why.clear();
    const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        why = errno == ELOOP ? "the trace is a link" : "the verifier wrote no trace";
        return std::nullopt;
    }
    struct stat st {};
    std::string bytes;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        why = "the trace is not a file";
    } else if (st.st_size > max) {
        why = "the trace is over " + std::to_string(max / (1024 * 1024)) + " MiB";
    } else {
        bytes.resize(static_cast<size_t>(st.st_size));
        size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = read(fd, bytes.data() + done, bytes.size() - done);
            if (n <= 0) break;
            done += static_cast<size_t>(n);
        }
        bytes.resize(done);
    }
    close(fd);
    if (!why.empty()) return std::nullopt;
    return bytes;
}

}  // namespace

namespace {
SandboxConfig WithTraceRoom(SandboxConfig config) {
    config.limits.fileMiB = std::max(config.limits.fileMiB, PathPictures::kMaxTraceMiB);
    return config;
}
}  // namespace

PathPictures::PathPictures(const SandboxConfig& sandbox, std::string folder)
    : sandbox_(WithTraceRoom(sandbox)), folder_(std::move(folder)) {
    std::error_code ec;
    fs::create_directories(folder_, ec);
    // The sandbox's user only passes through to its own scratch folder.
    chmod(folder_.c_str(), 0711);
    std::vector<fs::path> left;
    for (const auto& e : fs::directory_iterator(folder_, ec)) {
        const std::string name = e.path().filename().string();
        if (name.rfind(kScratchPrefix, 0) == 0 || name.ends_with(".png.new")) left.push_back(e.path());
    }
    for (const fs::path& p : left) fs::remove_all(p, ec);
}

std::string PathPictures::PathOf(int64_t id) const { return folder_ + "/" + std::to_string(id) + ".png"; }

bool PathPictures::Has(int64_t id) const {
    std::error_code ec;
    return fs::is_regular_file(PathOf(id), ec);
}

std::optional<std::string> PathPictures::Png(int64_t id) const {
    std::ifstream in(PathOf(id), std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void PathPictures::AfterVerdict(int64_t id, RunService& runs, const CourseService& courses,
                                const std::atomic<bool>& stopping) {
    try {
        const auto run = runs.Get(id);
        if (!run || run->status != RunStatus::Verified || Has(id)) return;
        const auto course = courses.Find(run->course);
        if (!course || course->map.empty()) return;
        std::string why;
        if (!Make(id, runs.File(id), course->map, &stopping, why) && !stopping)
            std::fprintf(stderr, "vorlan-moto-server: run %lld: no path picture: %s\n", static_cast<long long>(id),
                         why.c_str());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "vorlan-moto-server: run %lld: no path picture: %s\n", static_cast<long long>(id), e.what());
    }
}

bool PathPictures::Make(int64_t id, const std::string& raceFile, const std::string& mapPng,
                        const std::atomic<bool>* cancel, std::string& why) {
    pathmap::Map map;
    if (!pathmap::LoadMap(mapPng, map, why)) return false;

    std::string scratch = folder_ + "/" + kScratchPrefix + "XXXXXX";
    if (!mkdtemp(scratch.data())) {
        why = "cannot make a folder for the trace";
        return false;
    }
    const RemovedFolder cleanup{scratch};
    const SandboxResult raced = sandbox_.Trace(raceFile, scratch, cancel);
    if (!raced.started) {
        why = raced.error;
        return false;
    }
    if (raced.cancelled || raced.timedOut || raced.exitStatus != 0) {
        // A trace past the file limit ends the verifier with SIGXFSZ.
        why = raced.cancelled ? "stopped"
              : raced.timedOut ? "the verifier ran past its time"
              : raced.exitStatus == 128 + SIGXFSZ ? "the trace is over " + std::to_string(kMaxTraceMiB) + " MiB"
                                                  : "the verifier exited with " + std::to_string(raced.exitStatus);
        return false;
    }
    auto trace = ReadBounded(scratch + "/trace.jsonl", int64_t{kMaxTraceMiB} * 1024 * 1024, why);
    if (!trace) return false;
    // Read where it lies, not copied once more.
    struct View : std::streambuf {
        explicit View(std::string& s) { setg(s.data(), s.data(), s.data() + s.size()); }
    } view(*trace);
    std::istream lines(&view);
    std::array<pathmap::BikeStats, 3> stats;
    if (!pathmap::DrawTrace(lines, map, stats, why)) {
        why = "trace: " + why;
        return false;
    }
    const std::string png = pathmap::EncodePng(map);
    // Written beside its place and renamed into it: a page never sees half a picture.
    const std::string final = PathOf(id), staging = final + ".new";
    {
        std::ofstream out(staging, std::ios::binary | std::ios::trunc);
        if (png.empty() || !out.write(png.data(), static_cast<std::streamsize>(png.size())) || !out.flush()) {
            why = "cannot write " + staging;
            return false;
        }
    }
    std::error_code ec;
    fs::rename(staging, final, ec);
    if (ec) {
        fs::remove(staging, ec);
        why = "cannot store the picture";
        return false;
    }
    return true;
}

}  // namespace server
