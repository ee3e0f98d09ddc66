#pragma once
// Whole races on the game's courses that several tests read: the real game,
// headless, the player's bike on autopilot from Enter on frame 5, every frame
// traced and the race kept as a race file. Played once per build (SharedRun.h).

#include "SharedRun.h"

#include <string>

inline SharedRunResult CourseAutopilotRace(const std::string& course, const std::string& difficulty, long frames) {
    return SharedRun("course-" + course + "-" + difficulty,
                     {{"start.txt", "5 5 Enter\n"}, {"settings.ini", "difficulty = " + difficulty + "\n"}},
                     "--headless --no-render --fixed-clock --uncapped --autopilot --seed 7 --frames " +
                         std::to_string(frames) + " --profile {dir} --course " + course +
                         " --input {dir}/start.txt --trace {dir}/race.jsonl --save-run {dir}/race.run");
}
