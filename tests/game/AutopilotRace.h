#pragma once
// The whole race several tests read: the real game, headless, the player's
// bike on autopilot from Enter on frame 5 through three laps and the result
// screen, every frame traced and the race kept as a race file. Played once per build (see SharedRun.h).

#include "SharedRun.h"

inline SharedRunResult AutopilotRace() {
    return SharedRun("autopilot-race", {{"start.txt", "5 5 Enter\n"}},
                     "--headless --no-render --fixed-clock --uncapped --autopilot --seed 7 --frames 9000 "
                     "--input {dir}/start.txt --trace {dir}/race.jsonl --save-run {dir}/race.run");
}
