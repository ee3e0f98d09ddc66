#pragma once
// The player's best race (with its laps) and best lap, with the days they
// were set, for each difficulty, kept in a small versioned text file between
// runs. No GL, AL or SDL here.

#include "profile/Settings.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct RecordEntry {
    uint32_t ms = 0;
    std::string date;            // YYYY-MM-DD, as the player's clock read it
    std::vector<uint32_t> laps;  // the best race's laps; empty for a lap, and for races kept before laps were
};

// One difficulty's records.
class Records {
public:
    std::optional<RecordEntry> best;     // the whole race
    std::optional<RecordEntry> bestLap;  // any one lap

    // A finished race: takes what it beat (equal is not better). True when
    // the race time itself beat the best.
    struct Outcome {
        bool newBest = false;
        bool newBestLap = false;
    };
    Outcome Offer(uint32_t raceMs, const uint32_t* lapMs, int laps, const std::string& date);
    // Keeps the better of each time of both (another copy of the game's, say).
    void Merge(const Records& other);
    bool Empty() const { return !best && !bestLap; }

    // Times past this are not a race this game can have run.
    static constexpr uint32_t kMaxMs = 10u * 60u * 1000u;
    static constexpr size_t kMaxLaps = 9;
};

// The records file: every difficulty's records. A file from before the
// difficulties were kept apart holds normal's.
class RecordsBook {
public:
    Records& For(Difficulty difficulty) { return byDifficulty[static_cast<size_t>(difficulty)]; }
    const Records& For(Difficulty difficulty) const { return byDifficulty[static_cast<size_t>(difficulty)]; }
    void Merge(const RecordsBook& other);

    // The file's text; Parse refuses anything not written by Text (a foreign,
    // truncated or damaged file) and leaves the book empty then.
    std::string Text() const;
    bool Parse(const std::string& text);

private:
    std::array<Records, 3> byDifficulty;
};

// Today as YYYY-MM-DD in local time.
std::string TodayDate();
