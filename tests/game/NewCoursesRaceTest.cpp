// The courses made from descriptions race as well as the desert: on every
// difficulty, with the player's bike on autopilot, every bike rides its three
// laps on the road, never stands slowed for long unless a fallen box holds it,
// and on normal the three finish close together. Where a course has them, the
// excavator's arm swings and the gate moves in the race.

#include "JsonLines.h"
#include "RaceRuns.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cmath>
#include <string>

namespace {

struct BikeFigures {
    long racing = 0, onRoad = 0, slow = 0, longestSlow = 0;
    long finishFrame = -1;
    int lap = 1;
};

struct RaceFigures {
    BikeFigures bikes[3];
    long armFrames = 0, gateFrames = 0;  // frames the arm swung, the gate moved
};

RaceFigures Race(const std::string& course, const std::string& difficulty, long frames) {
    const SharedRunResult run = CourseAutopilotRace(course, difficulty, frames);
    EXPECT_EQ(run.status, 0);
    RaceFigures race;
    double gate = 0.0;
    for (const nlohmann::json& frame : ReadJsonLines(run.dir / "race.jsonl")) {
        EXPECT_EQ(frame["courseId"], course);
        race.armFrames += frame["obstacles"]["armMoving"].get<bool>();
        race.gateFrames += frame["walls"]["offset"].get<double>() != gate;
        gate = frame["walls"]["offset"];
        const bool racing = frame["mode"] == 0 && frame["timer"]["countdown"] == 0;
        if (!racing) continue;
        const auto& boxes = frame["obstacles"]["boxes"];
        for (size_t i = 0; i < 3; ++i) {
            const auto& b = frame["bikes"][i];
            BikeFigures& bike = race.bikes[i];
            bike.lap = b["lap"];
            if (bike.lap >= 4) {
                if (bike.finishFrame < 0) bike.finishFrame = frame["frame"];
                continue;
            }
            ++bike.racing;
            bike.onRoad += !frame["course"]["onSand"][i].get<bool>();
            // A box lying against the bike holds it; that is the box's doing.
            bool held = false;
            for (const auto& box : boxes)
                if (box["active"] == true && std::hypot(double(box["pos"][0]) - double(b["pos"][0]),
                                                        double(box["pos"][2]) - double(b["pos"][2])) < 3.5)
                    held = true;
            const bool slow = double(b["speed"]) < 0.04 && !held;
            bike.slow = slow ? bike.slow + 1 : 0;
            bike.longestSlow = std::max(bike.longestSlow, bike.slow);
        }
    }
    return race;
}

void CheckCourse(const std::string& course, long frames, bool excavator, bool gate) {
    long gateFrames = 0;
    for (const std::string difficulty : {"easy", "normal", "hard"}) {
        SCOPED_TRACE(course + " on " + difficulty);
        const RaceFigures race = Race(course, difficulty, frames);
        // The bikes ride over the floor switch, so the arm swings on every difficulty.
        if (excavator) {
            EXPECT_GE(race.armFrames, 121);
        }
        gateFrames += race.gateFrames;
        std::printf("%s %s: the arm swung %ld frames, the gate moved %ld\n", course.c_str(), difficulty.c_str(), race.armFrames,
                    race.gateFrames);
        long first = -1, last = -1;
        for (int i = 0; i < 3; ++i) {
            SCOPED_TRACE("bike " + std::to_string(i));
            const BikeFigures& bike = race.bikes[i];
            ASSERT_GT(bike.racing, 1000);
            EXPECT_GE(bike.lap, 4) << "did not finish three laps";
            EXPECT_GE(double(bike.onRoad) / double(bike.racing), 0.95);
            EXPECT_LE(bike.longestSlow, 120) << "below a tenth of top speed for more than two seconds";
            first = first < 0 ? bike.finishFrame : std::min(first, bike.finishFrame);
            last = std::max(last, bike.finishFrame);
            std::printf("%s %s bike %d: finished at frame %ld, on the road %.1f%%, longest slow %ld frames\n",
                        course.c_str(), difficulty.c_str(), i, bike.finishFrame,
                        100.0 * double(bike.onRoad) / double(bike.racing), bike.longestSlow);
        }
        if (difficulty == "normal") {
            EXPECT_LE(last - first, 900) << "the three finish more than 15 s apart";
        }
    }
    if (gate) {
        EXPECT_GT(gateFrames, 0) << "no bike moved the gate in three races";
    }
}

}  // namespace

TEST(NewCourses, RiversideRacesOnEveryDifficulty) { CheckCourse("riverside", 7300, true, true); }

TEST(NewCourses, CanyonRacesOnEveryDifficulty) { CheckCourse("canyon", 6450, true, false); }
