#include "WavFile.h"
#include "app/Scene_base.h"
#include "framework/audio/AxAudioManager.h"
#include "framework/audio/AxSoundEffect.h"
#include "framework/audio/AxSoundInstance.h"
#include "framework/platform/Platform.h"
#include "scene/JsonLine.h"
#include "scene/TraceWriter.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cmath>

using namespace wavtest;

namespace {
constexpr int kRate = 48000;

struct Level {
    double left = 0.0, right = 0.0;
    double Both() const { return std::sqrt((left * left + right * right) / 2.0); }
};

// Runs the real mixer on the loopback device: the tests hear what a sound
// card would have played.
class Audio : public ::testing::Test {
protected:
    void SetUp() override {
        wasHeadless = IsHeadless();
        SetHeadless(true);
        AxAudioManager& manager = AxAudioManager::GetInstance();
        manager.SetFixedStep(true);
        ASSERT_TRUE(manager.Init());
        ASSERT_TRUE(manager.IsSilent());
        ASSERT_EQ(manager.SampleRate(), kRate);
        // OpenAL Soft's loopback device offers effects, so the reverb is in
        // every measurement below.
        EXPECT_NE(manager.ReverbSlot(), 0u);
    }
    void TearDown() override {
        AxAudioManager::GetInstance().Release();
        AxAudioManager::GetInstance().listener = AxAudioListener{};
        SetHeadless(wasHeadless);
    }

    AxAudioManager& Manager() { return AxAudioManager::GetInstance(); }

    std::string File(const char* name) {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        return TempDir() + "/" + info->test_suite_name() + "_" + info->name() + "_" + name;
    }

    // A sine file, loaded.
    std::shared_ptr<AxSoundEffect> Sound(const char* name, double hz, double seconds, float amplitude = 0.25f,
                                         int channels = 1) {
        const std::string path = File(name);
        EXPECT_TRUE(WriteFile(path, MakeWav(Sine(hz, seconds, kRate, amplitude, channels), channels, kRate)));
        auto sound = std::make_shared<AxSoundEffect>();
        EXPECT_TRUE(sound->Load(path)) << path;
        return sound;
    }

    std::vector<float> Render(double seconds) {
        std::vector<float> out(static_cast<size_t>(seconds * kRate) * 2);
        EXPECT_TRUE(Manager().RenderSamples(out.data(), static_cast<int>(out.size() / 2)));
        return out;
    }

    static Level Rms(const std::vector<float>& samples) {
        Level level;
        const size_t frames = samples.size() / 2;
        for (size_t i = 0; i < frames; ++i) {
            level.left += samples[2 * i] * samples[2 * i];
            level.right += samples[2 * i + 1] * samples[2 * i + 1];
        }
        if (frames) {
            level.left = std::sqrt(level.left / frames);
            level.right = std::sqrt(level.right / frames);
        }
        return level;
    }

    // The level of a short stretch once the voice has settled.
    Level Measure() {
        Render(0.02);
        return Rms(Render(0.1));
    }

    static int ZeroCrossings(const std::vector<float>& samples) {
        int count = 0;
        for (size_t i = 2; i < samples.size(); i += 2)
            if ((samples[i - 2] < 0.0f) != (samples[i] < 0.0f)) ++count;
        return count;
    }

    bool wasHeadless = false;
};
}  // namespace

TEST_F(Audio, APlayedSoundIsHeardThenStops) {
    auto sound = Sound("beep.wav", 440, 0.3);
    EXPECT_NEAR(sound->Duration(), 0.3, 1e-6);
    auto instance = sound->CreateInstance(false);
    ASSERT_TRUE(instance->HasVoice());
    EXPECT_TRUE(Rms(Render(0.05)).Both() == 0.0);  // nothing before Play

    instance->Play(false, true);
    EXPECT_EQ(instance->GetState(), AxSoundInstance::State::Playing);
    const Level level = Rms(Render(0.1));
    EXPECT_GT(level.left, 0.05);
    EXPECT_NEAR(level.left, level.right, 1e-4);  // plain sounds sit in the middle
    Render(0.25);
    EXPECT_EQ(instance->GetState(), AxSoundInstance::State::Stopped);
    EXPECT_EQ(Rms(Render(0.05)).Both(), 0.0);
}

TEST_F(Audio, ALoopingSoundKeepsGoingUntilStopped) {
    auto instance = Sound("loop.wav", 440, 0.1)->CreateInstance(false);
    instance->Play(true, true);
    for (int i = 0; i < 100; ++i) Manager().Update();  // 1.6 s, sixteen times the sound
    EXPECT_EQ(instance->GetState(), AxSoundInstance::State::Playing);
    EXPECT_EQ(Manager().GetPlayList().size(), 1u);
    EXPECT_GT(Measure().Both(), 0.05);

    instance->Stop();
    EXPECT_EQ(instance->GetState(), AxSoundInstance::State::Stopped);
    EXPECT_EQ(Rms(Render(0.05)).Both(), 0.0);
    Manager().Update();
    EXPECT_TRUE(Manager().GetPlayList().empty());

    // Play restarts a stopped instance from the beginning.
    instance->Play(false, true);
    EXPECT_GT(Measure().Both(), 0.05);
}

TEST_F(Audio, AFireAndForgetSoundLivesUntilItEndsAndIsDroppedWithinAFrame) {
    std::weak_ptr<AxSoundInstance> watched;
    std::weak_ptr<AxSoundEffect> watchedSound;
    {
        auto sound = Sound("half.wav", 440, 0.5);
        auto instance = sound->CreateInstance(false);
        instance->Play(false, true);
        watched = instance;
        watchedSound = sound;
    }
    // 0.5 s is 31.25 frames of 16 ms: playing through frame 31, gone at 32.
    int frames = 0;
    while (!watched.expired() && frames < 100) {
        Manager().Update();
        ++frames;
        if (!watched.expired()) {
            EXPECT_EQ(watched.lock()->GetState(), AxSoundInstance::State::Playing);
        }
    }
    EXPECT_EQ(frames, 32);
    EXPECT_TRUE(watchedSound.expired());  // the sound went with its last instance
    EXPECT_TRUE(Manager().GetPlayList().empty());
}

TEST_F(Audio, PlayListEdgeCases) {
    auto sound = Sound("edge.wav", 440, 1.0);
    auto instance = sound->CreateInstance(false);

    // Started twice while playing: listed once.
    instance->Play(false, true);
    Render(0.05);
    instance->Play(false, true);
    ASSERT_EQ(Manager().GetPlayList().size(), 1u);
    EXPECT_EQ(Manager().GetPlayList().begin()->first, instance.get());
    EXPECT_EQ(Manager().GetPlayList().begin()->second, instance);

    // Not registered: the owner alone keeps it.
    auto other = sound->CreateInstance(false);
    other->Play(false, false);
    EXPECT_EQ(Manager().GetPlayList().size(), 1u);
    Manager().AddPlayList(nullptr);
    EXPECT_EQ(Manager().GetPlayList().size(), 1u);

    // Paused leaves the list at the next Update, and the owner can resume it.
    instance->Pause();
    EXPECT_EQ(instance->GetState(), AxSoundInstance::State::Paused);
    Manager().Update();
    EXPECT_TRUE(Manager().GetPlayList().empty());
    EXPECT_EQ(instance->GetState(), AxSoundInstance::State::Paused);
    instance->Resume();
    EXPECT_EQ(instance->GetState(), AxSoundInstance::State::Playing);

    // Update and Release without an engine do nothing.
    Manager().Release();
    EXPECT_FALSE(Manager().HasEngine());
    Manager().Update();
    Manager().Release();
    EXPECT_TRUE(Manager().GetPlayList().empty());
    float buffer[4];
    EXPECT_FALSE(Manager().RenderSamples(buffer, 2));
}

TEST_F(Audio, InstancesOutlivingTheEngineAreHarmless) {
    auto sound = Sound("old.wav", 440, 0.5);
    auto instance = sound->CreateInstance(true);
    instance->Play3D(Vector3(1, 0, 0), true, true);
    Manager().Release();

    // Everything on the old objects now does nothing.
    EXPECT_FALSE(instance->HasVoice());
    EXPECT_EQ(instance->GetState(), AxSoundInstance::State::Stopped);
    instance->Play(true, true);
    instance->SetVolume(3.0f);
    instance->SetPosition(Vector3(5, 5, 5));
    EXPECT_TRUE(Manager().GetPlayList().empty());
    EXPECT_FALSE(sound->IsLoaded());
    EXPECT_FALSE(sound->CreateInstance(false)->HasVoice());
    EXPECT_FALSE(sound->Load(sound->filePath));  // no engine

    // A new engine is not disturbed when the old objects go.
    ASSERT_TRUE(Manager().Init());
    auto fresh = Sound("new.wav", 440, 0.5);
    auto freshInstance = fresh->CreateInstance(false);
    freshInstance->Play(true, true);
    instance.reset();
    sound.reset();
    EXPECT_EQ(freshInstance->GetState(), AxSoundInstance::State::Playing);
    EXPECT_GT(Measure().Both(), 0.05);
}

TEST_F(Audio, MissingAndCorruptFilesGiveSilentInstances) {
    auto missing = std::make_shared<AxSoundEffect>();
    EXPECT_FALSE(missing->Load(File("nowhere.wav")));
    EXPECT_TRUE(missing->filePath.empty());

    const std::string corruptPath = File("corrupt.wav");
    std::vector<uint8_t> bytes = MakeWav(Sine(440, 0.1, kRate, 0.5f), 1, kRate);
    bytes.resize(bytes.size() / 2);  // cut off mid-data
    ASSERT_TRUE(WriteFile(corruptPath, bytes));
    auto corrupt = std::make_shared<AxSoundEffect>();
    EXPECT_FALSE(corrupt->Load(corruptPath));

    for (auto* sound : {missing.get(), corrupt.get()}) {
        EXPECT_FALSE(sound->IsLoaded());
        for (bool use3D : {false, true}) {
            auto instance = sound->CreateInstance(use3D);
            ASSERT_NE(instance, nullptr);
            EXPECT_FALSE(instance->HasVoice());
            instance->SetVolume(2.0f);
            instance->SetPitch(0.5f);
            instance->SetCurveDistanceScaler(3.0f);
            instance->Play(true, true);
            instance->Play3D(Vector3(1, 2, 3), false, true);
            instance->SetPosition(Vector3(1, 2, 3));
            instance->Apply3D();
            instance->Pause();
            instance->Resume();
            instance->Stop();
            EXPECT_EQ(instance->GetState(), AxSoundInstance::State::Stopped);
        }
    }
    EXPECT_TRUE(Manager().GetPlayList().empty());
    EXPECT_TRUE(Manager().GetFramePlays().empty());
    EXPECT_EQ(Rms(Render(0.05)).Both(), 0.0);

    // A failed Load keeps the sound that was there.
    auto sound = Sound("kept.wav", 440, 0.2);
    const std::string kept = sound->filePath;
    EXPECT_FALSE(sound->Load(corruptPath));
    EXPECT_EQ(sound->filePath, kept);
    EXPECT_TRUE(sound->CreateInstance(false)->HasVoice());

    // Not owned by a shared pointer: no voice rather than an exception.
    AxSoundEffect loose;
    EXPECT_TRUE(loose.Load(kept));
    EXPECT_FALSE(loose.CreateInstance(false)->HasVoice());
}

TEST_F(Audio, ReloadingKeepsOldInstancesPlayingTheirData) {
    auto sound = Sound("first.wav", 440, 1.0);
    auto first = sound->CreateInstance(false);
    first->Play(true, true);
    const std::string second = File("second.wav");
    ASSERT_TRUE(WriteFile(second, MakeWav(Sine(880, 0.2, kRate, 0.25f), 1, kRate)));
    ASSERT_TRUE(sound->Load(second));
    EXPECT_EQ(sound->filePath, second);
    EXPECT_NEAR(sound->Duration(), 0.2, 1e-6);
    EXPECT_EQ(first->GetState(), AxSoundInstance::State::Playing);
    const std::vector<float> out = Render(0.1);
    EXPECT_NEAR(ZeroCrossings(out), 88, 3);  // still 440 Hz
}

TEST_F(Audio, VolumeScalesTheLevelAndPlay3DResetsIt) {
    auto sound = Sound("level.wav", 440, 2.0, 0.05f);
    auto instance = sound->CreateInstance(false);
    instance->Play(true, true);
    const double unit = Measure().Both();
    ASSERT_GT(unit, 0.01);
    for (float volume : {0.5f, 2.0f, 10.0f}) {
        instance->SetVolume(volume);
        EXPECT_NEAR(Measure().Both() / unit, volume, 0.02 * volume) << volume;
    }
    instance->SetVolume(-1.0f);  // below zero is silence, not an inverted wave
    EXPECT_EQ(Measure().Both(), 0.0);
    instance->Stop();

    // A positional instance at the listener, volume 10 then Play3D: plays at 1.
    auto positional = sound->CreateInstance(true);
    positional->SetVolume(10.0f);
    positional->Play3D(Vector3(0, 0, 0.5f), true, true);
    EXPECT_EQ(positional->GetVolume(), 1.0f);
    EXPECT_NEAR(Measure().Both() / unit, 1.0, 0.05);
}

TEST_F(Audio, PitchIsInOctaves) {
    auto instance = Sound("pitch.wav", 500, 2.0)->CreateInstance(false);
    instance->Play(true, true);
    Render(0.02);
    const int base = ZeroCrossings(Render(0.2));
    EXPECT_NEAR(base, 200, 3);
    instance->SetPitch(1.0f);
    Render(0.02);
    EXPECT_NEAR(ZeroCrossings(Render(0.2)), 2 * base, 6);
    instance->SetPitch(-1.0f);
    Render(0.02);
    EXPECT_NEAR(ZeroCrossings(Render(0.2)), base / 2, 3);
    instance->SetPitch(0.5f);
    EXPECT_FLOAT_EQ(instance->GetPitch(), 0.5f);
    Render(0.02);
    EXPECT_NEAR(ZeroCrossings(Render(0.2)), base * std::sqrt(2.0), 6);
    instance->SetPitch(5.0f);  // beyond an octave is held at one
    EXPECT_FLOAT_EQ(instance->GetPitch(), 1.0f);
}

TEST_F(Audio, PositionalSoundsPanAndFadeWithDistance) {
    auto sound = Sound("engine.wav", 440, 2.0, 0.05f);
    auto instance = sound->CreateInstance(true);
    instance->SetCurveDistanceScaler(2.0f);
    // The listener faces +Z after Init, so +X is on its right.
    EXPECT_EQ(Manager().listener.OrientFront, Vector3(0, 0, 1));

    instance->Play3D(Vector3(2, 0, 0), true, true);
    const Level right = Measure();
    EXPECT_GT(right.right, 2.0 * right.left);

    instance->SetPosition(Vector3(-2, 0, 0));
    const Level left = Measure();
    EXPECT_GT(left.left, 2.0 * left.right);

    // Turning the listener round swaps the sides.
    Manager().listener.OrientFront = Vector3(0, 0, -1);
    instance->Apply3D();
    const Level turned = Measure();
    EXPECT_GT(turned.right, 2.0 * turned.left);

    // Straight ahead: full level inside the scaler's distance, scaler /
    // distance beyond it.
    Manager().listener.OrientFront = Vector3(0, 0, 1);
    instance->SetPosition(Vector3(0, 0, 1));
    const double inside = Measure().Both();
    instance->SetPosition(Vector3(0, 0, 2));
    const double atScaler = Measure().Both();
    instance->SetPosition(Vector3(0, 0, 20));
    const double far = Measure().Both();
    EXPECT_NEAR(inside / atScaler, 1.0, 0.02);
    EXPECT_NEAR(far / atScaler, 0.1, 0.01);

    // The listener moving away has the same effect as the sound doing so.
    instance->SetPosition(Vector3(0, 0, 2));
    Manager().listener.Position = Vector3(0, 0, -18);
    Manager().Update();
    EXPECT_NEAR(Measure().Both() / atScaler, 0.1, 0.01);

    // A plain sound ignores where the listener is and where it faces.
    instance->Stop();
    auto plain = sound->CreateInstance(false);
    plain->SetPosition(Vector3(100, 0, 0));
    plain->Play(true, true);
    const Level centred = Measure();
    EXPECT_NEAR(centred.left, centred.right, 1e-4);
    EXPECT_GT(centred.Both(), 0.01);
}

TEST_F(Audio, ADegenerateListenerKeepsTheLastGoodOrientation) {
    auto instance = Sound("odd.wav", 440, 1.0, 0.05f)->CreateInstance(true);
    instance->Play3D(Vector3(2, 0, 0), true, true);
    Manager().listener.OrientFront = Vector3(0, 0, 0);
    Manager().listener.Position = Vector3(NAN, 0, 0);
    instance->Apply3D();
    const std::vector<float> out = Render(0.1);
    for (float s : out) ASSERT_TRUE(std::isfinite(s));
    const Level level = Rms(out);
    EXPECT_GT(level.right, 2.0 * level.left);
}

TEST_F(Audio, StereoFilesPlayPositionallyAsMono) {
    auto sound = Sound("stereo.wav", 440, 1.0, 0.05f, 2);
    EXPECT_EQ(sound->Channels(), 2);
    auto plain = sound->CreateInstance(false);
    auto positional = sound->CreateInstance(true);
    positional->SetCurveDistanceScaler(2.0f);
    positional->Play3D(Vector3(2, 0, 0), true, true);
    const Level level = Measure();
    EXPECT_GT(level.right, 2.0 * level.left);
}

TEST_F(Audio, EveryPlayOfTheFrameIsRecordedForTheTrace) {
    auto press = Sound("press.wav", 440, 0.2);
    auto crash = Sound("crash.wav", 440, 0.2);
    auto plain = press->CreateInstance(false);
    auto positional = crash->CreateInstance(true);
    auto silent = std::make_shared<AxSoundEffect>()->CreateInstance(false);

    plain->Play(false, true);
    silent->Play(false, true);  // no voice, nothing heard, nothing recorded
    positional->Play3D(Vector3(1, 2, 3), false, true);
    plain->Play(false, true);

    const std::vector<AxSoundPlayRecord>& plays = Manager().GetFramePlays();
    ASSERT_EQ(plays.size(), 3u);
    EXPECT_EQ(plays[0].file, press->filePath);
    EXPECT_FALSE(plays[0].is3D);
    EXPECT_EQ(plays[1].file, crash->filePath);
    EXPECT_TRUE(plays[1].is3D);
    EXPECT_EQ(plays[1].pos, Vector3(1, 2, 3));
    EXPECT_EQ(plays[2].file, press->filePath);

    // The trace line carries them.
    struct Screen : Scene_base {} scene;
    JsonLine line;
    TraceWriter::BuildFrame(line, 3, 48, &scene);
    const auto frame = nlohmann::json::parse(line.Text());
    ASSERT_EQ(frame["sounds"].size(), 3u);
    EXPECT_EQ(frame["sounds"][0], nlohmann::json::parse(R"({"file":")" + press->filePath + R"(","3d":false})"));
    EXPECT_EQ(frame["sounds"][1]["3d"], true);
    EXPECT_EQ(frame["sounds"][1]["pos"], nlohmann::json::parse("[1,2,3]"));

    // A new frame starts with none.
    Manager().Update();
    EXPECT_TRUE(Manager().GetFramePlays().empty());
    positional->Play3D(Vector3(0, 0, 0), false, true);
    EXPECT_EQ(Manager().GetFramePlays().size(), 1u);
    Manager().ClearFramePlays();
    EXPECT_TRUE(Manager().GetFramePlays().empty());
    TraceWriter::BuildFrame(line, 4, 64, &scene);
    EXPECT_TRUE(nlohmann::json::parse(line.Text())["sounds"].empty());
}

TEST_F(Audio, CategoryVolumesScaleTheirVoicesOnlyMadeOrStillToBeMade) {
    struct Reset {
        ~Reset() {
            AxAudioManager::GetInstance().SetCategoryVolume(AxSoundCategory::Music, 1.0f);
            AxAudioManager::GetInstance().SetCategoryVolume(AxSoundCategory::Effects, 1.0f);
        }
    } reset;
    auto music = Sound("music.wav", 440, 2.0)->CreateInstance(false);
    auto effect = Sound("effect.wav", 440, 2.0)->CreateInstance(false);
    music->SetCategory(AxSoundCategory::Music);
    EXPECT_EQ(effect->GetCategory(), AxSoundCategory::Effects);
    music->SetVolume(0.5f);
    EXPECT_FLOAT_EQ(music->MixerGain(), 0.5f);

    music->Play(true, true);
    const double full = Measure().Both();
    EXPECT_GT(full, 0.02);
    // Music at 0: the playing voice goes silent at once, its own volume kept.
    Manager().SetCategoryVolume(AxSoundCategory::Music, 0.0f);
    EXPECT_EQ(Manager().CategoryVolume(AxSoundCategory::Music), 0.0f);
    EXPECT_EQ(music->MixerGain(), 0.0f);
    EXPECT_FLOAT_EQ(music->GetVolume(), 0.5f);
    EXPECT_LT(Measure().Both(), 1e-6);
    music->SetVolume(1.0f);  // a game-side fade does not bring it back
    EXPECT_LT(Measure().Both(), 1e-6);

    // The effects are still heard, scaled by their own control only.
    effect->Play(true, true);
    const double effects = Measure().Both();
    EXPECT_GT(effects, 0.02);
    Manager().SetCategoryVolume(AxSoundCategory::Effects, 0.3f);
    EXPECT_NEAR(Measure().Both(), 0.3 * effects, 0.05 * effects);
    // A voice made later, and Play3D's volume reset, follow the category too.
    auto later = Sound("later.wav", 440, 1.0)->CreateInstance(true);
    later->Play3D(Vector3(), false, true);
    EXPECT_FLOAT_EQ(later->MixerGain(), 0.3f);
    // Absurd volumes count as silence.
    Manager().SetCategoryVolume(AxSoundCategory::Effects, std::nanf(""));
    EXPECT_EQ(Manager().CategoryVolume(AxSoundCategory::Effects), 0.0f);
    EXPECT_EQ(effect->MixerGain(), 0.0f);
}
