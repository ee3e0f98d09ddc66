#pragma once
// The race scene: title, race and result are three states of this one object,
// drawn over the same loaded stage. It owns every stage object and fixes the
// order they are updated and drawn in.

#include "app/Scene_base.h"
#include "profile/Settings.h"
#include "race/RaceRecorder.h"
#include "scene/Checkpoint.h"
#include "scene/CoursesScreen.h"
#include "scene/OnlineLink.h"
#include "scene/OptionsScreen.h"
#include "stage/course/CourseData.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class AxModelCache;
class AxTexture;
class AxSoundEffect;
class AxSoundInstance;
class Player;
class Enemy;
class ChaseCamera;
class Course;
class WallSet;
class ObstacleManager;
class DashPanel;
class Sky;
class RaceTimer;
class EngineSound;
class PlayerRecords;
class GhostBike;
class RecordsHud;

class Game : public Scene_base {
public:
    Game();
    // On the given course instead of the first playable one.
    explicit Game(const CourseData& course);
    ~Game() override;

    void Init();
    // The race's lights: the sun from above and slightly behind, and ambient.
    static void SetLights();
    // The course's sun and ambient light.
    static void SetLights(const CourseLook& look);
    // Leaves the course for another: its stage, objects and models are
    // freed and the other's loaded. Title screen only.
    void SwitchCourse(const CourseData& next);
    void LoadCourse();
    void ReleaseCourse();
    // The lap a bike has finished on reaching.
    uint32_t FinishLap() const { return courseData.FinishLap(); }
    void LoadStage();
    void ReleaseStage();
    void PreparePrograms();
    void Update() override;
    void Draw() override;
    void Step() override;
    void Picture() override;
    void DrawTitle();
    void DrawOptions();
    void DrawRaceHUD();
    void DrawFade();
    // Left and Right on the title choose the course.
    void ChooseCourse();
    // The course's records and ghost, from its own folder.
    void LoadRecords();
    bool courseKeyLatch = false;
    // Moves the race clock on by time the game spent paused.
    void ShiftClock(uint32_t ms) override;

    // The rank image for rank 1 to 3; null otherwise.
    AxTexture* RankTexture(uint32_t rank) const;
    // The player's lap has reached the finish lap.
    bool PlayerFinished() const;
    // The race timer's countdown, 0 without a timer.
    int Countdown() const;
    // Tells the records how the race stands at the end of the frame.
    void UpdateRecords();

    // The course raced: where everything stands and which files it uses.
    CourseData courseData;
    std::vector<Checkpoint*> checkpoints;
    AxModelCache* modelCache = nullptr;
    Player* player = nullptr;
    Enemy* enemies[2] = {nullptr, nullptr};
    bool enemyHit[2] = {false, false};
    bool enemyHitLatch[2] = {false, false};
    ChaseCamera* camera = nullptr;
    Course* course = nullptr;
    WallSet* walls = nullptr;
    ObstacleManager* obstacles = nullptr;
    std::vector<DashPanel*> dashPanels;
    Sky* sky = nullptr;
    RaceTimer* raceTimer = nullptr;
    EngineSound* engineSound = nullptr;
    // Kept for the player between races: best times, lap splits, the ghost.
    PlayerRecords* records = nullptr;
    GhostBike* ghostBike = nullptr;
    RecordsHud* recordsHud = nullptr;
    int startWait = 60;
    AxTexture* titleTex = nullptr;
    AxTexture* pushTex = nullptr;
    AxTexture* numberTex = nullptr;
    AxTexture* uiTex = nullptr;
    AxTexture* signTex = nullptr;
    AxTexture* rankTex[3] = {nullptr, nullptr, nullptr};
    float blinkAlpha = 1.0f;
    bool blinkRising = false;
    std::shared_ptr<AxSoundEffect> bikeHitSound;
    std::shared_ptr<AxSoundInstance> bikeHitInst;
    std::shared_ptr<AxSoundEffect> bgmSound;
    std::shared_ptr<AxSoundInstance> bgmInst;
    float bgmVolume = 1.0f;
    bool bgmStarted = false;
    std::shared_ptr<AxSoundEffect> titleSound;
    std::shared_ptr<AxSoundInstance> titleInst;
    float titleVolume = 0.2f;
    uint8_t mode = 1;  // 1 title, 0 race (the result screen is the race with the player finished)
    bool titleBgmStarted = false;

    // The player's settings: read from path (reporting what it could not
    // use once on standard error) and applied; the options screen saves
    // them back there (in a run that may write the player's files).
    void LoadSettings(const std::string& path);
    // Puts the settings in force: volumes, the computer bikes' top speed, keys.
    void ApplySettings();
    bool SaveSettings();
    void FollowPlayerSwitches();
    // The difficulty raced: a replay's own, or the player's.
    Difficulty DifficultyInForce() const { return overrides.difficulty.value_or(settings.difficulty); }
    bool RenderScaleAutoInForce() const {
        return !overrides.renderScale && overrides.renderScaleAuto.value_or(settings.renderScaleAuto);
    }

    Settings settings;
    // Set by the application before LoadSettings: this run's own values.
    SettingsOverrides overrides;
    std::string settingsPath;
    OptionsScreen options{settings, overrides};
    AxTexture* optionsTex = nullptr;
    // Set by the application: a key to bind may come from the keyboard
    // itself; the window's fullscreen follows the setting.
    bool rawKeys = false;
    std::function<void(bool)> setFullscreen;
    std::function<bool()> isFullscreen;
    bool saveFailureReported = false;
    bool shownFullscreen = false;
    bool seenFullscreen = false;  // the window as last seen: a change since is F11 or Alt+Enter
    bool appliedGhost = true;          // the ghost is shown unless told otherwise
    float appliedRenderScale = 1.0f;  // the device starts at full size
    bool appliedRenderScaleAuto = true;

    // Every race run is kept as a race file as it goes; the first finished
    // one goes to saveRunPath when set (--save-run), and a race that sets
    // the best time beside its ghost.
    RaceRecorder raceRecorder;
    std::string saveRunPath;
    bool runSaved = false;
    void KeepFinishedRace();

    // The leaderboard client (none offline, and in the verifier): polled
    // once per update, handed each finished race that keeps the player's files.
    std::unique_ptr<OnlineLink> online;
    CoursesScreen coursesScreen;
    void UpdateOnline();
    void DrawCourses();
    // A screen over the title has the keys.
    bool TitleScreenOpen() const { return options.open || coursesScreen.open; }

    // Not part of the race rules: the player's bike drives itself (demos,
    // tests, benchmarks). Set by the application after construction.
    bool autopilot = false;

    static constexpr size_t kMaxCheckpoints = 59;
};
