#pragma once
// Whether a course can be raced: the game's own race, on the silent
// framework, with the player's bike on autopilot and the two computer bikes,
// once per seed. A course is refused when a bike rides off the road too
// long, stands nearly still, or does not finish in time; the refusal names
// the seed, the bike and the stretch of road.

#include "framework/Math.h"
#include "stage/course/CourseData.h"

#include <cstdint>
#include <string>
#include <vector>

struct RaceabilityRules {
    unsigned firstSeed = 1, lastSeed = 10;
    // Of a bike's racing updates (from the end of the countdown to its finish).
    double maxSandShare = 0.05;
    // Updates in a row below a tenth of the bike's top speed: 2 s.
    uint32_t maxSlowUpdates = 125;
    // The time limit: every lap at this share of the top speed, on average.
    double slowestAverage = 1.0 / 3.0;
};

// Places on the lap by the course's checkpoints: the start line, checkpoint
// 1, 2 ... and back to the start line.
class LapMap {
public:
    explicit LapMap(const std::vector<Vector3>& checkpoints);

    struct Place {
        float along = 0.0f;  // metres after the start line
        size_t stretch = 0;  // 0: from the start line to checkpoint 1; the last: into the finish
    };
    // A bike heading for checkpoint slot `heading` (as the bikes count them, from 0).
    Place Locate(const Vector3& position, uint32_t heading) const;
    float Length() const { return starts_.empty() ? 0.0f : starts_.back(); }
    // "480 to 530 m after the start line, approaching checkpoint 12 of 41".
    std::string Describe(size_t stretch, float from, float to) const;

private:
    std::vector<Vector3> points_;  // the checkpoints, then the start line
    std::vector<float> starts_;    // along the lap where each stretch starts; the last is the lap's length
};

struct RaceabilityVerdict {
    bool raceable = false;
    std::string line;  // the refusal, or the summary when raceable
};

class RaceabilityCheck {
public:
    explicit RaceabilityCheck(RaceabilityRules rules = {}) : rules_(rules) {}
    // course is loaded and checked already; the game's Data folder is the working folder's.
    RaceabilityVerdict Run(const CourseData& course) const;

private:
    RaceabilityRules rules_;
};
