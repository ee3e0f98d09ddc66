#include "WavFile.h"
#include "framework/platform/WavDecoder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

using namespace wavtest;

namespace {
std::string TestFile(const char* suffix) {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    return TempDir() + "/" + info->test_suite_name() + "_" + info->name() + suffix;
}
}  // namespace

TEST(WavDecoder, EveryPcmAndFloatWidthGivesTheSameSixteenBitFrames) {
    const std::vector<float> ramp = {0.0f, 0.5f, -0.5f, 0.25f, -1.0f, 0.999f};
    const struct {
        Encoding encoding;
        int tolerance;  // 8-bit input keeps only its own resolution
    } cases[] = {{Encoding::Pcm8, 300}, {Encoding::Pcm16, 0}, {Encoding::Pcm24, 2}, {Encoding::Pcm32, 2}, {Encoding::Float32, 2}};
    for (const auto& c : cases) {
        const std::vector<uint8_t> bytes = MakeWav(ramp, 1, 22050, c.encoding);
        DecodedWav wav;
        ASSERT_TRUE(DecodeWavMemory(bytes.data(), bytes.size(), 2, wav)) << static_cast<int>(c.encoding);
        EXPECT_EQ(wav.channels, 1);
        EXPECT_EQ(wav.rate, 22050);
        ASSERT_EQ(wav.Frames(), ramp.size());
        for (size_t i = 0; i < ramp.size(); ++i)
            EXPECT_NEAR(wav.samples[i], ramp[i] * 32767.0f, c.tolerance + 1) << static_cast<int>(c.encoding) << " at " << i;
    }
}

TEST(WavDecoder, ImaAdpcmDecodesCloseToTheOriginal) {
    // 505 frames per 256-byte block; ten whole blocks.
    const std::vector<float> sine = Sine(440, 5050.0 / 22050.0, 22050, 0.5f);
    const std::vector<uint8_t> bytes = MakeImaAdpcmWav(sine, 22050);
    DecodedWav wav;
    ASSERT_TRUE(DecodeWavMemory(bytes.data(), bytes.size(), 2, wav));
    EXPECT_EQ(wav.channels, 1);
    EXPECT_EQ(wav.rate, 22050);
    ASSERT_EQ(wav.Frames(), sine.size());
    // ADPCM is lossy and needs a few samples to find its step size, but then
    // follows the wave.
    double error = 0.0;
    size_t worst = 0;
    for (size_t i = 20; i < sine.size(); ++i) {
        const double e = std::fabs(wav.samples[i] - sine[i] * 32767.0);
        if (e > error) error = e, worst = i;
    }
    EXPECT_LT(error, 1500.0) << "at " << worst;
}

TEST(WavDecoder, StereoStaysStereoOrMixesDownToMono) {
    // Left 0.5, right -0.25 in every frame.
    std::vector<float> samples;
    for (int i = 0; i < 64; ++i) samples.insert(samples.end(), {0.5f, -0.25f});
    const std::string path = TestFile(".wav");
    ASSERT_TRUE(WriteFile(path, MakeWav(samples, 2, 48000)));

    DecodedWav stereo;
    ASSERT_TRUE(DecodeWavFile(path, 2, stereo));
    EXPECT_EQ(stereo.channels, 2);
    ASSERT_EQ(stereo.Frames(), 64u);
    EXPECT_NEAR(stereo.samples[0], 16384, 2);
    EXPECT_NEAR(stereo.samples[1], -8192, 2);
    // Already in the mixer's format: every frame exactly as stored.
    const std::vector<uint8_t> bytes = MakeWav(samples, 2, 48000);
    size_t data = 12;
    while (data + 8 <= bytes.size() && std::string(bytes.begin() + long(data), bytes.begin() + long(data) + 4) != "data")
        data += 8 + (bytes[data + 4] | bytes[data + 5] << 8 | bytes[data + 6] << 16 | size_t(bytes[data + 7]) << 24);
    ASSERT_EQ(bytes.size(), data + 8 + stereo.samples.size() * 2);
    for (size_t i = 0; i < stereo.samples.size(); ++i)
        ASSERT_EQ(stereo.samples[i], int16_t(bytes[data + 8 + 2 * i] | bytes[data + 9 + 2 * i] << 8)) << i;

    DecodedWav mono;
    ASSERT_TRUE(DecodeWavFile(path, 1, mono));
    EXPECT_EQ(mono.channels, 1);
    ASSERT_EQ(mono.Frames(), 64u);
    EXPECT_NEAR(mono.samples[10], 4096, 64);  // the average of both sides
}

TEST(WavDecoder, BadFilesAreRejectedWithoutCrashing) {
    DecodedWav wav;
    EXPECT_FALSE(DecodeWavFile(TestFile("-missing.wav"), 2, wav));
    EXPECT_FALSE(DecodeWavFile(TempDir(), 2, wav));  // a directory
    EXPECT_FALSE(DecodeWavMemory(nullptr, 10, 2, wav));

    const std::vector<uint8_t> good = MakeWav(Sine(440, 0.01, 8000, 0.5f), 1, 8000);
    const std::string empty = TestFile("-empty.wav");
    ASSERT_TRUE(WriteFile(empty, {}));
    EXPECT_FALSE(DecodeWavFile(empty, 2, wav));

    std::vector<uint8_t> garbage(4096);
    std::srand(7);
    for (uint8_t& b : garbage) b = static_cast<uint8_t>(std::rand());
    EXPECT_FALSE(DecodeWavMemory(garbage.data(), garbage.size(), 2, wav));
    // A RIFF/WAVE header followed by noise.
    std::vector<uint8_t> noisy(good.begin(), good.begin() + 12);
    noisy.insert(noisy.end(), garbage.begin(), garbage.end());
    EXPECT_FALSE(DecodeWavMemory(noisy.data(), noisy.size(), 2, wav));

    // No sample frames at all.
    const std::vector<uint8_t> silent = MakeWav({}, 1, 8000);
    EXPECT_FALSE(DecodeWavMemory(silent.data(), silent.size(), 2, wav));

    // Absurd header fields: no channels, no rate, a 4-billion-byte data chunk.
    const struct {
        size_t offset;
        uint32_t value;
        int bytes;
    } patches[] = {{22, 0, 2}, {24, 0, 4}, {40, 0xffffffffu, 4}, {34, 13, 2}, {20, 0x55, 2}};
    for (const auto& patch : patches) {
        std::vector<uint8_t> bad = good;
        for (int i = 0; i < patch.bytes; ++i) bad.at(patch.offset + i) = static_cast<uint8_t>(patch.value >> (8 * i));
        EXPECT_FALSE(DecodeWavMemory(bad.data(), bad.size(), 2, wav)) << "offset " << patch.offset;
        EXPECT_TRUE(wav.samples.empty());
    }
}

TEST(WavDecoder, EveryTruncationIsRefusedAndTheWholeFileIsRead) {
    const std::vector<uint8_t> good = MakeWav(Sine(440, 0.005, 8000, 0.5f), 1, 8000);
    DecodedWav wav;
    for (size_t length = 0; length < good.size(); ++length)
        EXPECT_FALSE(DecodeWavMemory(good.data(), length, 2, wav)) << "cut at " << length;
    EXPECT_TRUE(DecodeWavMemory(good.data(), good.size(), 2, wav));
    EXPECT_EQ(wav.Frames(), 40u);
}
