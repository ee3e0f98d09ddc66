// The capture behind --audio-out: what the silent engine mixes, frame by
// frame, lands in a well-formed 16-bit stereo WAV file, with silence for
// paused frames and hard limits instead of wrapped samples.

#include "WavFile.h"
#include "framework/audio/AudioCapture.h"
#include "framework/audio/AxAudioManager.h"
#include "framework/audio/AxSoundEffect.h"
#include "framework/audio/AxSoundInstance.h"
#include "framework/platform/Platform.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

using namespace wavtest;

namespace {
struct Captured {
    uint32_t riffSize = 0, fmtSize = 0, rate = 0, byteRate = 0, dataSize = 0;
    uint16_t format = 0, channels = 0, blockAlign = 0, bits = 0;
    std::vector<int16_t> samples;
};

uint32_t U32(const unsigned char* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24); }
uint16_t U16(const unsigned char* p) { return uint16_t(p[0] | (p[1] << 8)); }

bool ReadCaptured(const std::string& path, Captured& out) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<unsigned char> d((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (d.size() < 44 || std::memcmp(d.data(), "RIFF", 4) || std::memcmp(d.data() + 8, "WAVEfmt ", 8) ||
        std::memcmp(d.data() + 36, "data", 4))
        return false;
    out.riffSize = U32(&d[4]);
    out.fmtSize = U32(&d[16]);
    out.format = U16(&d[20]);
    out.channels = U16(&d[22]);
    out.rate = U32(&d[24]);
    out.byteRate = U32(&d[28]);
    out.blockAlign = U16(&d[32]);
    out.bits = U16(&d[34]);
    out.dataSize = U32(&d[40]);
    if (out.dataSize != d.size() - 44) return false;
    for (size_t i = 44; i + 1 < d.size(); i += 2) out.samples.push_back(int16_t(U16(&d[i])));
    return true;
}

int16_t PeakOf(const std::vector<int16_t>& s, size_t from, size_t to) {
    int peak = 0;
    for (size_t i = from; i < to && i < s.size(); ++i) peak = std::max(peak, std::abs(int(s[i])));
    return int16_t(std::min(peak, 32767));
}

class Capture : public ::testing::Test {
protected:
    void SetUp() override {
        SetHeadless(true);
        AxAudioManager::GetInstance().SetFixedStep(true);
        ASSERT_TRUE(AxAudioManager::GetInstance().Init());
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        path = TempDir() + "/capture_" + info->name() + ".wav";
        tonePath = TempDir() + "/capture_" + info->name() + "_tone.wav";
    }
    void TearDown() override {
        AxAudioManager::GetInstance().Release();
        std::remove(path.c_str());
        std::remove(tonePath.c_str());
    }
    std::string path, tonePath;
};
}  // namespace

TEST_F(Capture, EveryFrameOfTheMixGoesToTheFileAndPausedFramesAreSilent) {
    AxAudioManager& manager = AxAudioManager::GetInstance();
    AudioCapture capture;
    ASSERT_TRUE(capture.Open(path));
    manager.SetCapture(&capture);
    EXPECT_EQ(capture.Rate(), manager.SampleRate());

    ASSERT_TRUE(WriteFile(tonePath, MakeWav(Sine(440, 0.5, 48000, 0.5f), 1, 48000)));
    auto sound = std::make_shared<AxSoundEffect>();
    ASSERT_TRUE(sound->Load(tonePath));
    std::shared_ptr<AxSoundInstance> quiet = sound->CreateInstance(false);
    quiet->Play(true, false);
    for (int f = 0; f < 10; ++f) manager.Update();  // frames 0-9: the tone
    manager.PauseAll();
    for (int f = 0; f < 5; ++f) manager.Update();  // 10-14: paused
    manager.ResumeAll();
    quiet->SetVolume(8.0f);  // far past full scale: limited, not wrapped round
    for (int f = 0; f < 5; ++f) manager.Update();  // 15-19
    manager.SetCapture(nullptr);
    manager.Update();  // not captured
    EXPECT_EQ(capture.FramesWritten(), 20u * 768u);
    ASSERT_TRUE(capture.Finish());

    Captured wav;
    ASSERT_TRUE(ReadCaptured(path, wav));
    EXPECT_EQ(wav.format, 1);
    EXPECT_EQ(wav.channels, 2);
    EXPECT_EQ(wav.bits, 16);
    EXPECT_EQ(wav.rate, 48000u);
    EXPECT_EQ(wav.byteRate, 48000u * 4);
    EXPECT_EQ(wav.blockAlign, 4);
    EXPECT_EQ(wav.fmtSize, 16u);
    EXPECT_EQ(wav.riffSize, 36 + wav.dataSize);
    ASSERT_EQ(wav.samples.size(), 20u * 768u * 2u) << "16 ms of stereo sound per frame";

    const size_t frame = 768 * 2;
    const int16_t before = PeakOf(wav.samples, 2 * frame, 10 * frame);
    EXPECT_GT(before, 8000);
    EXPECT_LT(before, 32000);
    EXPECT_EQ(PeakOf(wav.samples, 10 * frame, 15 * frame), 0) << "paused frames are silence";
    // Resumed, eight times louder: held at the limits.
    int clipped = 0;
    for (size_t i = 16 * frame; i < 20 * frame; ++i) clipped += wav.samples[i] == 32767 || wav.samples[i] == -32768;
    EXPECT_GT(clipped, 100);
}

TEST_F(Capture, BadPathsAndOddInputAreHarmless) {
    AudioCapture capture;
    EXPECT_FALSE(capture.Open("/nonexistent-folder/out.wav"));
    EXPECT_FALSE(capture.IsOpen());
    const float some[4] = {0.5f, -0.5f, 0.25f, -0.25f};
    capture.Write(some, 2);  // not open: nothing happens
    capture.WriteSilence(10);
    EXPECT_EQ(capture.FramesWritten(), 0u);

    ASSERT_TRUE(capture.Open(path));
    const float odd[6] = {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                          -std::numeric_limits<float>::infinity(), 1.0f, -1.0f, 0.0f};
    capture.Write(odd, 3);
    capture.Write(nullptr, 5);
    capture.Write(odd, -4);
    capture.WriteSilence(0);
    EXPECT_TRUE(capture.Finish());
    EXPECT_TRUE(capture.Finish()) << "finishing twice is once";
    Captured wav;
    ASSERT_TRUE(ReadCaptured(path, wav));
    const std::vector<int16_t> expected = {0, 32767, -32768, 32767, -32767, 0};
    EXPECT_EQ(wav.samples, expected);

    // A capture left open is completed when it goes away.
    {
        AudioCapture open;
        ASSERT_TRUE(open.Open(path));
        open.WriteSilence(3);
    }
    Captured closed;
    ASSERT_TRUE(ReadCaptured(path, closed));
    EXPECT_EQ(closed.samples.size(), 6u);
}
