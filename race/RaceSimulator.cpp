#include "race/RaceSimulator.h"

#include "bike/Enemy.h"
#include "bike/Player.h"
#include "framework/Random.h"
#include "framework/audio/AxAudioManager.h"
#include "race/StateHash.h"
#include "scene/Game.h"
#include "scene/GameSettings.h"
#include "scene/RaceTimer.h"

#include <algorithm>

namespace {
const std::vector<uint32_t> kNoReadings;

// FNV-1a, as the state hash: the digest of the hashes checked, in order.
uint64_t Digest(uint64_t h, uint64_t value) {
    for (int i = 0; i < 8; ++i) {
        h ^= static_cast<unsigned char>(value >> (8 * i));
        h *= 1099511628211ull;
    }
    return h;
}

std::optional<Difficulty> DifficultyNamed(const std::string& name) {
    for (Difficulty d : {Difficulty::Easy, Difficulty::Normal, Difficulty::Hard})
        if (name == Settings::DifficultyName(d)) return d;
    return std::nullopt;
}

RaceCheck Mismatch(RaceCheck check, uint32_t update, const std::string& why) {
    check.verdict = RaceCheck::Verdict::Mismatch;
    check.firstMismatch = update;
    check.reason = "update " + std::to_string(update) + ": " + why;
    return check;
}
}  // namespace

const char* RaceCheck::VerdictName(Verdict v) {
    switch (v) {
        case Verdict::Verified: return "verified";
        case Verdict::Mismatch: return "mismatch";
        default: return "refused";
    }
}

uint32_t RaceSimulator::Milliseconds() {
    // A simulation that reads the clock more often than the race did is not
    // that race; the clock then stands still and the state hashes tell.
    if (readings && nextReading < readings->size()) lastReading = (*readings)[nextReading++];
    return lastReading;
}

RaceCheck RaceSimulator::Run(const RaceFile& race, const CourseData& course, const AfterUpdate& after) {
    RaceCheck check;
    const std::optional<Difficulty> difficulty = DifficultyNamed(race.difficulty);
    if (!difficulty) {
        check.reason = "difficulty: not easy, normal or hard";
        return check;
    }
    IPlatform& previous = Platform();
    SetPlatform(this);
    struct Restore {
        IPlatform& platform;
        ~Restore() { SetPlatform(&platform); }
    } restore{previous};
    keys = 0;
    readings = nullptr;
    lastReading = race.clockStart;
    date = race.date;
    enterLatch = false;

    Game game(course);
    game.autopilot = race.autopilot;
    game.overrides.difficulty = *difficulty;
    game.ApplySettings();

    // Where the title left the generator and the bikes.
    RandomState random;
    std::copy(race.randomWords.begin(), race.randomWords.end(), random.words);
    random.front = race.randomFront;
    random.rear = race.randomRear;
    Random::SetState(random);
    Bike_base* bikes[3] = {game.player, game.enemies[0], game.enemies[1]};
    for (int i = 0; i < 3; ++i) {
        if (!bikes[i]) {
            check.reason = "course " + race.course + ": the stage has no bikes";
            return check;
        }
        bikes[i]->speed = race.bikes[i].speed;
        bikes[i]->checkpointIndex = race.bikes[i].checkpointIndex;
        bikes[i]->lap = race.bikes[i].lap;
        bikes[i]->steerTolerance = race.bikes[i].steerTolerance;
    }

    game.blinkAlpha = race.blinkAlpha;
    game.blinkRising = race.blinkRising;
    AxAudioManager& audio = AxAudioManager::GetInstance();
    for (uint8_t throttle : race.leadIn) {
        keys = throttle ? 1u << static_cast<unsigned>(Key::Z) : 0u;
        readings = &kNoReadings;
        audio.ClearFramePlays();
        game.Step();
    }

    bool countdownSeen = false;
    bool finished = false;
    uint32_t lapSeen = game.player->lap;
    size_t nextHash = 0;
    uint64_t digest = 14695981039346656037ull;
    const uint32_t count = static_cast<uint32_t>(race.updates.size());
    uint32_t u = 0;
    for (; u < count && !finished; ++u) {
        const RaceUpdate& update = race.updates[u];
        keys = update.keys;
        readings = &update.readings;
        // A steering key held as the race starts chose the course the file
        // names, which is the one loaded here: it chooses nothing again.
        if (u == 0 && (keys & ((1u << static_cast<unsigned>(Key::Left)) | (1u << static_cast<unsigned>(Key::Right)))))
            game.courseKeyLatch = true;
        nextReading = 0;
        audio.ClearFramePlays();
        game.Step();
        if (u == 0 && game.mode != 0) return Mismatch(check, u, "the race does not leave the title");
        if (!countdownSeen && game.Countdown() == 0) {
            countdownSeen = true;
            check.countdownUpdate = u;
        }
        for (; lapSeen < game.player->lap; ++lapSeen) check.lapEnds.push_back(u);
        finished = game.PlayerFinished();
        if (finished) {
            check.finishUpdate = u;
            check.rank = game.player->rank;
            check.hudMs = game.raceTimer ? game.raceTimer->ElapsedMs() : 0;
        }
        // A hash after every 60th update and after the finish, and none elsewhere.
        const bool due = (u + 1) % RaceFile::kHashEvery == 0 || finished;
        const bool given = nextHash < race.hashes.size() && race.hashes[nextHash].update == u;
        if (due && !given) return Mismatch(check, u, "no state hash where one is due");
        if (!due && given) return Mismatch(check, u, "a state hash where none is due");
        if (given) {
            const uint64_t hash = RaceStateHash(game);
            if (hash != race.hashes[nextHash].hash) return Mismatch(check, u, "the state differs from its hash");
            digest = Digest(Digest(digest, u), hash);
            ++nextHash;
        }
        if (after) after(u, lastReading, game);
    }
    if (!finished) {
        check.reason = "the player does not reach the finish in the file's " + std::to_string(count) + " updates";
        return check;
    }
    check.statesHash = digest;

    // What the file claims against what the race came to.
    if (nextHash < race.hashes.size()) return Mismatch(check, u, "a state hash after the finish");
    if (count != check.finishUpdate + 1) return Mismatch(check, check.finishUpdate + 1, "updates after the finish");
    if (race.countdownUpdate != check.countdownUpdate)
        return Mismatch(check, std::min(race.countdownUpdate, check.countdownUpdate), "the countdown ends elsewhere");
    for (size_t lap = 0; lap < std::max(race.lapEnds.size(), check.lapEnds.size()); ++lap) {
        const uint32_t claimed = lap < race.lapEnds.size() ? race.lapEnds[lap] : check.finishUpdate;
        const uint32_t raced = lap < check.lapEnds.size() ? check.lapEnds[lap] : check.finishUpdate;
        if (lap >= race.lapEnds.size() || lap >= check.lapEnds.size() || claimed != raced)
            return Mismatch(check, std::min(claimed, raced), "lap " + std::to_string(lap + 1) + " ends elsewhere");
    }
    if (race.finishUpdate != check.finishUpdate)
        return Mismatch(check, std::min(race.finishUpdate, check.finishUpdate), "the finish is elsewhere");
    if (race.rank != check.rank) return Mismatch(check, check.finishUpdate, "another rank at the finish");
    if (race.hudMs != check.hudMs) return Mismatch(check, check.finishUpdate, "another time on the race clock");
    check.verdict = RaceCheck::Verdict::Verified;
    return check;
}
