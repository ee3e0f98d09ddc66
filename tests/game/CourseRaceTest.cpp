// The course and the bikes fit: a real headless race, the player's bike on
// autopilot. Every bike laps the course without getting
// stuck on the gate, in a corner or on the fence, and stays on the road.

#include "AutopilotRace.h"
#include "JsonLines.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

TEST(CourseRace, BikesLapTheCourseOnTheRoadWithoutGettingStuck) {
    // The seed moves no bike (it only scatters fragments and puffs), so the
    // one autopilot race the end-to-end tests also read stands for them all.
    const SharedRunResult race = AutopilotRace();
    ASSERT_EQ(race.status, 0);
    {
        const fs::path trace = race.dir / "race.jsonl";
        struct Bike {
            long racing = 0, onRoad = 0, still = 0, longestStill = 0;
            double x = 0, z = 0;
            int lap = 1;
        } bikes[3];
        for (const nlohmann::json& frame : ReadJsonLines(trace)) {
            const bool racing = frame["mode"] == 0 && frame["timer"]["countdown"] == 0;
            for (size_t i = 0; i < 3; ++i) {
                const auto& b = frame["bikes"][i];
                const double x = b["pos"][0], z = b["pos"][2];
                Bike& bike = bikes[i];
                // Computer bikes race on after the finish; the player's finished
                // bike rides by the rules without the wall reflex, so it counts
                // only while it races.
                if (racing && (i > 0 || b["lap"] < 4)) {
                    ++bike.racing;
                    bike.onRoad += !frame["course"]["onSand"][i].get<bool>();
                    bike.still = std::hypot(x - bike.x, z - bike.z) < 0.02 ? bike.still + 1 : 0;
                    bike.longestStill = std::max(bike.longestStill, bike.still);
                }
                bike.x = x, bike.z = z, bike.lap = b["lap"];
            }
        }
        for (int i = 0; i < 3; ++i) {
            SCOPED_TRACE("bike " + std::to_string(i));
            EXPECT_GE(bikes[i].lap, 4);
            ASSERT_GT(bikes[i].racing, 1000);
            EXPECT_GE(double(bikes[i].onRoad) / double(bikes[i].racing), 0.85);
            EXPECT_LT(bikes[i].longestStill, 60) << "stuck for a second";
        }
    }
}
