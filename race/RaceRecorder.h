#pragma once
// Keeps each race the game runs as a race file, as it goes: stands in front
// of the platform during every update and notes what the update read (the
// keys down, every clock reading), and after it how the race stands (the
// countdown's end, the laps, a state hash every 60 updates, the finish).
// The title before a race counts only as its last few updates' throttle,
// with the generator and the bikes as they stood when those began.

#include "framework/Random.h"
#include "framework/platform/Platform.h"
#include "race/RaceFile.h"

#include <array>
#include <deque>
#include <optional>

class Game;

class RaceRecorder final : public IPlatform {
public:
    // Around every update Game::Step runs: Begin puts the recorder in front of
    // the platform in force, End takes it away again and looks at the race.
    void BeginUpdate(const Game& game);
    void EndUpdate(const Game& game);
    // A new stage, its objects made: the title updates before it say nothing
    // of the next race.
    void StageLoaded(const Game& game);
    // The game was paused for ms: the race's clock leaves the pause out.
    void ShiftClock(uint32_t ms) { shift += ms; }
    // The last race that reached the player's finish, handed over once.
    std::optional<RaceFile> TakeFinished();

    bool IsKeyDown(Key key) override;
    bool IsMenuKeyDown(Key key) override { return inner->IsMenuKeyDown(key); }
    uint32_t Milliseconds() override;
    void Sleep(uint32_t ms) override { inner->Sleep(ms); }
    int TakeKeyPressed() override { return inner->TakeKeyPressed(); }
    std::string LocalDate() override { return inner->LocalDate(); }
    double PaceMilliseconds() override { return inner->PaceMilliseconds(); }
    void PaceSleep(double ms) override { inner->PaceSleep(ms); }

    // The start of a title update, as a race after it needs it.
    struct TitleUpdate {
        RandomState random;
        std::array<RaceBikeStart, 3> bikes{};
        float blinkAlpha = 1.0f;
        bool blinkRising = false;
        bool throttle = false;
    };
    static TitleUpdate Snapshot(const Game& game);

private:
    void BeginRace(const Game& game);
    void AfterRaceUpdate(const Game& game);

    IPlatform* inner = nullptr;
    bool inUpdate = false;
    bool stageLoaded = false;
    bool titleUpdate = false;
    TitleUpdate pending;
    std::deque<TitleUpdate> titles;  // the last few, oldest first
    RaceUpdate current;
    bool racing = false;
    RaceFile race;
    uint32_t lapSeen = 1;
    bool countdownSeen = false;
    uint32_t shift = 0;
    std::optional<RaceFile> finished;
};
