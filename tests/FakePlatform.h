#pragma once
// A platform for tests: a clock that moves only when told or when slept on,
// keys set by hand, and a record of every sleep and of the readings taken.

#include "framework/platform/Platform.h"

#include <set>
#include <vector>

class FakePlatform final : public IPlatform {
public:
    bool IsKeyDown(Key key) override { return down.count(key) != 0; }
    uint32_t Milliseconds() override {
        ++reads;
        return now;
    }
    void Sleep(uint32_t ms) override {
        sleeps.push_back(ms);
        now += ms;
    }
    // The pace clock: its own, finer, moved the same way.
    double PaceMilliseconds() override {
        ++paceReads;
        return paceNow;
    }
    void PaceSleep(double ms) override {
        paceSleeps.push_back(ms);
        paceNow += ms;
    }

    uint32_t now = 0;
    int reads = 0;  // clock readings taken
    std::set<Key> down;
    std::vector<uint32_t> sleeps;
    double paceNow = 0.0;
    int paceReads = 0;
    std::vector<double> paceSleeps;
};
