#pragma once
// The player's best race and best lap, with the days they were set, kept in
// a small versioned text file between runs. No GL, AL or SDL here.

#include <cstdint>
#include <optional>
#include <string>

struct RecordEntry {
    uint32_t ms = 0;
    std::string date;  // YYYY-MM-DD, as the player's clock read it
};

class Records {
public:
    std::optional<RecordEntry> best;     // the whole race
    std::optional<RecordEntry> bestLap;  // any one lap

    // The file's text; Parse refuses anything not written by Text (a foreign,
    // truncated or damaged file) and leaves the records empty then.
    std::string Text() const;
    bool Parse(const std::string& text);

    // A finished race: takes what it beat (equal is not better). True when
    // the race time itself beat the best.
    struct Outcome {
        bool newBest = false;
        bool newBestLap = false;
    };
    Outcome Offer(uint32_t raceMs, const uint32_t* lapMs, int laps, const std::string& date);

    // Times past this are not a race this game can have run.
    static constexpr uint32_t kMaxMs = 10u * 60u * 1000u;
};

// Today as YYYY-MM-DD in local time.
std::string TodayDate();
