#include "app/App.h"

#include "app/FramePacer.h"
#include "app/FrameStats.h"
#include "app/HarnessPlatform.h"
#include "app/InputScript.h"
#include "app/Replay.h"
#include "app/SceneManager.h"
#include "app/Scene_base.h"
#include "framework/ImageWrite.h"
#include "framework/audio/AudioCapture.h"
#include "framework/audio/AxAudioManager.h"
#include "framework/graphics/AxDirect3D.h"
#include "framework/graphics/AxShaderManager.h"
#include "framework/platform/Platform.h"
#include "profile/PlayerRecords.h"
#include "scene/CourseChoice.h"
#include "scene/Game.h"
#include "scene/ReferenceScene.h"
#include "scene/TraceWriter.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {
constexpr int kWindowWidth = 1280;
constexpr int kWindowHeight = 720;

void PrintStats(const std::string& course, double loadMs, int fps, long long drawn) {
    const FrameStats& stats = FrameStats::Get();
    auto summary = [&](FrameStats::Kind kind) {
        const FrameStats::Summary s = stats.Summarise(kind);
        char text[160];
        std::snprintf(text, sizeof text, "{\"median\":%.3f,\"p95\":%.3f,\"max\":%.3f}", s.median, s.p95, s.max);
        return std::string(text);
    };
    std::printf("{\"frames\":%zu,\"loadMs\":%.3f,\"frameMs\":%s,\"updateMs\":%s,\"drawMs\":%s,\"presentMs\":%s,"
                "\"fps\":%d,\"drawn\":%lld,\"peakRssMiB\":%.1f,\"course\":\"%s\"}\n",
                stats.FrameCount(), loadMs, summary(FrameStats::kFrame).c_str(),
                summary(FrameStats::kUpdate).c_str(), summary(FrameStats::kDraw).c_str(),
                summary(FrameStats::kPresent).c_str(), fps, drawn, PeakRssMiB(), course.c_str());
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

// Before the scene runs: the pause key and the window's focus pause or
// resume the game; scenes, sounds and the scene's clock follow.
void App::UpdatePause(IPlatform& platform) {
    SceneManager& scenes = SceneManager::GetInstance();
    // The scene about to run, even if it takes over this frame.
    Scene_base* scene = scenes.nextScene ? scenes.nextScene : scenes.currentScene;
    SetGamepadStartPauses(pause.IsPaused() || (scene && scene->startPauses));
    const PauseControl::Change change = pause.Frame(platform.IsKeyDown(Key::Pause), window.focusLost, platform);
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

// Only a capped run on the real clock has a timeline to fall behind; the
// virtual clock never runs late and an uncapped run does not wait for it.
bool App::StartCourse(const ReplayHeader* recorded, const CourseData*& course) const {
    const CourseCatalog& catalog = Courses().catalog;
    if (recorded) {
        // Recordings from before courses were files all raced the desert.
        const std::string id = recorded->course.empty() ? "desert" : recorded->course;
        course = catalog.Find(id);
        if (!course) {
            std::fprintf(stderr, "vorlan: %s: recorded on the course '%s', which is not here (playable: %s)\n",
                         options.replayFile.c_str(), id.c_str(), catalog.Ids().c_str());
            return false;
        }
        if (!recorded->courseHash.empty() && recorded->courseHash != course->gameplayHash) {
            std::fprintf(stderr, "vorlan: %s: the course '%s' has changed since the recording (gameplay hash %s, recorded %s)\n",
                         options.replayFile.c_str(), id.c_str(), course->gameplayHash.c_str(),
                         recorded->courseHash.c_str());
            return false;
        }
        return true;
    }
    if (!options.course.empty()) {
        course = catalog.Find(options.course);
        if (!course) {
            std::fprintf(stderr, "vorlan: --course %s: no playable course of that id; playable: %s\n",
                         options.course.c_str(), catalog.Ids().c_str());
            return false;
        }
        return true;
    }
    Settings chosen;
    chosen.Load(Settings::DefaultPath());
    if (!chosen.course.empty()) {
        course = catalog.Find(chosen.course);
        if (!course && Courses().FirstPlayable())
            std::fprintf(stderr, "vorlan: settings.ini: course '%s' is not a playable course; racing %s\n",
                         chosen.course.c_str(), Courses().FirstPlayable()->id.c_str());
    }
    if (!course) course = Courses().FirstPlayable();
    return true;
}

FramePacer::Skip App::SkipMode() const {
    if (options.frameSkip == "off") return FramePacer::Skip::Never;
    if (options.frameSkip == "max") return FramePacer::Skip::Always;
    return options.fixedClock || options.uncapped ? FramePacer::Skip::Never : FramePacer::Skip::Behind;
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
    const CourseData* startCourse = nullptr;
    if (!makeScene && options.reference.empty() && !StartCourse(replaying ? &replay.header : nullptr, startCourse))
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
    if (!scene) {
        Game* game = startCourse ? new Game(*startCourse) : new Game;
        game->autopilot = options.autopilot;
        // The command line wins over the settings file for this run.
        // Scripted keys stand for keyboard keys; a replay reads the keyboard
        // presses its recording kept, when it was made from the keyboard.
        game->rawKeys = replaying ? replay.header.rawKeys : options.inputFile.empty();
        recorder.header.rawKeys = game->rawKeys;
        game->LoadSettings(Settings::DefaultPath());
        if (game->settings.fullscreen && !options.fullscreen) window.SetFullscreen(true);
        game->setFullscreen = [this](bool on) { window.SetFullscreen(on); };
        if (options.noGhost) game->records->SetGhostShown(false);
        // A replay races at the difficulty it was recorded at, whatever the settings say now.
        if (replaying) {
            for (Difficulty d : {Difficulty::Easy, Difficulty::Normal, Difficulty::Hard})
                if (replay.header.difficulty == Settings::DifficultyName(d)) game->settings.difficulty = d;
            game->ApplySettings();
        }
        recorder.header.difficulty = Settings::DifficultyName(game->settings.difficulty);
        recorder.header.course = game->courseData.id;
        recorder.header.courseHash = game->courseData.gameplayHash;
        courseId = game->courseData.id;
        if (options.renderScale) AxDirect3D::GetInstance().SetRenderScale(*options.renderScale);
        scene = game;
    }
    SceneManager::GetInstance().SetScene(scene);
    const double loadMs = PerfMilliseconds() - loadStart;
    const unsigned seed = options.seed ? *options.seed : platform.Milliseconds();
    std::srand(seed);
    recorder.header.seed = seed;
    recorder.header.seedGiven = options.seed.has_value();

    AxDirect3D& device = AxDirect3D::GetInstance();
    pause = PauseControl();
    FrameStats::Get().Reset();
    long long drawn = 0;
    pacer.BeginLoop();
    for (long long frame = 0; !endFlag; ++frame) {
        const double workStart = PerfMilliseconds();
        platform.SetFrame(frame);
        if (options.frames >= 0 && frame >= options.frames) break;
        if (replay.OutOfStep()) break;
        {
            const Scene_base* front = SceneManager::GetInstance().currentScene;
            window.escapeCloses = !(front && front->takesEscape);
        }
        window.ProcessMessage();
        if (!window.hWnd) break;
        UpdatePause(platform);

        AxAudioManager::GetInstance().Update();
        const bool screenshot = options.WantsScreenshot(frame);
        // A frame left undrawn runs every update and draw call like a
        // --no-render frame; only the GPU work and the present are left out.
        const bool shown = pacer.DrawNext() || screenshot;
        device.SetSubmitEnabled(shown && (!options.noRender || screenshot));
        SceneManager::GetInstance().Frame();
        if (pause.IsPaused()) pauseOverlay.Draw();
        for (const RunOptions::Screenshot& shot : options.screenshots) {
            if (shot.frame == frame && !SaveScreenshot(shot.path))
                std::fprintf(stderr, "vorlan: cannot write screenshot %s\n", shot.path.c_str());
        }
        if (shown) {
            FrameStats::Section section(FrameStats::kPresent);
            if (device.IsSubmitEnabled()) ++drawn;
            device.Present();
        }
        FrameStats::Get().Add(FrameStats::kFrame, PerfMilliseconds() - workStart);
        pacer.SleepOutBudget();
        pacer.CountFrame();
        fps = pacer.fps;
        FrameStats::Get().EndFrame();

        trace.WriteFrame(frame, platform.Milliseconds(), SceneManager::GetInstance().currentScene);
        platform.EndFrame();
        pacer.NextFrame();
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
    if (recorder.IsOpen() && !recorder.Finish())
        std::fprintf(stderr, "vorlan: cannot write recording %s\n", options.recordFile.c_str());
    if (!audioOutWritten) {
        std::fprintf(stderr, "vorlan: --audio-out: cannot write %s\n", options.audioOutFile.c_str());
        return 2;
    }
    if (options.stats) PrintStats(courseId, loadMs, fps, drawn);
    if (replay.OutOfStep()) {
        std::fprintf(stderr, "vorlan: %s: replay out of step %s\n", options.replayFile.c_str(),
                     replay.Problem().c_str());
        return 2;
    }
    return 0;
}
