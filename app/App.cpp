#include "app/App.h"

#include "app/FramePacer.h"
#include "app/FrameStats.h"
#include "app/HarnessPlatform.h"
#include "app/SceneManager.h"
#include "app/Scene_base.h"
#include "framework/ImageWrite.h"
#include "framework/audio/AxAudioManager.h"
#include "framework/graphics/AxDirect3D.h"
#include "framework/graphics/AxShaderManager.h"
#include "framework/platform/Platform.h"
#include "scene/Game.h"
#include "scene/ReferenceScene.h"
#include "scene/TraceWriter.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {
constexpr int kWindowWidth = 1280;
constexpr int kWindowHeight = 720;

void PrintStats(double loadMs, int fps) {
    const FrameStats& stats = FrameStats::Get();
    auto summary = [&](FrameStats::Kind kind) {
        const FrameStats::Summary s = stats.Summarise(kind);
        char text[160];
        std::snprintf(text, sizeof text, "{\"median\":%.3f,\"p95\":%.3f,\"max\":%.3f}", s.median, s.p95, s.max);
        return std::string(text);
    };
    std::printf("{\"frames\":%zu,\"loadMs\":%.3f,\"frameMs\":%s,\"updateMs\":%s,\"drawMs\":%s,\"presentMs\":%s,"
                "\"fps\":%d,\"peakRssMiB\":%.1f}\n",
                stats.FrameCount(), loadMs, summary(FrameStats::kFrame).c_str(),
                summary(FrameStats::kUpdate).c_str(), summary(FrameStats::kDraw).c_str(),
                summary(FrameStats::kPresent).c_str(), fps, PeakRssMiB());
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

int App::Run() {
    SetHeadless(options.headless);

    InputScript script;
    if (!options.inputFile.empty()) {
        std::string error;
        if (!script.LoadFile(options.inputFile, error)) {
            std::fprintf(stderr, "vorlan: %s\n", error.c_str());
            return 2;
        }
    }
    TraceWriter trace;
    if (!options.traceFile.empty() && !trace.Open(options.traceFile)) {
        std::fprintf(stderr, "vorlan: cannot write trace %s\n", options.traceFile.c_str());
        return 2;
    }

    HarnessPlatform platform(SdlPlatform(), options.inputFile.empty() ? nullptr : &script, options.fixedClock,
                             options.uncapped);
    SetPlatform(&platform);
    struct RestorePlatform {
        ~RestorePlatform() { SetPlatform(nullptr); }
    } restorePlatform;

    AxAudioManager::GetInstance().SetFixedStep(options.fixedClock);
    if (!Init(kWindowWidth, kWindowHeight)) return 1;

    FramePacer pacer(platform, maxFps);
    pacer.Start();
    const double loadStart = PerfMilliseconds();
    Scene_base* scene = makeScene ? makeScene() : nullptr;
    if (!scene && !options.reference.empty()) scene = new ReferenceScene(options.reference);
    if (!scene) {
        Game* game = new Game;
        game->autopilot = options.autopilot;
        scene = game;
    }
    SceneManager::GetInstance().SetScene(scene);
    const double loadMs = PerfMilliseconds() - loadStart;
    std::srand(options.seed ? *options.seed : platform.Milliseconds());

    AxDirect3D& device = AxDirect3D::GetInstance();
    FrameStats::Get().Reset();
    pacer.BeginLoop();
    for (long long frame = 0; !endFlag; ++frame) {
        const double workStart = PerfMilliseconds();
        platform.SetFrame(frame);
        if (options.frames >= 0 && frame >= options.frames) break;
        window.ProcessMessage();
        if (!window.hWnd) break;

        AxAudioManager::GetInstance().Update();
        const bool screenshot = options.WantsScreenshot(frame);
        device.SetSubmitEnabled(!options.noRender || screenshot);
        SceneManager::GetInstance().Frame();
        for (const RunOptions::Screenshot& shot : options.screenshots) {
            if (shot.frame == frame && !SaveScreenshot(shot.path))
                std::fprintf(stderr, "vorlan: cannot write screenshot %s\n", shot.path.c_str());
        }
        {
            FrameStats::Section section(FrameStats::kPresent);
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

    AxShaderManager::GetInstance().Release();
    AxDirect3D::GetInstance().Release();
    AxAudioManager::GetInstance().Release();
    window.Release();
    trace.Close();
    if (options.stats) PrintStats(loadMs, fps);
    return 0;
}
