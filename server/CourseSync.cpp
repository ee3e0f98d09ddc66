#include "server/CourseSync.h"

#include "server/RemovedFolder.h"
#include "stage/course/CourseReader.h"

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>

namespace server {

namespace fs = std::filesystem;

namespace {

size_t SharedCount(const CourseService& courses) {
    size_t n = 0;
    for (const CourseInfo& c : courses.All()) n += c.shared ? 1 : 0;
    return n;
}

void Log(const std::string& id, const std::string& why) {
    std::fprintf(stderr, "vorlan-moto-server: shared course %s: %s\n", id.c_str(), why.c_str());
}

}  // namespace

int CourseSync::Sync() {
    std::lock_guard lock(making_);
    int made = 0;
    const auto now = std::chrono::steady_clock::now();
    for (const auto& course : storage_.SharedCourses()) {
        if (courses_.Find(course.id) || refused_.count(course.id)) continue;
        if (const auto at = later_.find(course.id); at != later_.end() && at->second > now) continue;
        const Outcome outcome = Make(course);
        later_.erase(course.id);
        if (outcome == Outcome::Made) ++made;
        if (outcome == Outcome::Refused) refused_.insert(course.id);
        if (outcome == Outcome::Later) later_[course.id] = now + std::chrono::seconds(kLaterSeconds);
    }
    return made;
}

void CourseSync::SyncIfBehind() {
    const int64_t stored = storage_.SharedCourseCount();
    {
        std::lock_guard lock(making_);
        const auto now = std::chrono::steady_clock::now();
        size_t waiting = 0;
        for (const auto& [id, at] : later_) waiting += at > now ? 1 : 0;
        if (stored <= static_cast<int64_t>(SharedCount(courses_) + refused_.size() + waiting)) return;
    }
    Sync();
}

CourseSync::Outcome CourseSync::Make(const Storage::SharedCourse& course) {
    if (course.description.empty()) {
        Log(course.id, "stored without its description: it cannot be made here");
        return Outcome::Refused;
    }
    std::string scratch = (fs::temp_directory_path() / "vorlan-moto-course-XXXXXX").string();
    if (!mkdtemp(scratch.data())) {
        Log(course.id, "no folder to make it in");
        return Outcome::Later;
    }
    chmod(scratch.c_str(), 0755);
    const RemovedFolder cleanup{scratch};
    const SandboxResult made = sandbox_.MakeCourse(course.description, scratch);
    std::error_code ec;
    const fs::path folder = fs::path(scratch) / course.id;
    // A busy machine (the maker past its wall-clock limit) or a sandbox
    // that failed is tried again next time; a refusal is for good.
    if (!made.started || made.timedOut || made.cancelled || made.exitStatus >= 128) {
        Log(course.id, "the course maker could not make it this time; trying again later");
        return Outcome::Later;
    }
    if (made.exitStatus != 0 || !fs::is_directory(folder, ec)) {
        Log(course.id, "the course maker did not make it again: " + made.err.substr(0, made.err.find('\n')));
        return Outcome::Refused;
    }
    for (const auto& e : fs::recursive_directory_iterator(folder, ec))
        if (e.is_symlink()) {
            Log(course.id, "the course folder holds a link");
            return Outcome::Refused;
        }
    // Moved in whole: copied beside its place, then renamed into it.
    const fs::path final = fs::path(sharedRoot_) / course.id;
    const fs::path staging = fs::path(sharedRoot_) / ("." + course.id + ".new");
    fs::remove_all(staging, ec);
    fs::copy(folder, staging, fs::copy_options::recursive, ec);
    CourseData data;
    std::string error;
    if (ec || !CourseReader::Load(staging.string(), false, data, error)) {
        fs::remove_all(staging, ec);
        Log(course.id, ec ? "cannot be stored" : error);
        return ec ? Outcome::Later : Outcome::Refused;
    }
    // Another version of the maker would make another course: its runs would not count.
    if (data.gameplayHash != course.hash) {
        fs::remove_all(staging, ec);
        Log(course.id, "made again with hash " + data.gameplayHash + ", not the " + course.hash + " it was shared with");
        return Outcome::Refused;
    }
    fs::remove_all(final, ec);
    fs::rename(staging, final, ec);
    if (ec) {
        Log(course.id, "cannot be moved into " + final.string());
        return Outcome::Later;
    }
    CourseInfo info{course.id, data.name, data.laps, data.gameplayHash, {}, true, final.string()};
    if (fs::is_regular_file(final / "map.png", ec)) info.map = (final / "map.png").string();
    courses_.Add(info);
    return Outcome::Made;
}

void CourseSync::Start(int everySeconds) {
    thread_ = std::thread([this, everySeconds] {
        std::unique_lock lock(mutex_);
        while (!stopping_) {
            lock.unlock();
            try {
                SyncIfBehind();
            } catch (const std::exception&) {
                // The database is away: next time.
            }
            lock.lock();
            wake_.wait_for(lock, std::chrono::seconds(everySeconds), [this] { return stopping_; });
        }
    });
}

void CourseSync::Stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
}

}  // namespace server
