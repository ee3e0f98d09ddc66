// Pausing: the toggle itself, the real App loop with a scripted P, the
// overlay in the picture, and the mixer holding every sound.

#include "app/App.h"
#include "app/Pause.h"
#include "app/SceneManager.h"
#include "app/Scene_base.h"
#include "framework/audio/AxAudioManager.h"
#include "framework/audio/AxSoundEffect.h"
#include "framework/audio/AxSoundInstance.h"
#include "framework/audio/WavFile.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <stb_image.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <vector>

namespace fs = std::filesystem;

namespace {
// A clock that counts how often it is read.
class CountingClock final : public IPlatform {
public:
    bool IsKeyDown(Key) override { return false; }
    uint32_t Milliseconds() override {
        ++reads;
        return now;
    }
    void Sleep(uint32_t) override {}
    uint32_t now = 0;
    int reads = 0;
};
}  // namespace

TEST(PauseControl, KeyTogglesOnPressFocusLossOnlyPauses) {
    PauseControl pause;
    CountingClock clock;
    using C = PauseControl::Change;
    clock.now = 1000;
    EXPECT_EQ(pause.Frame(false, false, clock), C::None);
    EXPECT_EQ(clock.reads, 0) << "no clock readings while nothing changes";
    EXPECT_EQ(pause.Frame(true, false, clock), C::Paused);
    clock.now = 1100;
    EXPECT_EQ(pause.Frame(true, false, clock), C::None) << "holding the key is one press";
    EXPECT_EQ(pause.Frame(false, true, clock), C::None) << "losing focus while paused changes nothing";
    clock.now = 1500;
    EXPECT_EQ(pause.Frame(true, false, clock), C::Resumed);
    EXPECT_EQ(pause.LastPauseMs(), 500u);
    EXPECT_FALSE(pause.IsPaused());

    clock.now = 0xFFFFFF00u;
    EXPECT_EQ(pause.Frame(false, true, clock), C::Paused);
    EXPECT_EQ(pause.Frame(false, true, clock), C::None) << "only a key press resumes";
    clock.now = 0x100;  // the tick count wrapped meanwhile
    EXPECT_EQ(pause.Frame(true, false, clock), C::Resumed);
    EXPECT_EQ(pause.LastPauseMs(), 0x200u);
    EXPECT_EQ(clock.reads, 4);
}

namespace {
struct Log {
    int updates = 0;
    int draws = 0;
    std::vector<uint32_t> shifts;
};
Log g_log;

class LoggingScene : public Scene_base {
public:
    void Update() override { ++g_log.updates; }
    void Draw() override { ++g_log.draws; }
    void ShiftClock(uint32_t ms) override { g_log.shifts.push_back(ms); }
};

class AppPause : public ::testing::Test {
protected:
    void SetUp() override {
        g_log = Log{};
        dir = fs::temp_directory_path() /
              ("vorlan-pause-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::create_directories(dir);
        App& app = App::GetInstance();
        app.options = RunOptions{};
        app.options.headless = true;
        app.options.noRender = true;
        app.options.fixedClock = true;
        app.options.inputFile = (dir / "keys.txt").string();
        app.options.traceFile = (dir / "trace.jsonl").string();
        app.makeScene = [] { return new LoggingScene; };
    }
    void TearDown() override {
        App::GetInstance().options = RunOptions{};
        App::GetInstance().makeScene = nullptr;
        fs::remove_all(dir);
    }
    int Run(const std::string& keys, long long frames) {
        std::ofstream(dir / "keys.txt") << keys;
        App::GetInstance().options.frames = frames;
        return App::GetInstance().Run();
    }
    fs::path dir;
};
}  // namespace

TEST_F(AppPause, ScriptedPStopsUpdatesButNotDrawingAndTheSceneSkipsThePausedTime) {
    ASSERT_EQ(Run("10 10 P\n20 21 Pause\n", 30), 0);
    EXPECT_EQ(g_log.draws, 30);
    EXPECT_EQ(g_log.updates, 20) << "frames 10..19 are paused";
    ASSERT_EQ(g_log.shifts.size(), 1u);
    EXPECT_EQ(g_log.shifts[0], 160u) << "ten frames of the virtual clock";

    // The clock itself goes on: the trace is that of any 30 frames.
    std::ifstream trace(dir / "trace.jsonl");
    std::string line;
    int frame = 0;
    while (std::getline(trace, line)) {
        ASSERT_EQ(nlohmann::json::parse(line)["ms"], 16 * frame);
        ++frame;
    }
    EXPECT_EQ(frame, 30);
}

TEST_F(AppPause, EscapeStillQuitsWhilePaused) {
    ASSERT_EQ(Run("3 3 P\n8 8 Escape\n", 100), 0);
    EXPECT_EQ(g_log.updates, 3);
    EXPECT_EQ(g_log.draws, 8);
    EXPECT_TRUE(g_log.shifts.empty());
}

TEST_F(AppPause, OverlayDimsThePictureAndShowsTheWord) {
    App& app = App::GetInstance();
    app.options.screenshots = {{2, (dir / "running.png").string()}, {6, (dir / "paused.png").string()}};
    ASSERT_EQ(Run("4 4 P\n", 8), 0);

    auto load = [](const fs::path& path, std::vector<uint8_t>& rgba) {
        int w = 0, h = 0, n = 0;
        stbi_uc* pixels = stbi_load(path.string().c_str(), &w, &h, &n, 4);
        if (!pixels) return false;
        rgba.assign(pixels, pixels + static_cast<size_t>(w) * h * 4);
        stbi_image_free(pixels);
        return w == 1280 && h == 720;
    };
    std::vector<uint8_t> running, paused;
    ASSERT_TRUE(load(dir / "running.png", running));
    ASSERT_TRUE(load(dir / "paused.png", paused));
    auto at = [](const std::vector<uint8_t>& img, int x, int y, int c) { return img[(y * 1280 + x) * 4 + c]; };
    EXPECT_EQ(at(running, 10, 10, 2), 255) << "the scene's blue, untouched while running";
    // The corners keep the scene's hue at under half its light.
    for (auto [x, y] : {std::pair{5, 5}, {1274, 5}, {5, 714}, {1274, 714}}) {
        EXPECT_EQ(at(paused, x, y, 0), 0);
        EXPECT_NEAR(at(paused, x, y, 2), 115, 3) << x << "," << y;
    }
    // The word sits in the middle: bright, light-blue-to-white texels in the
    // band across the centre, none of them near the edges.
    int bright = 0;
    for (int x = 0; x < 1280; ++x) {
        const bool light = at(paused, x, 360, 1) > 120 && at(paused, x, 360, 2) > 200;
        if (light) {
            ++bright;
            EXPECT_GT(x, 300);
            EXPECT_LT(x, 980);
        }
    }
    EXPECT_GT(bright, 100);
}

namespace {
// The real mixer on the loopback device, as the headless game runs it.
class AudioPause : public ::testing::Test {
protected:
    void SetUp() override {
        SetHeadless(true);
        AxAudioManager& manager = AxAudioManager::GetInstance();
        manager.SetFixedStep(true);
        ASSERT_TRUE(manager.Init());
        ASSERT_TRUE(manager.IsSilent());
        path = wavtest::TempDir() + "/pause-test-beep.wav";
        // 100 ms of tone.
        ASSERT_TRUE(wavtest::WriteFile(path, wavtest::MakeWav(wavtest::Sine(440, 0.1, 48000, 0.5f), 1, 48000)));
        sound = std::make_shared<AxSoundEffect>();
        ASSERT_TRUE(sound->Load(path));
    }
    void TearDown() override {
        sound.reset();
        AxAudioManager::GetInstance().Release();
        std::remove(path.c_str());
    }
    // Loudest sample over ms milliseconds of mixing.
    static float Peak(int ms) {
        std::vector<float> out(static_cast<size_t>(ms) * 48 * 2);
        EXPECT_TRUE(AxAudioManager::GetInstance().RenderSamples(out.data(), ms * 48));
        float peak = 0;
        for (float v : out) peak = std::max(peak, std::fabs(v));
        return peak;
    }
    std::string path;
    std::shared_ptr<AxSoundEffect> sound;
};
}  // namespace

TEST_F(AudioPause, SoundsHoldTheirPlaceAndGoOnFromItAfterResume) {
    AxAudioManager& manager = AxAudioManager::GetInstance();
    std::shared_ptr<AxSoundInstance> voice = sound->CreateInstance(false);
    voice->Play(false, false);
    EXPECT_GT(Peak(50), 0.1f);
    manager.PauseAll();
    EXPECT_TRUE(manager.IsPaused());
    EXPECT_EQ(Peak(500), 0.0f);
    for (int i = 0; i < 30; ++i) manager.Update();  // frames go by while paused
    EXPECT_EQ(voice->GetState(), AxSoundInstance::State::Playing);

    // Started while paused: it waits as well.
    std::shared_ptr<AxSoundInstance> late = sound->CreateInstance(false);
    late->Play(false, true);
    EXPECT_EQ(Peak(50), 0.0f);

    manager.ResumeAll();
    EXPECT_FALSE(manager.IsPaused());
    EXPECT_GT(Peak(60), 0.1f) << "the rest of the first tone and the late one";
    EXPECT_EQ(voice->GetState(), AxSoundInstance::State::Stopped) << "the first tone had only 50 ms left";
    EXPECT_EQ(late->GetState(), AxSoundInstance::State::Playing);
    EXPECT_GT(Peak(60), 0.1f) << "the late tone plays its full length";
    EXPECT_EQ(late->GetState(), AxSoundInstance::State::Stopped);
    EXPECT_LT(Peak(20), 1e-3f) << "no more than the reverb's inaudible tail";
    manager.Update();
    EXPECT_TRUE(manager.GetPlayList().empty());
}

TEST_F(AudioPause, ResumeLeavesSoundsTheGamePausedItselfAlone) {
    AxAudioManager& manager = AxAudioManager::GetInstance();
    std::shared_ptr<AxSoundInstance> voice = sound->CreateInstance(false);
    voice->Play(true, false);
    voice->Pause();
    manager.PauseAll();
    manager.PauseAll();  // twice is once
    manager.ResumeAll();
    EXPECT_EQ(voice->GetState(), AxSoundInstance::State::Paused);
    EXPECT_LT(Peak(20), 1e-3f);
    manager.ResumeAll();  // not paused: nothing to do
    voice->Resume();
    EXPECT_GT(Peak(20), 0.1f);
}
