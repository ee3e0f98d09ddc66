#include "app/App.h"

#include "app/FrameLog.h"
#include "app/FramePacer.h"
#include "app/FrameStats.h"
#include "app/HarnessPlatform.h"
#include "app/InputScript.h"
#include "app/RenderScaleControl.h"
#include "app/Replay.h"
#include "app/StartCourse.h"
#include "app/SceneManager.h"
#include "app/Scene_base.h"
#include "app/SimulatedDisplay.h"
#include "framework/MotionBlend.h"
#include "framework/ImageWrite.h"
#include "framework/Random.h"
#include "framework/audio/AudioCapture.h"
#include "framework/audio/AxAudioManager.h"
#include "framework/graphics/AxDirect3D.h"
#include "framework/graphics/AxShaderManager.h"
#include "framework/platform/Platform.h"
#include "online/OnlineStart.h"
#include "profile/PlayerRecords.h"
#include "profile/UserFiles.h"
#include "scene/CourseChoice.h"
#include "scene/Game.h"
#include "scene/ReferenceScene.h"
#include "scene/TraceWriter.h"

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <vector>

namespace {
constexpr int kWindowWidth = 1280;
constexpr int kWindowHeight = 720;

void PrintStats(const std::string& course, double loadMs, long long updates, int fps, long long drawn) {
    const FrameStats& stats = FrameStats::Get();
    auto summary = [&](FrameStats::Kind kind) {
        const FrameStats::Summary s = stats.Summarise(kind);
        char text[160];
        std::snprintf(text, sizeof text, "{\"median\":%.3f,\"p95\":%.3f,\"max\":%.3f}", s.median, s.p95, s.max);
        return std::string(text);
    };
    std::printf("{\"frames\":%zu,\"loadMs\":%.3f,\"frameMs\":%s,\"updateMs\":%s,\"drawMs\":%s,\"presentMs\":%s,"
                "\"fps\":%d,\"drawn\":%lld,\"peakRssMiB\":%.1f,\"programsBuiltInRace\":%d,\"course\":\"%s\"}\n",
                static_cast<size_t>(updates), loadMs, summary(FrameStats::kFrame).c_str(),
                summary(FrameStats::kUpdate).c_str(), summary(FrameStats::kDraw).c_str(),
                summary(FrameStats::kPresent).c_str(), fps, drawn, PeakRssMiB(), stats.programsBuiltInRace,
                course.c_str());
    std::fflush(stdout);
}

bool SaveScreenshot(const std::string& path) {
    std::vector<uint8_t> pixels;
    int width = 0, height = 0;
    if (!AxDirect3D::GetInstance().ReadBackBuffer(pixels, width, height)) return false;
    return WritePng(path, width, height, pixels.data());
}
}  // namespace

App& App::GetInstance() {
    static App instance;
    return instance;
}

bool App::Init(int width, int height) {
    const std::string className = "Window";
    const std::string title = "Vorlan Moto";
    if (!window.Create(width, height, title, className)) {
        ShowMessageBox("ウィンドウ作成に失敗", "エラー", false, nullptr);
        return false;
    }
    std::string errorText;
    if (!AxDirect3D::GetInstance().Init(window.hWnd, width, height, false, errorText)) {
        ShowMessageBox(errorText, "Direct3D初期化失敗", true, window.hWnd);
        return false;
    }
    AxShaderManager::GetInstance().Init();
    if (!AxAudioManager::GetInstance().Init()) {
        errorText = "オーディオエンジンを初期化できませんでした";  // no audio device and no silent fallback
        ShowMessageBox(errorText, "サウンド初期化失敗", true, window.hWnd);
        return false;
    }
    return true;
}

// Loads the run's input files; false (after saying why) when one is unusable.
bool App::PrepareInputs(InputScript& script, Replay& replay, ReplayRecorder& recorder) {
    std::string error;
    if (!options.inputFile.empty() && !script.LoadFile(options.inputFile, error)) {
        std::fprintf(stderr, "vorlan: %s\n", error.c_str());
        return false;
    }
    if (!options.replayFile.empty()) {
        if (!replay.LoadFile(options.replayFile, error)) {
            std::fprintf(stderr, "vorlan: %s\n", error.c_str());
            return false;
        }
        // The recorded run's own settings, so everything reads the clock as it did.
        options.fixedClock = replay.header.fixedClock;
        options.autopilot = replay.header.autopilot;
        if (replay.header.seedGiven) options.seed = replay.header.seed;
        if (options.frames < 0 || (replay.header.frames >= 0 && replay.header.frames < options.frames))
            options.frames = replay.header.frames;
    }
    if (!options.recordFile.empty()) {
        if (!recorder.Open(options.recordFile)) {
            std::fprintf(stderr, "vorlan: cannot write recording %s\n", options.recordFile.c_str());
            return false;
        }
        recorder.header.fixedClock = options.fixedClock;
        recorder.header.autopilot = options.autopilot;
        recorder.header.frames = options.frames;
    }
    return true;
}

// Whose files: only a race a person drives writes the player's settings,
// records and ghost; demos, scripted and replayed runs read them to show them.
// --profile puts every one of them in its folder, for any run.
bool App::PrepareProfile() {
    const bool ownProfile = !options.profileDir.empty();
    std::string error;
    if (ownProfile && !UserFiles::UseProfile(options.profileDir, error)) {
        std::fprintf(stderr, "vorlan: --profile %s: %s\n", options.profileDir.c_str(), error.c_str());
        return false;
    }
    const bool driven = !options.autopilot && options.inputFile.empty() && options.replayFile.empty();
    UserFiles::SetWritesAllowed(ownProfile || driven);
    return true;
}

// Before the scene runs: the pause key and the window's focus pause or
// resume the game; scenes, sounds and the scene's clock follow.
void App::UpdatePause(IPlatform& platform) {
    SceneManager& scenes = SceneManager::GetInstance();
    // The scene about to run, even if it takes over this frame.
    Scene_base* scene = scenes.nextScene ? scenes.nextScene : scenes.currentScene;
    SetGamepadStartPauses(pause.IsPaused() || (scene && scene->startPauses));
    const PauseControl::Change change =
        pause.Frame(platform.IsKeyDown(Key::Pause), window.focusLost, platform, scene && scene->ownsKeys);
    if (change == PauseControl::Change::Paused) AxAudioManager::GetInstance().PauseAll();
    if (change == PauseControl::Change::Resumed) AxAudioManager::GetInstance().ResumeAll();
    // The scene running now, and the one taking over if it differs.
    for (Scene_base* s : {scenes.currentScene, scenes.nextScene != scenes.currentScene ? scenes.nextScene : nullptr})
        if (s) s->paused = pause.IsPaused();
    if (change == PauseControl::Change::Resumed && scene) scene->ShiftClock(pause.LastPauseMs());
}

// The sound file of --audio-out: a headless run's silent mix, nothing else.
bool App::OpenAudioOut(AudioCapture& capture) {
    if (!options.headless) {
        std::fprintf(stderr, "vorlan: --audio-out needs --headless\n");
        return false;
    }
    if (!capture.Open(options.audioOutFile)) {
        std::fprintf(stderr, "vorlan: --audio-out: cannot write %s\n", options.audioOutFile.c_str());
        return false;
    }
    return true;
}

// Only a capped run on the real clock follows the clock's timeline with
// pictures at the display's pace; the virtual clock and an uncapped run give
// every update its own picture.
FramePacer::Skip App::SkipMode() const {
    if (options.frameSkip == "off") return FramePacer::Skip::Never;
    if (options.frameSkip == "max") return FramePacer::Skip::Always;
    return options.fixedClock || options.uncapped ? FramePacer::Skip::Never : FramePacer::Skip::Behind;
}

// One update: the window's events, the pause, the sounds, the scene's step
// and the trace line. False when the run ends before it.
bool App::RunUpdate(long long frame, HarnessPlatform& platform, Replay& replay, TraceWriter& trace) {
    platform.SetFrame(frame);
    if (options.frames >= 0 && frame >= options.frames) return false;
    if (replay.OutOfStep()) return false;
    {
        const Scene_base* front = SceneManager::GetInstance().currentScene;
        window.escapeCloses = !(front && front->takesEscape);
        window.fullscreenKeys = !(front && front->ownsKeys);
    }
    window.ProcessMessage();
    if (!window.hWnd) return false;
    UpdatePause(platform);
    AxAudioManager::GetInstance().Update();
    SceneManager::GetInstance().Step();
    trace.WriteFrame(frame, platform.Milliseconds(), SceneManager::GetInstance().currentScene);
    platform.EndFrame();
    return true;
}

// How pictures meet the display: vsync as the settings and command line say
// (a window only: headless pictures go nowhere), the refresh period they are
// paced to, and the simulated display of --simulate-display.
App::PictureSetup App::SetUpPictures(IPlatform& platform, const Game* game) {
    PictureSetup setup;
    const bool vsync = !options.noVsync && (!game || game->settings.vsync);
    AxDirect3D& device = AxDirect3D::GetInstance();
    if (!options.headless) device.SetVsync(vsync);
    const int refresh = options.headless ? 0 : device.DisplayRefreshRate();
    setup.periodMs = refresh > 0 ? 1000.0 / refresh : 1000.0 / 60.0;
    if (options.simulateDisplayHz) {
        setup.periodMs = 1000.0 / options.simulateDisplayHz;
        if (vsync) setup.display = std::make_unique<SimulatedDisplay>(platform, options.simulateDisplayHz);
    }
    return setup;
}

// Auto follows the machine on a capped real clock only; elsewhere the scale
// holds (auto meaning full size), so measured and replayed runs draw alike.
bool App::AutoScaleInForce(const Game* game) const {
    if (options.fixedClock || options.uncapped) return false;
    return game ? game->RenderScaleAutoInForce() : options.renderScaleAuto && !options.renderScale;
}

int App::ListCourses() {
    if (!PrepareProfile()) return 2;
    for (const CourseData& course : Courses().catalog.courses)
        std::printf("%s\t%s\t%d\n", course.id.c_str(), course.name.c_str(), course.laps);
    return 0;
}

int App::Run() {
    SetHeadless(options.headless);
    AudioCapture audioOut;
    if (!options.audioOutFile.empty() && !OpenAudioOut(audioOut)) return 2;

    InputScript script;
    Replay replay;
    ReplayRecorder recorder;
    if (!PrepareInputs(script, replay, recorder)) return 2;
    const bool replaying = !options.replayFile.empty();
    if (!PrepareProfile()) return 2;
    const CourseData* startCourse = nullptr;
    if (!makeScene && options.reference.empty() && !ChooseStartCourse(options, replaying ? &replay.header : nullptr, startCourse))
        return 2;
    TraceWriter trace;
    if (!options.traceFile.empty() && !trace.Open(options.traceFile)) {
        std::fprintf(stderr, "vorlan: cannot write trace %s\n", options.traceFile.c_str());
        return 2;
    }

    HarnessPlatform platform(SdlPlatform(), options.inputFile.empty() ? nullptr : &script, options.fixedClock,
                             options.uncapped, recorder.IsOpen() ? &recorder : nullptr,
                             replaying ? &replay : nullptr);
    SetPlatform(&platform);
    struct RestorePlatform {
        ~RestorePlatform() { SetPlatform(nullptr); }
    } restorePlatform;

    AxAudioManager::GetInstance().SetFixedStep(options.fixedClock);
    if (!Init(kWindowWidth, kWindowHeight)) return 1;
    if (audioOut.IsOpen()) AxAudioManager::GetInstance().SetCapture(&audioOut);
    window.eventFilter = [&platform](WindowBackend::Events& events) { platform.FilterWindowEvents(events); };
    if (options.fullscreen) window.SetFullscreen(true);

    FramePacer pacer(platform, maxFps);
    pacer.SetSkip(SkipMode());
    pacer.Start();
    const double loadStart = PerfMilliseconds();
    Scene_base* scene = makeScene ? makeScene() : nullptr;
    if (!scene && !options.reference.empty()) scene = new ReferenceScene(options.reference);
    Game* game = nullptr;
    if (!scene) {
        game = startCourse ? new Game(*startCourse) : new Game;
        game->autopilot = options.autopilot;
        game->saveRunPath = options.saveRunFile;
        // Scripted keys stand for keyboard keys; a replay reads the keyboard
        // presses its recording kept, when it was made from the keyboard.
        game->rawKeys = replaying ? replay.header.rawKeys : options.inputFile.empty();
        recorder.header.rawKeys = game->rawKeys;
        // The command line wins over the settings file for this run, and is
        // never saved. A replay races at the difficulty it was recorded at.
        if (options.fullscreen) game->overrides.fullscreen = true;
        game->overrides.renderScale = options.renderScale;
        if (options.renderScaleAuto) game->overrides.renderScaleAuto = true;
        if (options.noGhost) game->overrides.ghost = false;
        if (replaying)
            for (Difficulty d : {Difficulty::Easy, Difficulty::Normal, Difficulty::Hard})
                if (replay.header.difficulty == Settings::DifficultyName(d)) game->overrides.difficulty = d;
        game->setFullscreen = [this](bool on) { window.SetFullscreen(on); };
        game->isFullscreen = [this] { return window.IsFullscreen(); };
        game->LoadSettings(Settings::DefaultPath());
        // The leaderboard: this run's --server over the settings' own.
        game->online = StartOnline(options.server.value_or(game->settings.server), game->settings.player);
        recorder.header.difficulty = Settings::DifficultyName(game->DifficultyInForce());
        recorder.header.course = game->courseData.id;
        recorder.header.courseHash = game->courseData.gameplayHash;
        courseId = game->courseData.id;
        scene = game;
    }
    SceneManager::GetInstance().SetScene(scene);
    const double loadMs = PerfMilliseconds() - loadStart;
    const unsigned seed = options.seed ? *options.seed : platform.Milliseconds();
    Random::Seed(seed);
    recorder.header.seed = seed;
    recorder.header.seedGiven = options.seed.has_value();

    AxDirect3D& device = AxDirect3D::GetInstance();
    PictureSetup picture = SetUpPictures(platform, game);
    pacer.SetDisplayPeriod(picture.periodMs);
    RenderScaleControl autoScale(picture.periodMs);
    FrameLog frameLog;
    if (!options.frameLogFile.empty() && !frameLog.Open(options.frameLogFile)) {
        std::fprintf(stderr, "vorlan: cannot write frame log %s\n", options.frameLogFile.c_str());
        return 2;
    }

    pause = PauseControl();
    FrameStats::Get().Reset();
    Motion().Jump();
    long long updates = 0;
    long long drawn = 0;
    int sincePicture = 0;     // updates run since the last picture
    bool running = true;
    bool screenshot = false;  // the last update's picture is to be saved: drawn as it is
    // One update; false when the run ends or a screenshot's frame wants its picture now.
    auto update = [&]() {
        if (!RunUpdate(updates, platform, replay, trace)) {
            running = false;
            return false;
        }
        screenshot = options.WantsScreenshot(updates);
        ++updates;
        ++sincePicture;
        return !screenshot;
    };
    pacer.BeginLoop();
    while (running && !endFlag) {
        const double passStart = PerfMilliseconds();
        // The updates the clock calls for, unless a screenshot's frame has
        // just run: its picture is that frame's own.
        float fraction = 1.0f;
        if (!screenshot) {
            const int due = pacer.UpdatesDue();
            for (int i = 0; i < due && update(); ++i) {
            }
            if (!running || updates == 0) break;
            if (!screenshot) fraction = pacer.Fraction();
        }

        // One picture, between the last two updates.
        Motion().BeginPicture(updates, fraction);
        device.SetSubmitEnabled(!options.noRender || screenshot);
        SceneManager::GetInstance().Picture();
        if (pause.IsPaused()) pauseOverlay.Draw();
        for (const RunOptions::Screenshot& shot : options.screenshots) {
            if (screenshot && shot.frame == updates - 1 && !SaveScreenshot(shot.path))
                std::fprintf(stderr, "vorlan: cannot write screenshot %s\n", shot.path.c_str());
        }
        screenshot = false;
        double presentMs = 0.0;
        double costMs = 0.0;
        {
            FrameStats::Section section(FrameStats::kPresent);
            if (device.IsSubmitEnabled()) ++drawn;
            device.Present();
            presentMs = PerfMilliseconds();
            costMs = presentMs - passStart;
        }
        // On a simulated display the picture is seen at its next refresh.
        const double shownAt = picture.display ? picture.display->NextRefresh() : presentMs;
        frameLog.Picture(shownAt, sincePicture, fraction,
                         (static_cast<double>(updates - 1) + fraction) * pacer.Budget(), device.RenderScale());
        sincePicture = 0;
        pacer.SetPictureCost(costMs);
        if (AutoScaleInForce(game)) {
            const float scale = autoScale.Picture(costMs);
            if (scale != device.RenderScale()) device.SetRenderScale(scale);
        }
        FrameStats::Get().Add(FrameStats::kFrame, PerfMilliseconds() - passStart);
        FrameStats::Get().EndFrame();
        // The simulated display shows the picture at its next refresh; until
        // then, and until the next picture's turn, updates run as they fall due.
        if (picture.display) pacer.WaitUntil(shownAt, update);
        if (running && !screenshot) pacer.WaitForNextPicture(update);
        pacer.CountPicture();
        fps = pacer.fps;
    }

    // The course the run ended on: the title may have changed it.
    if (const Game* game = dynamic_cast<const Game*>(SceneManager::GetInstance().currentScene))
        courseId = game->courseData.id;
    pauseOverlay.Release();
    AxShaderManager::GetInstance().Release();
    AxDirect3D::GetInstance().Release();
    AxAudioManager::GetInstance().Release();
    const bool audioOutWritten = !audioOut.IsOpen() || audioOut.Finish();
    window.Release();
    window.eventFilter = nullptr;
    trace.Close();
    if (!frameLog.Close()) std::fprintf(stderr, "vorlan: cannot write frame log %s\n", options.frameLogFile.c_str());
    if (recorder.IsOpen() && !recorder.Finish())
        std::fprintf(stderr, "vorlan: cannot write recording %s\n", options.recordFile.c_str());
    if (!audioOutWritten) {
        std::fprintf(stderr, "vorlan: --audio-out: cannot write %s\n", options.audioOutFile.c_str());
        return 2;
    }
    if (options.stats) PrintStats(courseId, loadMs, updates, fps, drawn);
    if (replay.OutOfStep()) {
        std::fprintf(stderr, "vorlan: %s: replay out of step %s\n", options.replayFile.c_str(),
                     replay.Problem().c_str());
        return 2;
    }
    return 0;
}
