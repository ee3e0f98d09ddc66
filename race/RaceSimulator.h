#pragma once
// Races a race file again: the course as loaded, the generator and the bikes
// as the file says they stood when its title lead-in began, the lead-in's
// throttle, then every update's keys and clock readings. Every state hash the
// file claims is worked out again, and so is its result. No window, device
// or sound is needed: the game's own Game runs with whatever framework the
// program links (the verifier's silent stand-ins).

#include "framework/platform/Platform.h"
#include "race/RaceFile.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

struct CourseData;
class Game;

struct RaceCheck {
    enum class Verdict { Verified, Mismatch, Refused };
    Verdict verdict = Verdict::Refused;
    std::string reason;  // for a mismatch or a refusal, one line
    std::optional<uint32_t> firstMismatch;
    // As worked out (up to where the race was raced).
    uint32_t finishUpdate = 0;
    uint32_t countdownUpdate = 0;
    std::vector<uint32_t> lapEnds;
    uint32_t rank = 0;
    uint32_t hudMs = 0;
    // A digest of the state hashes checked, in order: two race files with
    // the same one are the same race.
    uint64_t statesHash = 0;

    uint32_t RaceUpdates() const { return finishUpdate - countdownUpdate; }
    std::vector<uint32_t> LapUpdates() const { return LapLengths(countdownUpdate, lapEnds); }
    static const char* VerdictName(Verdict v);
};

class RaceSimulator final : public IPlatform {
public:
    // Called after every update of the race (not the lead-in): the update's
    // index and the race clock's last reading.
    using AfterUpdate = std::function<void(uint32_t update, uint32_t ms, const Game& game)>;

    // course must be the one the file names, with its gameplay hash.
    RaceCheck Run(const RaceFile& race, const CourseData& course, const AfterUpdate& after = {});

    bool IsKeyDown(Key key) override { return (keys & (1u << static_cast<unsigned>(key))) != 0; }
    bool IsMenuKeyDown(Key) override { return false; }
    uint32_t Milliseconds() override;
    void Sleep(uint32_t) override {}
    int TakeKeyPressed() override { return 0; }
    std::string LocalDate() override { return date; }

private:
    uint32_t keys = 0;
    const std::vector<uint32_t>* readings = nullptr;
    size_t nextReading = 0;
    uint32_t lastReading = 0;
    std::string date;
};
