#include "profile/PlayerRecords.h"

#include "profile/UserFiles.h"

#include <algorithm>
#include <cstdio>

namespace {
// Refused on reading: nothing the game writes comes near.
constexpr size_t kMaxRecordsBytes = 4096;
constexpr size_t kMaxGhostBytes = 8u << 20;

// A file that is there but cannot be used goes aside, and the player is told once.
void SetAsideDamaged(const std::string& path, const char* what) {
    const std::string moved = UserFiles::SetAside(path);
    if (moved.empty())
        std::fprintf(stderr, "vorlan: %s file %s is damaged and could not be moved aside; playing without it\n", what,
                     path.c_str());
    else
        std::fprintf(stderr, "vorlan: %s file %s is damaged; set aside as %s\n", what, path.c_str(), moved.c_str());
}

template <class T>
void LoadOne(const std::string& path, size_t maxBytes, const char* what, T& into) {
    into = T{};
    std::FILE* probe = std::fopen(path.c_str(), "rb");
    if (!probe) return;  // none yet: nothing to say
    std::fclose(probe);
    const std::optional<std::string> text = UserFiles::ReadFile(path, maxBytes);
    if (!text || !into.Parse(*text)) {
        into = T{};
        SetAsideDamaged(path, what);
    }
}
}  // namespace

void PlayerRecords::Load(const std::string& where) {
    folder = where.empty() ? UserFiles::DataDir() : where;
    if (folder.empty()) return;
    LoadOne(RecordsPath(), kMaxRecordsBytes, "records", records);
    LoadOne(GhostPath(), kMaxGhostBytes, "ghost", best);
    playing = best;
}

void PlayerRecords::GhostKey(bool down) {
    if (down && !ghostKeyDown) ghostShown = !ghostShown;
    ghostKeyDown = down;
}

std::optional<GhostPose> PlayerRecords::GhostNow() const {
    if (playing.Empty()) return std::nullopt;
    return playing.At(raceFrame);
}

void PlayerRecords::BeginRace() {
    inRace = true;
    finished = false;
    newRecord = false;
    raceFrame = -1;
    lapSeen = 1;
    lapStartMs = 0;
    lapTimes.clear();
    splitFramesLeft = 0;
    splitKnown = false;
    riding.Clear();
    playing = best;
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
    const Records::Outcome outcome = records.Offer(raceMs, lapTimes.data(), static_cast<int>(lapTimes.size()),
                                                   TodayDate());
    if (outcome.newBest) {
        newRecord = true;
        riding.raceMs = raceMs;
        best = riding;
    }
    if (!outcome.newBest && !outcome.newBestLap) return;
    // Which version of the course these were set on, before them.
    if (!courseStamp.empty() && !Save(folder + "/course.txt", courseStamp)) return;
    // The line first: records that name a best race without its ghost are
    // fine, a ghost newer than the records is not worse.
    if (outcome.newBest && !best.Empty() && !Save(GhostPath(), best.Text())) return;
    Save(RecordsPath(), records.Text());
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
