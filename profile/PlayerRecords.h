#pragma once
// What a race adds to the player's records: lap times and splits as they
// come, the line the player rides, and at the finish the new bests and the
// ghost of the best race, saved in the data folder, each difficulty apart.
// It is told the race's state each frame in plain numbers and changes
// nothing of the race. No GL, AL or SDL here.

#include "profile/GhostTrack.h"
#include "profile/Records.h"

#include <functional>
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

    // Reads the records and the ghosts from folder (the data folder when
    // empty). A damaged file is set aside with one line on standard error; one
    // that is there but cannot be read is said once and never written over.
    // Without readFiles the race starts with none (records of an older
    // version of the course) and saves into folder all the same.
    void Load(const std::string& folder = {}, bool readFiles = true);
    void Frame(const RaceState& state);
    // The ghost key, pressed or not this frame: a press shows or hides it.
    // A key that belongs to something else this frame (a menu) does nothing.
    void GhostKey(bool down, bool ownedElsewhere = false);
    // Whether a ghost starts shown (the --no-ghost option, a setting).
    void SetGhostShown(bool shown) { ghostShown = shown; }
    // The difficulty raced: its records are shown and compared, its ghost rides.
    void SetDifficulty(Difficulty difficulty);
    Difficulty CurrentDifficulty() const { return difficulty; }

    bool GhostShown() const { return ghostShown; }
    // Online, the ghost key steps through the player's best, the world
    // record and none; the record's line (null until it has been fetched
    // and raced again) rides once it is there.
    void OfferRecordGhost(const GhostTrack* line) {
        recordOffered = true;
        recordLine = line && !line->Empty() ? line : nullptr;
    }
    void SetRecordChosen(bool chosen) { ridingRecord = chosen; }
    // The world record is the ghost chosen.
    bool RecordGhostShown() const { return ghostShown && ridingRecord; }
    // Where the ghost is this frame; nothing while there is no ghost.
    std::optional<GhostPose> GhostNow() const;

    Records records;                      // the current difficulty's
    bool newRecord = false;               // this race beat the old best
    std::vector<uint32_t> lapTimes;       // this race's finished laps
    int lastSplitMs = 0;                  // the last lap against the best lap before it
    int splitFramesLeft = 0;              // frames the split stays on screen
    bool splitKnown = false;              // there was a best lap to compare with
    // The day a record is set; the platform's clock in the game.
    std::function<std::string()> today = TodayDate;

    int laps = 3;  // the course's; the race is over after the last
    // Written to course.txt beside the records whenever they are saved (none when empty).
    std::string courseStamp;
    static constexpr int kSplitFrames = 120;  // two seconds

    std::string RecordsPath() const { return folder + "/records.txt"; }
    // ghost.txt for normal (as before difficulties were kept apart), ghost-easy.txt, ghost-hard.txt.
    std::string GhostPath(Difficulty d) const;
    std::string GhostPath() const { return GhostPath(difficulty); }
    // race.txt, race-easy.txt, race-hard.txt: the best race's race file.
    std::string RacePath(Difficulty d) const;
    // The finished race's file, kept beside the ghost it has just saved
    // (a race that saved no ghost keeps nothing).
    void KeepRaceFile(const std::string& text);

private:
    void BeginRace();
    void Finish(uint32_t raceMs);
    // Reads the files again, keeps the better of each time and writes.
    void SaveMerged(bool newGhost);
    bool Save(const std::string& path, const std::string& text);
    void LoadGhost(Difficulty d);

    std::string folder;
    RecordsBook book;       // every difficulty's, as last read or saved
    Difficulty difficulty = Difficulty::Normal;
    Difficulty raceDifficulty = Difficulty::Normal;
    GhostTrack best[3];     // each difficulty's best race line, as saved
    GhostTrack playing;     // the line the ghost rides this race
    GhostTrack riding;      // the line the player rides now
    bool inRace = false;
    bool finished = false;
    long long raceFrame = -1;
    uint32_t lapSeen = 1;
    uint32_t lapStartMs = 0;
    bool ghostShown = true;
    bool ghostKeyDown = false;
    const GhostTrack* recordLine = nullptr;  // the online client's
    bool recordOffered = false;
    bool ridingRecord = false;
    bool saidCannotWrite = false;
    bool ghostSaved = false;  // this race's line is the ghost on disk
    // Files that are there but could not be read: never written over this run.
    bool recordsBlocked = false;
    bool ghostBlocked[3] = {false, false, false};
};
