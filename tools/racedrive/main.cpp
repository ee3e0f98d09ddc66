// vorlan-racedrive: drives one race with scripted steering on the game's own
// simulation (the silent framework, no window) and keeps it as a race file,
// as the game's --save-run would. The test corpus of race files is made with
// it (scripts/make-race-corpus.sh): drives that follow the checkpoints and,
// in windows of updates, hold a steering key, zigzag, coast, aim at a switch
// or at a computer bike, on a clock that jitters like a real one and pauses.
//
//   vorlan-racedrive [--courses DIR] [--script KEYS] [--profile DIR] OUT COURSE DIFFICULTY SEED TITLE [ACTION FROM TO]...
//   --courses: a folder of course folders too (a shared course downloaded).
//   --script: on the game's fixed clock (16 ms an update), seeded as the game
//   seeds, and the keys of every update written as an input script, so that
//   `vorlan --fixed-clock --seed SEED --input KEYS` drives the same race.
//   --profile: the player's courses of that folder too.
//   ACTION: left right zigzag coast switch gate0 gate1 rival pause enterright

#include "bike/Enemy.h"
#include "bike/Player.h"
#include "framework/Random.h"
#include "framework/graphics/AxGLTFModel.h"
#include "framework/platform/Platform.h"
#include "profile/UserFiles.h"
#include "scene/CourseChoice.h"
#include "stage/CourseGeometry.h"
#include "stage/CoursePlaces.h"
#include "stage/course/CourseCatalog.h"
#include "scene/Game.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {
struct Window {
    std::string action;
    long from = 0, to = 0;
};

class DrivePlatform final : public IPlatform {
public:
    bool IsKeyDown(Key key) override { return (keys >> static_cast<unsigned>(key)) & 1u; }
    uint32_t Milliseconds() override { return now; }
    void Sleep(uint32_t) override {}
    int TakeKeyPressed() override { return 0; }
    bool IsMenuKeyDown(Key) override { return false; }
    uint32_t keys = 0;
    uint32_t now = 1000;
};

uint32_t Bit(Key k) { return 1u << static_cast<unsigned>(k); }

// Left or Right towards a point, as the autopilot steers towards its checkpoint.
uint32_t SteerTowards(const Bike_base& bike, const Vector3& target) {
    const Vector3 to = Vector3(target.x - bike.position.x, 0.0f, target.z - bike.position.z);
    const double heading = std::atan2(static_cast<double>(to.x), static_cast<double>(to.z)) * 57.29577951308232;
    double turn = heading - static_cast<double>(bike.yaw);
    while (turn > 180.0) turn -= 360.0;
    while (turn < -180.0) turn += 360.0;
    if (turn > 5.0) return Bit(Key::Right);
    if (turn < -5.0) return Bit(Key::Left);
    return 0;
}
}  // namespace

int main(int argc, char** argv) {
    std::string coursesDir, scriptPath, profile;
    while (argc > 2) {
        const std::string option = argv[1];
        if (option == "--courses") coursesDir = argv[2];
        else if (option == "--script") scriptPath = argv[2];
        else if (option == "--profile") profile = argv[2];
        else break;
        argv += 2;
        argc -= 2;
    }
    const bool gameClock = !scriptPath.empty();
    if (argc < 6 || (argc - 6) % 3 != 0) {
        std::fprintf(stderr, "usage: vorlan-racedrive [--courses DIR] [--script KEYS] [--profile DIR] OUT COURSE DIFFICULTY "
                             "SEED TITLE [ACTION FROM TO]...\n");
        return 2;
    }
    const std::string out = argv[1], courseId = argv[2], difficulty = argv[3];
    const unsigned seed = static_cast<unsigned>(std::strtoul(argv[4], nullptr, 10));
    const long title = std::strtol(argv[5], nullptr, 10);
    std::vector<Window> windows;
    for (int i = 6; i + 2 < argc; i += 3) windows.push_back({argv[i], std::atol(argv[i + 1]), std::atol(argv[i + 2])});

    std::string profileError;
    if (profile.empty()) UserFiles::UseNoFolders();
    else if (!UserFiles::UseProfile(profile, profileError)) {
        std::fprintf(stderr, "vorlan-racedrive: --profile: %s\n", profileError.c_str());
        return 2;
    }
    UserFiles::SetWritesAllowed(false);
    AxGLTFQuiet quiet;
    DrivePlatform platform;
    SetPlatform(&platform);
    if (!gameClock) Random::Seed(seed);
    // The game's own courses, and those of the folder given, checked as the game checks a player's.
    CourseCatalog shared;
    if (!coursesDir.empty()) {
        std::vector<std::string> refusals;
        shared.Scan(kBuiltInCoursesDir, coursesDir, CheckCourseGeometry, refusals);
        for (const std::string& r : refusals) std::fprintf(stderr, "vorlan-racedrive: %s\n", r.c_str());
    }
    const CourseData* course = coursesDir.empty() ? Courses().catalog.Find(courseId) : shared.Find(courseId);
    if (!course) {
        std::fprintf(stderr, "vorlan-racedrive: no course %s\n", courseId.c_str());
        return 2;
    }
    Game game(*course);
    for (Difficulty d : {Difficulty::Easy, Difficulty::Normal, Difficulty::Hard})
        if (difficulty == Settings::DifficultyName(d)) game.overrides.difficulty = d;
    game.ApplySettings();
    game.saveRunPath = out;
    // The game seeds its generator once the race scene stands.
    if (gameClock) {
        Random::Seed(seed);
        platform.now = 0;
    }
    std::vector<uint32_t> scriptKeys;

    uint32_t jitter = seed * 2654435761u;
    for (long frame = 0; frame < 20000 && !game.runSaved; ++frame) {
        // A real clock: 15 to 17 ms an update, now and then a late one.
        jitter = jitter * 1664525u + 1013904223u;
        const uint32_t step = 15 + (jitter >> 30) % 3 + ((jitter >> 20) % 97 == 0 ? 9 : 0);
        if (!gameClock) platform.now += step;
        uint32_t keys = 0;
        const long race = frame - title;  // updates since Enter
        if (race == 0) keys |= Bit(Key::Enter);
        if (race < 0 && (frame % 7) < 3 && title > 100) keys |= Bit(Key::Z);  // revving on the title
        // Steering keys from the update after Enter: with them, Enter would
        // also choose another course (the race file would still be right).
        // "enterright": Right with Enter, which also steps to the next course.
        for (const Window& w : windows)
            if (race == 0 && w.action == "enterright") keys |= Bit(Key::Right) | Bit(Key::Z);
        if (race > 0 && game.player) {
            const Player& p = *game.player;
            keys |= Bit(Key::Z);
            uint32_t steer = SteerTowards(p, p.checkpoints[p.checkpointIndex]);
            for (const Window& w : windows) {
                if (race < w.from || race > w.to) continue;
                const CourseGameplay& g = game.courseData.gameplay;
                if (w.action == "left") steer = Bit(Key::Left);
                else if (w.action == "right") steer = Bit(Key::Right);
                else if (w.action == "zigzag") steer = (race / 12) % 2 ? Bit(Key::Left) : Bit(Key::Right);
                else if (w.action == "coast") keys &= ~Bit(Key::Z);
                else if (w.action == "switch") steer = SteerTowards(p, ToVector(g.floorSwitch));
                else if (w.action == "gate0") steer = SteerTowards(p, ToVector(g.wallSwitches[0]));
                else if (w.action == "gate1") steer = SteerTowards(p, ToVector(g.wallSwitches[1]));
                else if (w.action == "rival" && game.enemies[0]) steer = SteerTowards(p, game.enemies[0]->position);
                else if (w.action == "pause" && race == w.from) {
                    // A pause between two updates: the clock moves on, the race does not.
                    platform.now += static_cast<uint32_t>(w.to - w.from) * 16u;
                    game.ShiftClock(static_cast<uint32_t>(w.to - w.from) * 16u);
                }
            }
            keys |= steer;
        }
        platform.keys = keys;
        game.Step();
        if (gameClock) platform.now += 16;
        scriptKeys.push_back(keys);
    }
    if (gameClock && game.runSaved) {
        // Runs of the same keys as one line each; a few seconds of throttle after the finish.
        std::string text = "# vorlan-racedrive --script: " + courseId + " " + difficulty + " seed " + argv[4] + "\n";
        static const char* const kNames[] = {"Z", "Left", "Right", "Enter", "Escape", "P", "Up", "Down", "O", "G", "C"};
        for (size_t f = 0; f < scriptKeys.size();) {
            size_t g = f;
            while (g + 1 < scriptKeys.size() && scriptKeys[g + 1] == scriptKeys[f]) ++g;
            if (scriptKeys[f]) {
                text += std::to_string(f) + " " + std::to_string(g);
                for (unsigned k = 0; k < 11; ++k)
                    if (scriptKeys[f] & (1u << k)) text += std::string(" ") + kNames[k];
                text += "\n";
            }
            f = g + 1;
        }
        std::string error;
        if (!UserFiles::WriteAtomically(scriptPath, text, error)) {
            std::fprintf(stderr, "vorlan-racedrive: --script: %s\n", error.c_str());
            return 2;
        }
    }
    SetPlatform(nullptr);
    if (!game.runSaved) {
        std::fprintf(stderr, "vorlan-racedrive: the race did not finish\n");
        return 1;
    }
    return 0;
}
