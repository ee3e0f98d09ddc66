#pragma once
// One race and nothing else, as a small text file a verifier can check: the
// course, the difficulty, what the simulation read in each update from the
// update that left the title to the player's finish, the simulation's state
// hash every 60 updates and at the finish, and the result it claims.
// docs/run-format.md describes every line.
//
//   vorlan-moto-race 1
//   course ID HASH
//   difficulty easy|normal|hard
//   autopilot 0|1
//   build VERSION COMMIT
//   date YYYY-MM-DD
//   random FRONT REAR W0 ... W30          the generator as the title lead-in begins
//   bike SPEED CHECKPOINT LAP TOLERANCE   three lines: player, first, second computer bike
//   blink ALPHA RISING                    the title prompt's blink, as the lead-in begins
//   title RUN...                          the lead-in: throttle 0|1 per title update, as COUNTxBIT
//   clock MS                              the race clock before the race's first reading
//   u KEYS DELTAS [xCOUNT]                one line per update (COUNT alike in a row)
//   hash UPDATE HEX                       the state after that update
//   result FINISH COUNTDOWN HUDMS RANK LAP-END...
//   end UPDATES

#include <array>
#include <cstdint>
#include <string>
#include <vector>

struct RaceUpdate {
    uint32_t keys = 0;                // bit k: Key number k was read down
    std::vector<uint32_t> readings;  // every race clock reading, in order
    bool operator==(const RaceUpdate&) const = default;
};

struct RaceBikeStart {
    float speed = 0.0f;
    uint32_t checkpointIndex = 0;
    uint32_t lap = 1;
    int32_t steerTolerance = 5;
    bool operator==(const RaceBikeStart&) const = default;
};

struct RaceHash {
    uint32_t update = 0;
    uint64_t hash = 0;
    bool operator==(const RaceHash&) const = default;
};

// Each lap's updates: the first from the end of the countdown, each other
// from the end of the one before.
std::vector<uint32_t> LapLengths(uint32_t countdownUpdate, const std::vector<uint32_t>& lapEnds);

struct RaceFile {
    static constexpr int kVersion = 1;
    static constexpr const char* kMagic = "vorlan-moto-race";
    static constexpr size_t kMaxBytes = 1u << 20;
    // An hour of updates at 16 ms: no race of ours lasts that long.
    static constexpr uint32_t kMaxUpdates = 60u * 60u * 1000u / 16u;
    // The title updates raced again before the race: enough for every puff
    // of exhaust seen at the start to be made again.
    static constexpr size_t kLeadIn = 16;
    static constexpr uint32_t kHashEvery = 60;
    static constexpr int kRandomWords = 31;

    std::string course;
    std::string courseHash;
    std::string difficulty = "normal";
    bool autopilot = false;
    std::string buildVersion;
    std::string buildCommit;
    std::string date;

    std::array<int32_t, kRandomWords> randomWords{};
    int randomFront = 3;
    int randomRear = 0;
    std::array<RaceBikeStart, 3> bikes{};
    // The title prompt's blink: nothing in the race depends on it, but the
    // race's trace shows it.
    float blinkAlpha = 1.0f;
    bool blinkRising = false;
    std::vector<uint8_t> leadIn;  // throttle read in each title update before the race
    uint32_t clockStart = 0;
    std::vector<RaceUpdate> updates;
    std::vector<RaceHash> hashes;

    // What the race claims; the verifier works each out again.
    uint32_t finishUpdate = 0;     // the update after which the player had finished
    uint32_t countdownUpdate = 0;  // the update after which the countdown stood at 0
    uint32_t hudMs = 0;            // the race clock's time on the HUD
    uint32_t rank = 0;
    std::vector<uint32_t> lapEnds;  // the update each lap ended in

    // Updates from the end of the countdown to the finish, and each lap's.
    uint32_t RaceUpdates() const { return finishUpdate - countdownUpdate; }
    std::vector<uint32_t> LapUpdates() const { return LapLengths(countdownUpdate, lapEnds); }
    static constexpr uint32_t kUpdateMs = 16;

    std::string Text() const;
    // False with one line naming the line and field when text is not a race
    // file this build can read.
    static bool Parse(const std::string& text, RaceFile& out, std::string& error);

    bool operator==(const RaceFile&) const = default;
};
