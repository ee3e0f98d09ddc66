#pragma once
// What a race adds to the player's records: lap times and splits as they
// come, the line the player rides, and at the finish the new bests and the
// ghost of the best race, saved in the data folder. It is told the race's
// state each frame in plain numbers and changes nothing of the race.
// No GL, AL or SDL here.

#include "profile/GhostTrack.h"
#include "profile/Records.h"

#include <optional>
#include <string>
#include <vector>

class PlayerRecords {
public:
    // What the race looked like at the end of one frame.
    struct RaceState {
        bool racing = false;    // false on the title screen
        int countdown = 0;      // the start countdown; the race runs at 0
        uint32_t raceMs = 0;    // the race clock
        uint32_t lap = 1;       // the player's lap, laps + 1 once finished
        GhostPose player;       // the player's bike
    };

    // Reads the records and the ghost from folder (the data folder when
    // empty). A damaged file is set aside with one line on standard error.
    void Load(const std::string& folder = {});
    void Frame(const RaceState& state);
    // The ghost key, pressed or not this frame: a press shows or hides it.
    void GhostKey(bool down);
    // Whether a ghost starts shown (the --no-ghost option, a setting).
    void SetGhostShown(bool shown) { ghostShown = shown; }

    bool GhostShown() const { return ghostShown; }
    // Where the ghost is this frame; nothing while there is no ghost.
    std::optional<GhostPose> GhostNow() const;

    Records records;
    bool newRecord = false;               // this race beat the old best
    std::vector<uint32_t> lapTimes;       // this race's finished laps
    int lastSplitMs = 0;                  // the last lap against the best lap before it
    int splitFramesLeft = 0;              // frames the split stays on screen
    bool splitKnown = false;              // there was a best lap to compare with

    int laps = 3;  // the course's; the race is over after the last
    // Written to course.txt beside the records whenever they are saved (none when empty).
    std::string courseStamp;
    static constexpr int kSplitFrames = 120;  // two seconds

    std::string RecordsPath() const { return folder + "/records.txt"; }
    std::string GhostPath() const { return folder + "/ghost.txt"; }

private:
    void BeginRace();
    void Finish(uint32_t raceMs);
    bool Save(const std::string& path, const std::string& text);

    std::string folder;
    GhostTrack best;        // the best race's line, as saved
    GhostTrack playing;     // the line the ghost rides this race
    GhostTrack riding;      // the line the player rides now
    bool inRace = false;
    bool finished = false;
    long long raceFrame = -1;
    uint32_t lapSeen = 1;
    uint32_t lapStartMs = 0;
    bool ghostShown = true;
    bool ghostKeyDown = false;
    bool saidCannotWrite = false;
};
