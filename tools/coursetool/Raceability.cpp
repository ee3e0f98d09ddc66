#include "Raceability.h"

#include "bike/Enemy.h"
#include "bike/Player.h"
#include "framework/Random.h"
#include "framework/audio/AxAudioManager.h"
#include "framework/platform/Platform.h"
#include "profile/Settings.h"
#include "scene/Game.h"
#include "scene/GameSettings.h"
#include "stage/Course.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>

namespace {

constexpr uint32_t kStepMs = 16;     // the fixed clock of a scripted run
constexpr long kEnterUpdate = 5;     // Enter on the title, as the tests' scripts press it
constexpr long kClockUpdates = 10 * 60 * 1000 / kStepMs;  // the race clock shows up to 9:59.999
constexpr const char* kBikeNames[3] = {"the player's bike (autopilot)", "computer bike 1", "computer bike 2"};

// Keys and clock of a scripted run: Enter once, then the autopilot drives.
class CheckPlatform final : public IPlatform {
public:
    bool IsKeyDown(Key key) override { return key == Key::Enter && enter; }
    uint32_t Milliseconds() override { return now; }
    void Sleep(uint32_t) override {}
    int TakeKeyPressed() override { return 0; }
    std::string LocalDate() override { return "2000-01-01"; }
    bool enter = false;
    uint32_t now = 0;
};

std::string Format(const char* format, double a, double b = 0.0) {
    char text[96];
    std::snprintf(text, sizeof text, format, a, b);
    return text;
}

struct SandStretch {
    long updates = 0;
    float from = 0.0f, to = 0.0f;
};

struct BikeTally {
    long racing = 0, sand = 0, slowRun = 0, longestSlow = 0;
    long finish = -1;  // updates after the countdown
    LapMap::Place slowFrom;
    std::vector<SandStretch> sandStretches;
};

struct RaceResult {
    std::optional<std::string> refusal;
    BikeTally bikes[3];
};

float Distance2D(const Vector3& a, const Vector3& b) { return std::hypot(a.x - b.x, a.z - b.z); }

}  // namespace

LapMap::LapMap(const std::vector<Vector3>& checkpoints) : points_(checkpoints) {
    points_.push_back(Vector3());  // the start line, at the origin
    float along = 0.0f;
    starts_.push_back(0.0f);
    Vector3 previous;
    for (const Vector3& p : points_) {
        along += Distance2D(previous, p);
        starts_.push_back(along);
        previous = p;
    }
}

LapMap::Place LapMap::Locate(const Vector3& position, uint32_t heading) const {
    const size_t n = points_.size();
    const size_t target = std::min<size_t>(heading, n - 1);
    // A bike turns to the next checkpoint some way before it, so it may still
    // be on the stretch before the one it heads along.
    Place best;
    float nearest = INFINITY;
    for (const size_t s : {target == 0 ? n - 1 : target - 1, target}) {
        const Vector3 a = s == 0 ? Vector3() : points_[s - 1];
        const Vector3 b = points_[s];
        const float dx = b.x - a.x, dz = b.z - a.z;
        const float length2 = dx * dx + dz * dz;
        float t = length2 > 0.0f ? ((position.x - a.x) * dx + (position.z - a.z) * dz) / length2 : 0.0f;
        t = std::clamp(t, 0.0f, 1.0f);
        const float away = std::hypot(position.x - (a.x + t * dx), position.z - (a.z + t * dz));
        if (away < nearest) {
            nearest = away;
            best.stretch = s;
            best.along = starts_[s] + t * std::sqrt(length2);
        }
    }
    return best;
}

std::string LapMap::Describe(size_t stretch, float from, float to) const {
    std::string where = std::lround(from) == std::lround(to) ? Format("%.0f m after the start line", from)
                                                             : Format("%.0f to %.0f m after the start line", from, to);
    const size_t checkpoints = points_.size() - 1;
    if (stretch >= checkpoints) return where + ", into the finish line";
    return where + ", approaching checkpoint " + std::to_string(stretch + 1) + " of " + std::to_string(checkpoints);
}

namespace {

// One race: Enter on the title, the countdown, then every bike to its
// finish. Stops at the first fault it sees.
RaceResult RaceOnce(const CourseData& course, unsigned seed, const RaceabilityRules& rules) {
    RaceResult result;
    CheckPlatform platform;
    SetPlatform(&platform);
    struct Restore {
        ~Restore() { SetPlatform(nullptr); }
    } restore;
    enterLatch = false;

    Game game(course);
    game.autopilot = true;
    game.overrides.difficulty = Difficulty::Normal;
    game.ApplySettings();
    // As the game seeds it: after the stage is loaded, before the first update.
    Random::Seed(seed);
    Bike_base* bikes[3] = {game.player, game.enemies[0], game.enemies[1]};
    if (!bikes[0] || !bikes[1] || !bikes[2] || !game.course) {
        result.refusal = "the stage has no bikes";
        return result;
    }
    std::vector<Vector3> points;
    for (const Checkpoint* c : game.checkpoints) points.push_back(c->position);
    const LapMap lap(points);
    for (BikeTally& b : result.bikes) b.sandStretches.resize(points.size() + 1);

    float topSpeed = 0.0f;
    for (const Bike_base* b : bikes) topSpeed = std::max(topSpeed, b->maxSpeed);
    // Never longer than the race clock can show.
    const long limit = std::min<long>(kClockUpdates, std::lround(std::ceil(static_cast<double>(lap.Length()) * course.laps /
                                                                           (rules.slowestAverage * static_cast<double>(topSpeed)))));
    const std::string race = "seed " + std::to_string(seed) + ", ";

    AxAudioManager& audio = AxAudioManager::GetInstance();
    long sinceCountdown = -1;
    for (long update = 0;; ++update) {
        platform.enter = update == kEnterUpdate;
        audio.ClearFramePlays();
        game.Step();
        platform.now += kStepMs;
        if (game.mode != 0 || game.Countdown() != 0) {
            if (update > kEnterUpdate + 20 * 1000 / static_cast<long>(kStepMs)) {
                result.refusal = race + "the race never starts";
                return result;
            }
            continue;
        }
        ++sinceCountdown;
        bool allFinished = true;
        for (int i = 0; i < 3; ++i) {
            const Bike_base& bike = *bikes[i];
            BikeTally& tally = result.bikes[i];
            if (tally.finish >= 0) continue;
            if (bike.lap >= course.FinishLap()) {
                tally.finish = sinceCountdown;
                continue;
            }
            allFinished = false;
            ++tally.racing;
            const LapMap::Place place = lap.Locate(bike.position, bike.checkpointIndex);
            if (game.course->onSand[i]) {
                ++tally.sand;
                SandStretch& s = tally.sandStretches[place.stretch];
                if (s.updates++ == 0) s.from = s.to = place.along;
                s.from = std::min(s.from, place.along);
                s.to = std::max(s.to, place.along);
            }
            if (bike.speed < bike.maxSpeed * 0.1f) {
                if (tally.slowRun++ == 0) tally.slowFrom = place;
                tally.longestSlow = std::max(tally.longestSlow, tally.slowRun);
                if (tally.slowRun >= static_cast<long>(rules.maxSlowUpdates)) {
                    result.refusal = race + kBikeNames[i] + ": below a tenth of its top speed for " +
                                     Format("%.1f s from %.1f s into the race, ", rules.maxSlowUpdates * kStepMs / 1000.0,
                                            (sinceCountdown + 1 - tally.slowRun) * kStepMs / 1000.0) +
                                     lap.Describe(tally.slowFrom.stretch, tally.slowFrom.along, tally.slowFrom.along);
                    return result;
                }
            } else {
                tally.slowRun = 0;
            }
        }
        if (allFinished) break;
        if (sinceCountdown >= limit) {
            for (int i = 0; i < 3; ++i) {
                if (result.bikes[i].finish >= 0) continue;
                const LapMap::Place place = lap.Locate(bikes[i]->position, bikes[i]->checkpointIndex);
                result.refusal = race + kBikeNames[i] + ": not finished " +
                                 Format("%.0f s after the start (its lap %.0f of ", limit * kStepMs / 1000.0,
                                        std::min<double>(bikes[i]->lap, course.laps)) +
                                 std::to_string(course.laps) + "), " + lap.Describe(place.stretch, place.along, place.along);
                return result;
            }
        }
    }
    for (int i = 0; i < 3; ++i) {
        const BikeTally& tally = result.bikes[i];
        const double share = tally.racing > 0 ? static_cast<double>(tally.sand) / static_cast<double>(tally.racing) : 0.0;
        if (share <= rules.maxSandShare) continue;
        const auto worst = std::max_element(tally.sandStretches.begin(), tally.sandStretches.end(),
                                            [](const SandStretch& a, const SandStretch& b) { return a.updates < b.updates; });
        result.refusal = race + kBikeNames[i] + ": off the road " +
                         Format("in %.1f%% of its race (at most %.0f%%), mostly ", 100.0 * share, 100.0 * rules.maxSandShare) +
                         lap.Describe(static_cast<size_t>(worst - tally.sandStretches.begin()), worst->from, worst->to);
        return result;
    }
    return result;
}

}  // namespace

RaceabilityVerdict RaceabilityCheck::Run(const CourseData& course) const {
    RaceabilityVerdict verdict;
    double worstSand = -1.0;
    std::string worstSandWho;
    long longestSlow = 0, slowestFinish = 0;
    for (unsigned seed = rules_.firstSeed; seed <= rules_.lastSeed; ++seed) {
        const RaceResult race = RaceOnce(course, seed, rules_);
        if (race.refusal) {
            verdict.line = course.id + ": not raceable: " + *race.refusal;
            return verdict;
        }
        for (int i = 0; i < 3; ++i) {
            const BikeTally& b = race.bikes[i];
            const double share = b.racing > 0 ? static_cast<double>(b.sand) / static_cast<double>(b.racing) : 0.0;
            if (share > worstSand) {
                worstSand = share;
                worstSandWho = "seed " + std::to_string(seed) + ", " + kBikeNames[i];
            }
            longestSlow = std::max(longestSlow, b.longestSlow);
            slowestFinish = std::max(slowestFinish, b.finish);
        }
    }
    verdict.raceable = true;
    verdict.line = course.id + ": raceable: seeds " + std::to_string(rules_.firstSeed) + " to " +
                   std::to_string(rules_.lastSeed) + " on normal, every bike finished " + std::to_string(course.laps) +
                   Format(" laps within %.1f s; off the road at most %.1f%% (", slowestFinish * kStepMs / 1000.0,
                          100.0 * worstSand) +
                   worstSandWho + ")" +
                   (longestSlow > 0 ? Format(", below a tenth of top speed at most %.2f s", longestSlow * kStepMs / 1000.0)
                                    : std::string(", never below a tenth of top speed"));
    return verdict;
}
