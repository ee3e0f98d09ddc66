// Checks the generated sounds: format, channel count where the game plays them in 3D,
// levels at the volumes the game gives them, and seamless loops.

#include <gtest/gtest.h>

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
const fs::path kData = fs::path(VORLAN_BINARY_DIR) / "Data";

struct Wav {
    int rate = 0, channels = 0, bits = 0, format = 0;
    std::vector<float> samples;  // interleaved, -1..1
    std::vector<int16_t> raw;
    size_t frames() const { return channels ? samples.size() / channels : 0; }
    float seconds() const { return rate ? float(frames()) / rate : 0; }
};

uint32_t U32(const unsigned char* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24); }
uint16_t U16(const unsigned char* p) { return uint16_t(p[0] | (p[1] << 8)); }

// A bounds-checked RIFF reader for 16-bit PCM.
bool ReadWav(const fs::path& path, Wav& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::vector<unsigned char> d((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (d.size() < 12 || std::memcmp(d.data(), "RIFF", 4) || std::memcmp(d.data() + 8, "WAVE", 4)) return false;
    size_t pos = 12;
    bool haveFmt = false;
    while (pos + 8 <= d.size()) {
        const uint32_t size = U32(&d[pos + 4]);
        const size_t body = pos + 8;
        if (size > d.size() - body) return false;
        if (!std::memcmp(&d[pos], "fmt ", 4) && size >= 16) {
            out.format = U16(&d[body]);
            out.channels = U16(&d[body + 2]);
            out.rate = int(U32(&d[body + 4]));
            out.bits = U16(&d[body + 14]);
            haveFmt = true;
        } else if (!std::memcmp(&d[pos], "data", 4)) {
            if (!haveFmt || out.bits != 16 || out.channels < 1) return false;
            for (size_t i = 0; i + 1 < size; i += 2) {
                const int16_t v = int16_t(U16(&d[body + i]));
                out.raw.push_back(v);
                out.samples.push_back(v / 32768.0f);
            }
            return true;
        }
        pos = body + size + (size & 1);
    }
    return false;
}

// What a sound is in the race's mix: a short effect, one that comes in
// crowds (eight boxes landing, bikes crossing a panel together), a bed that
// runs for long stretches (engines, dirt), or music.
enum class Kind { Effect, Crowd, Bed, Music };

struct SoundSpec {
    const char* path;
    bool positional;  // played with Play3D somewhere: must be mono
    bool loop;
    float maxVolume;  // loudest instance volume it is played at (Play3D plays at 1.0)
    Kind kind = Kind::Effect;
};

const std::vector<SoundSpec>& Sounds() {
    static const std::vector<SoundSpec> sounds = {
        {"Sound/press.wav", false, false, 2.0f},
        {"Sound/bikehit.wav", false, false, 1.0f},
        {"Sound/BGM.wav", false, true, 1.0f, Kind::Music},
        {"Sound/RaceMeadow.wav", false, true, 1.0f, Kind::Music},
        {"Sound/RaceDusk.wav", false, true, 1.0f, Kind::Music},
        {"Sound/Title.WAV", false, true, 0.2f, Kind::Music},
        {"Sound/count.wav", false, false, 0.5f},
        {"Sound/goal.wav", false, false, 0.2f},
        {"Sound/lap1.wav", false, false, 0.2f},
        {"Sound/rankUp.wav", false, false, 0.2f},
        {"Sound/rankDown.wav", false, false, 0.2f},
        {"Sound/dash.wav", true, false, 1.0f, Kind::Crowd},
        {"Sound/dart.wav", true, true, 1.0f, Kind::Bed},
        {"Sound/excavator.wav", true, false, 1.0f},
        {"Sound/Wall/wallhit.wav", true, false, 2.0f},
        {"Sound/Wall/movewall.wav", true, false, 1.0f},
        {"Sound/Wall/wallswitch.wav", true, false, 1.0f},
        {"Sound/Box/boxhit.wav", true, false, 1.0f},
        {"Sound/Box/boxfall.wav", true, false, 1.0f, Kind::Crowd},
        {"Sound/Box/boxswitch.wav", true, false, 1.0f},
        {"Sound/Engine/low00.WAV", true, true, 0.8f, Kind::Bed},
        {"Sound/Engine/low01.WAV", true, true, 0.8f, Kind::Bed},
        {"Sound/Engine/low02.WAV", true, true, 0.8f, Kind::Bed},
    };
    return sounds;
}

float Rms(const Wav& w, float from, float to) {
    const size_t a = size_t(std::max(0.0f, from) * w.rate) * w.channels;
    const size_t b = std::min(w.samples.size(), size_t(to * w.rate) * w.channels);
    double acc = 0;
    for (size_t i = a; i < b; ++i) acc += double(w.samples[i]) * w.samples[i];
    return b > a ? float(std::sqrt(acc / double(b - a))) : 0.0f;
}

// RMS of the loudest 100 ms.
float LoudestWindow(const Wav& w) {
    float best = 0;
    for (float t = 0; t + 0.1f <= w.seconds() + 1e-3f; t += 0.025f) best = std::max(best, Rms(w, t, t + 0.1f));
    return best;
}

TEST(MediaSounds, EverySoundLoadsWithTheRightFormat) {
    for (const SoundSpec& s : Sounds()) {
        SCOPED_TRACE(s.path);
        Wav w;
        ASSERT_TRUE(ReadWav(kData / s.path, w)) << "missing or malformed";
        EXPECT_EQ(w.format, 1);
        EXPECT_EQ(w.bits, 16);
        EXPECT_GE(w.rate, 22050);
        EXPECT_LE(w.rate, 48000);
        if (s.positional) EXPECT_EQ(w.channels, 1) << "3D sounds must be mono";
        else EXPECT_LE(w.channels, 2);
        EXPECT_GT(w.seconds(), 0.2f);
        // SDL's own loader agrees on the format.
        SDL_AudioSpec spec;
        Uint8* buf = nullptr;
        Uint32 len = 0;
        ASSERT_NE(SDL_LoadWAV((kData / s.path).string().c_str(), &spec, &buf, &len), nullptr) << SDL_GetError();
        EXPECT_EQ(spec.freq, w.rate);
        EXPECT_EQ(spec.channels, w.channels);
        EXPECT_EQ(len, w.raw.size() * 2);
        SDL_FreeWAV(buf);
    }
}

TEST(MediaSounds, LevelsAreAudibleAndNeverClipAtTheirVolumes) {
    for (const SoundSpec& s : Sounds()) {
        SCOPED_TRACE(s.path);
        Wav w;
        ASSERT_TRUE(ReadWav(kData / s.path, w));
        float peak = 0;
        size_t fullScale = 0;
        for (size_t i = 0; i < w.raw.size(); ++i) {
            peak = std::max(peak, std::fabs(w.samples[i]));
            fullScale += w.raw[i] >= 32767 || w.raw[i] <= -32767;
        }
        EXPECT_EQ(fullScale, 0u) << "clipped in the file";
        EXPECT_GT(Rms(w, 0, w.seconds()), 0.01f) << "nearly silent";
        // Several sounds play at once: each leaves the mix room at its loudest volume.
        const float loud = LoudestWindow(w) * s.maxVolume;
        switch (s.kind) {
        case Kind::Music:
            if (s.maxVolume < 0.3f) {
                EXPECT_GT(peak, 0.8f) << "title music, played quietly, uses the headroom it has";
            } else {
                EXPECT_LE(peak * s.maxVolume, 0.3f) << "race music stays under the engines and effects";
                EXPECT_GT(peak * s.maxVolume, 0.1f) << "race music still heard";
            }
            break;
        case Kind::Crowd:
            EXPECT_LE(peak * s.maxVolume, 0.3f) << "several at once must still leave room";
            EXPECT_GT(loud, 0.04f) << "too quiet";
            EXPECT_LT(loud, 0.15f) << "too loud";
            break;
        case Kind::Bed:
            EXPECT_LE(peak * s.maxVolume, 0.3f) << "beds run all race long under everything";
            EXPECT_GT(loud, 0.03f) << "too quiet";
            EXPECT_LT(loud, 0.15f) << "too loud";
            break;
        case Kind::Effect:
            EXPECT_LE(peak * s.maxVolume, 0.6f) << "leaves the mix no room at volume " << s.maxVolume;
            // Effects sit at a similar loudness where the game plays them (the quietest
            // instance volumes and the sharpest crashes leave less room).
            EXPECT_GT(loud, 0.07f) << "too quiet";
            EXPECT_LT(loud, 0.3f) << "too loud";
            break;
        }
        if (s.loop) {
            // An offset wastes headroom and clicks where the loop starts and stops.
            for (int c = 0; c < w.channels; ++c) {
                double sum = 0;
                for (size_t i = c; i < w.samples.size(); i += size_t(w.channels)) sum += w.samples[i];
                EXPECT_LT(std::fabs(sum / double(w.frames())), 0.003) << "offset in channel " << c;
            }
        }
    }
}

TEST(MediaSounds, LoopsJoinWithoutAClickAndOneShotsEndInSilence) {
    for (const SoundSpec& s : Sounds()) {
        SCOPED_TRACE(s.path);
        Wav w;
        ASSERT_TRUE(ReadWav(kData / s.path, w));
        const size_t n = w.frames();
        ASSERT_GT(n, 16u);
        for (int c = 0; c < w.channels; ++c) {
            auto at = [&](size_t i) { return w.samples[i * w.channels + c]; };
            if (s.loop) {
                // The step from the last sample to the first is no larger than the steps
                // the sound makes anyway.
                std::vector<float> steps;
                for (size_t i = 1; i < n; ++i) steps.push_back(std::fabs(at(i) - at(i - 1)));
                std::nth_element(steps.begin(), steps.begin() + steps.size() * 995 / 1000, steps.end());
                const float typical = steps[steps.size() * 995 / 1000];
                EXPECT_LE(std::fabs(at(0) - at(n - 1)), 1.5f * typical) << "channel " << c;
                // A steady loop (engine, dirt) keeps its level across the join; music has
                // its own dynamics there (the downbeat), so only the join itself counts.
                if (w.seconds() > 10) continue;
                const float head = Rms(w, 0, 0.05f), tail = Rms(w, w.seconds() - 0.05f, w.seconds());
                EXPECT_LT(std::fabs(20 * std::log10((head + 1e-6f) / (tail + 1e-6f))), 6.0f);
            } else {
                EXPECT_LT(std::fabs(at(n - 1)), 0.002f) << "ends with a click";
                EXPECT_LT(std::fabs(at(0)), 0.05f) << "starts with a click";
            }
        }
    }
}

TEST(MediaSounds, TimingsMatchWhatTheGameExpects) {
    Wav count;
    ASSERT_TRUE(ReadWav(kData / "Sound/count.wav", count));
    // Beeps for 3, 2, 1 and the start, one second apart from the first sample, with quiet between.
    for (int k = 0; k < 4; ++k) {
        SCOPED_TRACE(k);
        EXPECT_GT(Rms(count, k + 0.0f, k + 0.1f), 0.05f);
        if (k < 3) {
            EXPECT_GT(Rms(count, k + 0.0f, k + 0.1f), 4 * Rms(count, k + 0.6f, k + 0.95f));
        }
    }
    Wav excavator;
    ASSERT_TRUE(ReadWav(kData / "Sound/excavator.wav", excavator));
    EXPECT_NEAR(excavator.seconds(), 2.0f, 0.3f);  // the arm's 121-frame swing

    for (const char* path : {"Sound/BGM.wav", "Sound/RaceMeadow.wav", "Sound/RaceDusk.wav", "Sound/Title.WAV"}) {
        SCOPED_TRACE(path);
        Wav music;
        ASSERT_TRUE(ReadWav(kData / path, music));
        EXPECT_GT(music.seconds(), 15.0f);
        EXPECT_LT(music.seconds(), 60.0f);
    }
    // Three engines, three different sounds.
    Wav e[3];
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(ReadWav(kData / ("Sound/Engine/low0" + std::to_string(i) + ".WAV"), e[i]));
    EXPECT_NE(e[0].raw, e[1].raw);
    EXPECT_NE(e[1].raw, e[2].raw);
    EXPECT_NE(e[0].raw, e[2].raw);
}

// RMS of each 50 ms over the first `seconds`.
std::vector<float> Envelope(const Wav& w, float seconds) {
    std::vector<float> env;
    for (float t = 0; t + 0.05f <= std::min(seconds, w.seconds()); t += 0.05f) env.push_back(Rms(w, t, t + 0.05f));
    return env;
}

float Correlation(const std::vector<float>& a, const std::vector<float>& b) {
    const size_t n = std::min(a.size(), b.size());
    if (n < 2) return 1.0f;
    double ma = 0, mb = 0;
    for (size_t i = 0; i < n; ++i) ma += a[i], mb += b[i];
    ma /= double(n), mb /= double(n);
    double ab = 0, aa = 0, bb = 0;
    for (size_t i = 0; i < n; ++i) {
        ab += (a[i] - ma) * (b[i] - mb);
        aa += (a[i] - ma) * (a[i] - ma);
        bb += (b[i] - mb) * (b[i] - mb);
    }
    return aa > 0 && bb > 0 ? float(ab / std::sqrt(aa * bb)) : 1.0f;
}

// Each course has its own race theme; the game switches between them, so they
// share a format and a level, and none is another one under a new name.
TEST(MediaSounds, RaceThemesShareFormatAndLevelButAreDifferentMusic) {
    const char* paths[3] = {"Sound/BGM.wav", "Sound/RaceMeadow.wav", "Sound/RaceDusk.wav"};
    Wav w[3];
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(ReadWav(kData / paths[i], w[i])) << paths[i];
    const float level = LoudestWindow(w[0]);
    std::vector<float> env[3];
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(paths[i]);
        EXPECT_EQ(w[i].rate, w[0].rate);
        EXPECT_EQ(w[i].channels, w[0].channels);
        // Within 1 dB of the desert's theme: changing course does not change the music's level.
        EXPECT_LT(std::fabs(20 * std::log10(LoudestWindow(w[i]) / level)), 1.0f);
        EXPECT_GT(w[i].seconds(), 0.75f * w[0].seconds());
        EXPECT_LT(w[i].seconds(), 1.33f * w[0].seconds());
        env[i] = Envelope(w[i], 15.0f);
    }
    // The same music, even at another level, follows the same envelope (correlation 1);
    // different tunes at different tempos hardly correlate at all.
    for (int i = 0; i < 3; ++i)
        for (int j = i + 1; j < 3; ++j)
            EXPECT_LT(Correlation(env[i], env[j]), 0.5f) << paths[i] << " and " << paths[j];
}

}  // namespace
