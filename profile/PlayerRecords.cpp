#include "profile/PlayerRecords.h"

#include "profile/UserFiles.h"

#include <algorithm>
#include <cstdio>

namespace {
// Refused on reading: nothing the game writes comes near.
constexpr size_t kMaxRecordsBytes = 4096;
constexpr size_t kMaxGhostBytes = 8u << 20;
constexpr Difficulty kDifficulties[] = {Difficulty::Easy, Difficulty::Normal, Difficulty::Hard};

size_t Index(Difficulty d) { return static_cast<size_t>(d); }

// A file that is there but cannot be used goes aside, and the player is told
// once; a run that keeps the player's files as they are only says so.
void SetAsideDamaged(const std::string& path, const char* what) {
    if (!UserFiles::WritesAllowed()) {
        std::fprintf(stderr, "vorlan: %s file %s is damaged; playing without it\n", what, path.c_str());
        return;
    }
    const std::string moved = UserFiles::SetAside(path);
    if (moved.empty())
        std::fprintf(stderr, "vorlan: %s file %s is damaged and could not be moved aside; playing without it\n", what,
                     path.c_str());
    else
        std::fprintf(stderr, "vorlan: %s file %s is damaged; set aside as %s\n", what, path.c_str(), moved.c_str());
}

void SayUnreadable(const std::string& path, const std::string& error) {
    std::fprintf(stderr, "vorlan: cannot read %s (%s); it is kept as it is and nothing is saved over it this run\n",
                 path.c_str(), error.c_str());
}

// Reads one file into `into`. False only when it is there but cannot be read.
template <class T>
bool ReadOne(const std::string& path, size_t maxBytes, const char* what, T& into) {
    into = T{};
    std::string text, error;
    switch (UserFiles::Read(path, maxBytes, text, error)) {
        case UserFiles::ReadStatus::Missing: return true;  // none yet: nothing to say
        case UserFiles::ReadStatus::Unreadable: SayUnreadable(path, error); return false;
        case UserFiles::ReadStatus::TooBig: break;
        case UserFiles::ReadStatus::Ok:
            if (into.Parse(text)) return true;
            break;
    }
    into = T{};
    SetAsideDamaged(path, what);
    return true;
}
}  // namespace

std::string PlayerRecords::GhostPath(Difficulty d) const {
    if (d == Difficulty::Normal) return folder + "/ghost.txt";
    return folder + "/ghost-" + Settings::DifficultyName(d) + ".txt";
}

std::string PlayerRecords::RacePath(Difficulty d) const {
    if (d == Difficulty::Normal) return folder + "/race.txt";
    return folder + "/race-" + Settings::DifficultyName(d) + ".txt";
}

void PlayerRecords::KeepRaceFile(const std::string& text) {
    if (!ghostSaved) return;
    ghostSaved = false;
    UserFiles::FolderLock lock(folder);
    // Another copy of the game may have saved a better race since: its
    // ghost and race file stay together.
    const Difficulty d = raceDifficulty;
    GhostTrack onDisk;
    if (!ReadOne(GhostPath(d), kMaxGhostBytes, "ghost", onDisk) || onDisk.raceMs != best[Index(d)].raceMs) return;
    Save(RacePath(d), text);
}

void PlayerRecords::Load(const std::string& where, bool readFiles) {
    folder = where.empty() ? UserFiles::DataDir() : where;
    book = RecordsBook();
    for (GhostTrack& line : best) line.Clear();
    recordsBlocked = false;
    for (bool& blocked : ghostBlocked) blocked = false;
    if (!folder.empty() && readFiles) {
        recordsBlocked = !ReadOne(RecordsPath(), kMaxRecordsBytes, "records", book);
        for (Difficulty d : kDifficulties) LoadGhost(d);
    }
    records = book.For(difficulty);
    playing = best[Index(difficulty)];
}

void PlayerRecords::LoadGhost(Difficulty d) {
    GhostTrack& line = best[Index(d)];
    const std::string path = GhostPath(d);
    ghostBlocked[Index(d)] = !ReadOne(path, kMaxGhostBytes, "ghost", line);
    if (line.Empty()) return;
    // A ghost is the best race's line; one of another time (its records were
    // saved without it, or it outlived them) would ride a race that is not the record.
    const std::optional<RecordEntry>& raceBest = book.For(d).best;
    if (raceBest && raceBest->ms == line.raceMs) return;
    line.Clear();
    if (!UserFiles::WritesAllowed()) {
        std::fprintf(stderr, "vorlan: ghost file %s is not the best race's; playing without it\n", path.c_str());
        return;
    }
    const std::string moved = UserFiles::SetAside(path, ".stale");
    std::fprintf(stderr, "vorlan: ghost file %s is not the best race's; %s\n", path.c_str(),
                 moved.empty() ? "playing without it" : ("set aside as " + moved).c_str());
}

void PlayerRecords::SetDifficulty(Difficulty d) {
    if (d == difficulty) return;
    book.For(difficulty) = records;
    difficulty = d;
    records = book.For(d);
    if (!inRace) playing = best[Index(d)];
}

void PlayerRecords::GhostKey(bool down, bool ownedElsewhere) {
    if (down && !ghostKeyDown && !ownedElsewhere) {
        // Best, then the world record when there is one, then none.
        if (ghostShown && !ridingRecord && recordOffered) {
            ridingRecord = true;
        } else {
            ghostShown = !ghostShown;
            ridingRecord = false;
        }
    }
    ghostKeyDown = down;
}

std::optional<GhostPose> PlayerRecords::GhostNow() const {
    if (RecordGhostShown()) {
        if (!recordLine) return std::nullopt;
        return recordLine->At(raceFrame);
    }
    if (playing.Empty()) return std::nullopt;
    return playing.At(raceFrame);
}

void PlayerRecords::BeginRace() {
    inRace = true;
    ghostSaved = false;
    finished = false;
    newRecord = false;
    raceFrame = -1;
    lapSeen = 1;
    lapStartMs = 0;
    lapTimes.clear();
    splitFramesLeft = 0;
    splitKnown = false;
    riding.Clear();
    raceDifficulty = difficulty;
    playing = best[Index(difficulty)];
}

void PlayerRecords::Frame(const RaceState& state) {
    if (splitFramesLeft > 0) --splitFramesLeft;
    if (!state.racing) {
        // The title: the ghost waits on the grid for the next race.
        inRace = false;
        raceFrame = -1;
        return;
    }
    if (!inRace) BeginRace();
    if (state.countdown != 0) {
        riding.start = state.player;
        return;
    }
    ++raceFrame;
    if (finished) return;
    if (riding.frames.size() < GhostTrack::kMaxFrames) riding.frames.push_back(state.player);

    while (lapSeen < state.lap && lapSeen <= static_cast<uint32_t>(laps)) {
        const uint32_t lapMs = state.raceMs > lapStartMs ? state.raceMs - lapStartMs : 0;
        // Against the best lap known before this one: the record or an
        // earlier lap of this race.
        std::optional<uint32_t> bestBefore;
        if (records.bestLap) bestBefore = records.bestLap->ms;
        for (uint32_t earlier : lapTimes) bestBefore = bestBefore ? std::min(*bestBefore, earlier) : earlier;
        splitKnown = bestBefore.has_value();
        lastSplitMs = splitKnown ? static_cast<int>(lapMs) - static_cast<int>(*bestBefore) : 0;
        splitFramesLeft = splitKnown ? kSplitFrames : 0;
        lapTimes.push_back(lapMs);
        lapStartMs = state.raceMs;
        ++lapSeen;
    }
    if (state.lap > static_cast<uint32_t>(laps)) Finish(state.raceMs);
}

void PlayerRecords::Finish(uint32_t raceMs) {
    finished = true;
    const Records::Outcome outcome =
        records.Offer(raceMs, lapTimes.data(), static_cast<int>(lapTimes.size()), today ? today() : TodayDate());
    if (outcome.newBest) {
        newRecord = true;
        riding.raceMs = raceMs;
        best[Index(raceDifficulty)] = riding;
    }
    if (!outcome.newBest && !outcome.newBestLap) return;
    book.For(raceDifficulty) = records;
    // Demos, scripted and replayed runs show what they would have earned but keep nothing.
    if (!UserFiles::WritesAllowed()) return;
    SaveMerged(outcome.newBest);
}

void PlayerRecords::SaveMerged(bool newGhost) {
    if (folder.empty()) {
        Save(RecordsPath(), {});
        return;
    }
    // Another copy of the game may be saving too: one at a time, and each
    // keeps what the other saved if it is better.
    UserFiles::FolderLock lock(folder);
    const Difficulty d = raceDifficulty;
    if (recordsBlocked) return;  // the ghost is only good beside its records
    RecordsBook saved;
    if (!ReadOne(RecordsPath(), kMaxRecordsBytes, "records", saved)) {
        recordsBlocked = true;
        return;
    }
    saved.Merge(book);
    // Which version of the course these were set on, before them.
    if (!courseStamp.empty() && !Save(folder + "/course.txt", courseStamp)) return;
    // The records first, whatever becomes of the larger ghost file.
    if (!Save(RecordsPath(), saved.Text())) return;
    book = saved;
    records = book.For(difficulty);
    if (!newGhost || ghostBlocked[Index(d)]) return;
    GhostTrack theirs;
    if (!ReadOne(GhostPath(d), kMaxGhostBytes, "ghost", theirs)) {
        ghostBlocked[Index(d)] = true;
        return;
    }
    // Theirs is the record's line when their race was the faster.
    if (!theirs.Empty() && theirs.raceMs < best[Index(d)].raceMs) {
        best[Index(d)] = theirs;
        return;
    }
    ghostSaved = Save(GhostPath(d), best[Index(d)].Text());
}

bool PlayerRecords::Save(const std::string& path, const std::string& text) {
    std::string error;
    if (folder.empty()) error = "no data folder (neither XDG_DATA_HOME nor HOME is set)";
    else if (UserFiles::WriteAtomically(path, text, error)) return true;
    if (!saidCannotWrite)
        std::fprintf(stderr, "vorlan: cannot save records (%s); playing on without saving\n", error.c_str());
    saidCannotWrite = true;
    return false;
}
