#include "race/RaceRecorder.h"

#include "bike/Enemy.h"
#include "bike/Player.h"
#include "race/BuildInfo.h"
#include "race/StateHash.h"
#include "scene/Game.h"
#include "scene/RaceTimer.h"

namespace {
constexpr size_t kReservedUpdates = 16384;  // over four minutes
}  // namespace

RaceRecorder::TitleUpdate RaceRecorder::Snapshot(const Game& game) {
    TitleUpdate start;
    start.random = Random::State();
    const Bike_base* bikes[3] = {game.player, game.enemies[0], game.enemies[1]};
    for (int i = 0; i < 3; ++i) {
        if (!bikes[i]) continue;
        start.bikes[i] = {bikes[i]->speed, bikes[i]->checkpointIndex, bikes[i]->lap, bikes[i]->steerTolerance};
    }
    start.blinkAlpha = game.blinkAlpha;
    start.blinkRising = game.blinkRising;
    return start;
}

void RaceRecorder::StageLoaded(const Game& game) {
    titles.clear();
    racing = false;
    // Loaded during an update (a course chosen on the title, the stage made
    // anew after a race): a race that starts in it starts from the new stage.
    if (!inUpdate) return;
    stageLoaded = true;
    pending = Snapshot(game);
}

void RaceRecorder::BeginUpdate(const Game& game) {
    inner = &Platform();
    SetPlatform(this);
    inUpdate = true;
    current = RaceUpdate();
    titleUpdate = game.mode == 1;
    if (titleUpdate) pending = Snapshot(game);
}

bool RaceRecorder::IsKeyDown(Key key) {
    const bool down = inner->IsKeyDown(key);
    if (inUpdate && down) {
        current.keys |= 1u << static_cast<unsigned>(key);
        if (key == Key::Z) pending.throttle = true;
    }
    return down;
}

uint32_t RaceRecorder::Milliseconds() {
    const uint32_t ms = inner->Milliseconds();
    if (inUpdate) current.readings.push_back(ms - shift);
    return ms;
}

void RaceRecorder::EndUpdate(const Game& game) {
    SetPlatform(inner);
    inUpdate = false;
    const bool loaded = stageLoaded;
    stageLoaded = false;
    if (titleUpdate && game.mode == 0) {
        BeginRace(game);
        AfterRaceUpdate(game);
    } else if (loaded) {
        // The update saw the old stage before the new: not one to race again.
    } else if (titleUpdate) {
        titles.push_back(pending);
        if (titles.size() > RaceFile::kLeadIn) titles.pop_front();
    } else if (racing) {
        race.updates.push_back(current);
        AfterRaceUpdate(game);
    }
}

void RaceRecorder::BeginRace(const Game& game) {
    race = RaceFile();
    race.course = game.courseData.id;
    race.courseHash = game.courseData.gameplayHash;
    race.difficulty = Settings::DifficultyName(game.DifficultyInForce());
    race.autopilot = game.autopilot;
    race.buildVersion = BuildVersion();
    race.buildCommit = BuildCommit();
    // The day on the machine's own clock: the race file only tells it.
    race.date = IPlatform::LocalDate();
    const TitleUpdate& start = titles.empty() ? pending : titles.front();
    for (int i = 0; i < RandomState::kWords; ++i) race.randomWords[i] = start.random.words[i];
    race.randomFront = start.random.front;
    race.randomRear = start.random.rear;
    race.bikes = start.bikes;
    race.blinkAlpha = start.blinkAlpha;
    race.blinkRising = start.blinkRising;
    for (const TitleUpdate& title : titles) race.leadIn.push_back(title.throttle ? 1 : 0);
    titles.clear();
    race.clockStart = current.readings.empty() ? 0 : current.readings.front();
    // Room for a long race at once, rather than growing as the race goes.
    race.updates.reserve(kReservedUpdates);
    race.updates.push_back(current);
    lapSeen = game.player ? game.player->lap : 1;
    countdownSeen = false;
    racing = game.player != nullptr;
}

void RaceRecorder::AfterRaceUpdate(const Game& game) {
    const uint32_t u = static_cast<uint32_t>(race.updates.size() - 1);
    if (!countdownSeen && game.Countdown() == 0) {
        countdownSeen = true;
        race.countdownUpdate = u;
    }
    for (; lapSeen < game.player->lap; ++lapSeen) race.lapEnds.push_back(u);
    const bool done = game.PlayerFinished();
    if ((u + 1) % RaceFile::kHashEvery == 0 || done) race.hashes.push_back({u, RaceStateHash(game)});
    if (done) {
        race.finishUpdate = u;
        race.hudMs = game.raceTimer ? game.raceTimer->ElapsedMs() : 0;
        race.rank = game.player->rank;
        finished = std::move(race);
        racing = false;
    } else if (u + 1 >= RaceFile::kMaxUpdates) {
        racing = false;  // longer than a race file may be
    }
}

std::optional<RaceFile> RaceRecorder::TakeFinished() {
    std::optional<RaceFile> out = std::move(finished);
    finished.reset();
    return out;
}
