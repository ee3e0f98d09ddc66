#pragma once
// A verified run's path over its course's map, for the run's page: the
// verifier races the file again in the sandbox writing its trace, and the
// path-map drawing puts the three bikes' lines on the map. Each picture is
// made once, kept as FOLDER/ID.png (named by the run's number alone), and
// a run without one simply shows its page without it.

#include "server/Sandbox.h"
#include "server/Services.h"

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

namespace server {

class PathPictures {
public:
    // folder is made if missing; traces left there by a stopped server are
    // removed. The verifier runs in a sandbox like the checks', allowed a
    // file of the trace's bound.
    PathPictures(const SandboxConfig& sandbox, std::string folder);
    // After a run's verdict: a verified run on a course with a map gets its
    // picture; what stops it is said on standard error. Never throws.
    void AfterVerdict(int64_t id, RunService& runs, const CourseService& courses, const std::atomic<bool>& stopping);
    // Makes the picture of a race file over the map picture at mapPng; false with why.
    bool Make(int64_t id, const std::string& raceFile, const std::string& mapPng, const std::atomic<bool>* cancel,
              std::string& why);
    bool Has(int64_t id) const;
    std::optional<std::string> Png(int64_t id) const;

    // A trace takes about 2 KiB an update: this is a race of some nine
    // minutes. Longer ones get no picture.
    static constexpr int kMaxTraceMiB = 64;

private:
    std::string PathOf(int64_t id) const;

    Sandbox sandbox_;
    std::string folder_;
};

}  // namespace server
