#pragma once
// Shared courses on many servers: a course shared through one server is in
// the database with the description it was made from, and every other
// server makes it again from that (in the sandbox, as the first did) the
// first time it is missing, so every server serves and verifies every
// course. It looks when asked and every few seconds on a thread of its own.

#include "server/Sandbox.h"
#include "server/Services.h"
#include "server/Storage.h"

#include <atomic>
#include <chrono>
#include <map>
#include <condition_variable>
#include <mutex>
#include <set>
#include <string>
#include <thread>

namespace server {

class CourseSync {
public:
    CourseSync(Storage& storage, CourseService& courses, const Sandbox& sandbox, std::string sharedRoot)
        : storage_(storage), courses_(courses), sandbox_(sandbox), sharedRoot_(std::move(sharedRoot)) {}
    ~CourseSync() { Stop(); }
    CourseSync(const CourseSync&) = delete;
    CourseSync& operator=(const CourseSync&) = delete;

    // Makes the courses the database has and this server does not; the number made.
    int Sync();
    // Sync only when the database holds more shared courses than this
    // server has (one small query): before each check is verified.
    void SyncIfBehind();
    void Start(int everySeconds);
    void Stop();

    static constexpr int kLaterSeconds = 30;

private:
    enum class Outcome { Made, Refused, Later };
    Outcome Make(const Storage::SharedCourse& course);

    Storage& storage_;
    CourseService& courses_;
    const Sandbox& sandbox_;
    std::string sharedRoot_;
    std::mutex making_;
    std::set<std::string> refused_;  // made and found wrong: not tried again
    // Not made for a passing reason (a busy machine): not tried again until then,
    // so that the checks of runs on other courses go on meanwhile.
    std::map<std::string, std::chrono::steady_clock::time_point> later_;
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
};

}  // namespace server
