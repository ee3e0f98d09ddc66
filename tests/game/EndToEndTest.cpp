// The real game binary plays a whole race headless, as a player would with
// the autopilot holding the bars: title, countdown, three laps, the result
// screen, Enter, the fade and the reloaded title. The trace tells the story.

#include "JsonLines.h"
#include "AutopilotRace.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using nlohmann::json;

namespace {
int RunGame(const std::string& arguments) {
    const std::string command = "cd " + std::string(VORLAN_BINARY_DIR) + " && ./vorlan " + arguments + " >/dev/null 2>&1";
    const int raw = std::system(command.c_str());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

std::vector<json> ReadTrace(const fs::path& path) { return ReadJsonLines(path); }

std::string ReadFile(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

// A 16-bit PCM file's format and samples (interleaved); false if it is not one.
struct Pcm {
    int rate = 0, channels = 0;
    std::vector<int16_t> samples;
    float At(size_t frame, int channel) const { return samples[frame * size_t(channels) + size_t(channel)] / 32768.0f; }
    size_t Frames() const { return channels ? samples.size() / size_t(channels) : 0; }
};

bool ReadPcm(const fs::path& path, Pcm& out) {
    const std::string d = ReadFile(path);
    auto u32 = [&](size_t p) {
        return uint32_t(uint8_t(d[p])) | uint32_t(uint8_t(d[p + 1])) << 8 | uint32_t(uint8_t(d[p + 2])) << 16 |
               uint32_t(uint8_t(d[p + 3])) << 24;
    };
    auto u16 = [&](size_t p) { return uint16_t(uint8_t(d[p]) | uint8_t(d[p + 1]) << 8); };
    if (d.size() < 12 || d.compare(0, 4, "RIFF") || d.compare(8, 4, "WAVE")) return false;
    int bits = 0;
    for (size_t pos = 12; pos + 8 <= d.size();) {
        const uint32_t size = u32(pos + 4);
        const size_t body = pos + 8;
        if (size > d.size() - body) return false;
        if (!d.compare(pos, 4, "fmt ") && size >= 16) {
            if (u16(body) != 1) return false;
            out.channels = u16(body + 2);
            out.rate = int(u32(body + 4));
            bits = u16(body + 14);
        } else if (!d.compare(pos, 4, "data")) {
            if (bits != 16 || out.channels < 1) return false;
            for (size_t i = 0; i + 1 < size; i += 2) out.samples.push_back(int16_t(u16(body + i)));
            return true;
        }
        pos = body + size + (size & 1);
    }
    return false;
}

double Db(double level) { return 20.0 * std::log10(std::max(level, 1e-9)); }

bool PlayedIn(const json& frame, const std::string& file, bool* is3D = nullptr) {
    for (const json& s : frame["sounds"])
        if (s["file"] == file) {
            if (is3D) *is3D = s["3d"].get<bool>();
            return true;
        }
    return false;
}

class EndToEnd : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // ctest runs each test in its own process, maybe at the same time.
        dir = fs::temp_directory_path() / ("vorlan-end-to-end-" + std::to_string(getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
        std::ofstream(dir / "start.txt") << "5 5 Enter\n";
        // The first run finds the frame the player finishes; the second
        // presses Enter on the result screen a second later. Both start from
        // no kept player files, so the two traces agree up to the second Enter.
        const SharedRunResult first = AutopilotRace();
        ASSERT_EQ(first.status, 0);
        firstTrace = first.dir / "race.jsonl";
        for (const json& frame : ReadTrace(firstTrace))
            if (frame["bikes"].is_array() && frame["bikes"][0]["lap"] >= 4) {
                finish = frame["frame"].get<int>();
                break;
            }
        ASSERT_GT(finish, 0) << "the player never finished";
        const std::string keys = "5 5 Enter\n" + std::to_string(finish + 60) + " " + std::to_string(finish + 61) + " Enter\n";
        const SharedRunResult race =
            SharedRun("end-to-end-race", {{"keys.txt", keys}},
                      "--headless --no-render --fixed-clock --uncapped --autopilot --seed 7 --frames " +
                          std::to_string(finish + 200) +
                          " --input {dir}/keys.txt --trace {dir}/race.jsonl --audio-out {dir}/race.wav");
        ASSERT_EQ(race.status, 0);
        raceDir = race.dir;
        trace = ReadTrace(race.dir / "race.jsonl");
    }
    static void TearDownTestSuite() { fs::remove_all(dir); }

    static inline fs::path dir, firstTrace, raceDir;
    static inline int finish = 0;
    static inline std::vector<json> trace;
};
}  // namespace

TEST_F(EndToEnd, TransitionsHappenOnTheirFrames) {
    ASSERT_EQ(trace.size(), size_t(finish + 200));
    EXPECT_EQ(trace[4]["mode"], 1);
    EXPECT_EQ(trace[5]["mode"], 0);
    EXPECT_TRUE(PlayedIn(trace[5], "Data/Sound/press.wav"));
    // Countdown from the press: one step per second, the bikes frozen meanwhile.
    int zeroFrame = 0;
    for (int f = 6; f < finish; ++f) {
        const int before = trace[size_t(f - 1)]["timer"]["countdown"], now = trace[size_t(f)]["timer"]["countdown"];
        if (now != before) {
            EXPECT_EQ(now, before - 1) << f;
        }
        if (now == 0 && !zeroFrame) zeroFrame = f;
        if (now > 0) {
            EXPECT_EQ(trace[size_t(f)]["bikes"][1]["pos"], trace[5]["bikes"][1]["pos"]) << f;
        }
    }
    EXPECT_NEAR(zeroFrame - 5, 7000 / 16, 8);
    // The player finishes, Enter fades out over 20 frames, a fresh title follows.
    EXPECT_EQ(trace[size_t(finish)]["bikes"][0]["lap"], 4);
    EXPECT_FALSE(trace[size_t(finish + 59)]["fadeOut"].get<bool>());
    EXPECT_TRUE(trace[size_t(finish + 60)]["fadeOut"].get<bool>());
    EXPECT_EQ(trace[size_t(finish + 78)]["mode"], 0);
    const json& reload = trace[size_t(finish + 79)];
    EXPECT_EQ(reload["mode"], 1);
    EXPECT_EQ(reload["timer"]["countdown"], 7);
    EXPECT_EQ(reload["bikes"][0]["lap"], 1);
    EXPECT_EQ(reload["bikes"][0]["pos"][0].get<float>(), 0.0f);
    EXPECT_EQ(reload["bikes"][0]["pos"][2].get<float>(), -2.0f);
    EXPECT_EQ(trace.back()["fadeAlpha"], 0);
    EXPECT_EQ(trace.back()["mode"], 1);
}

TEST_F(EndToEnd, ARaceSoundsLikeOne) {
    std::map<std::string, int> plays;
    bool positional = false;
    for (const json& frame : trace)
        for (const json& s : frame["sounds"]) {
            plays[s["file"]] += 1;
            positional |= s["3d"].get<bool>();
        }
    EXPECT_EQ(plays["Data/Sound/count.wav"], 1);
    EXPECT_EQ(plays["Data/Sound/BGM.wav"], 1);
    EXPECT_EQ(plays["Data/Sound/lap1.wav"], 2);  // laps 2 and 3
    EXPECT_EQ(plays["Data/Sound/goal.wav"], 1);
    EXPECT_EQ(plays["Data/Sound/press.wav"], 2);
    EXPECT_EQ(plays["Data/Sound/Engine/low00.WAV"], 1);
    bool engine3D = false;
    for (const json& frame : trace)
        if (PlayedIn(frame, "Data/Sound/Engine/low01.WAV", &engine3D)) break;
    EXPECT_TRUE(engine3D);
    EXPECT_TRUE(positional);
}

TEST_F(EndToEnd, BikesStayOnTheGroundInsideTheCourse) {
    for (const json& frame : trace) {
        ASSERT_GE(frame["rank"].get<int>(), 1);
        ASSERT_LE(frame["rank"].get<int>(), 3);
        for (const json& bike : frame["bikes"]) {
            ASSERT_FLOAT_EQ(bike["pos"][1].get<float>(), 0.2f) << frame["frame"];
            const float x = bike["pos"][0], z = bike["pos"][2];
            // Inside the fence's extent.
            ASSERT_TRUE(x > -75 && x < 15 && z > -42 && z < 190) << frame["frame"] << ": " << bike["pos"];
        }
    }
}

TEST_F(EndToEnd, SameSeedKeysAndClockGiveTheSameTrace) {
    const std::string common = "--headless --fixed-clock --uncapped --autopilot --seed 7 --input " +
                               (dir / "start.txt").string() + " --frames 100 --trace ";
    ASSERT_EQ(RunGame(common + (dir / "a.jsonl").string() + " --no-render"), 0);
    ASSERT_EQ(RunGame(common + (dir / "b.jsonl").string() + " --no-render --stats"), 0);
    ASSERT_EQ(RunGame(common + (dir / "c.jsonl").string()), 0);  // every frame drawn
    const std::string a = ReadFile(dir / "a.jsonl");
    EXPECT_FALSE(a.empty());
    EXPECT_EQ(a, ReadFile(dir / "b.jsonl"));
    EXPECT_EQ(a, ReadFile(dir / "c.jsonl"));
    // The whole race, too, from the same kept records as the first run: none.
    const std::string firstRace = ReadFile(firstTrace);
    setenv("XDG_DATA_HOME", (dir / "fresh-data").c_str(), 1);
    ASSERT_EQ(RunGame("--headless --no-render --fixed-clock --uncapped --autopilot --seed 7 --frames 9000 --input " +
                  (dir / "start.txt").string() + " --trace " + (dir / "again.jsonl").string()),
              0);
    EXPECT_EQ(firstRace, ReadFile(dir / "again.jsonl"));
}

// The run's sound as --audio-out wrote it: the silent engine's mix, 16 ms per
// frame, in step with the trace.
TEST_F(EndToEnd, TheRaceIsHeardWithoutClippingAndItsSoundChangesNoTrace) {
    Pcm mix;
    ASSERT_TRUE(ReadPcm(raceDir / "race.wav", mix));
    ASSERT_EQ(mix.rate, 48000);
    ASSERT_EQ(mix.channels, 2);
    constexpr size_t kPerFrame = 768;
    ASSERT_EQ(mix.Frames(), trace.size() * kPerFrame) << "as long as the frames";
    auto rms = [&](size_t firstFrame, size_t endFrame) {
        double sum = 0;
        size_t n = 0;
        for (size_t i = firstFrame * kPerFrame * 2; i < endFrame * kPerFrame * 2 && i < mix.samples.size(); ++i, ++n)
            sum += double(mix.samples[i]) * mix.samples[i];
        return n ? std::sqrt(sum / double(n)) / 32768.0 : 0.0;
    };

    // Nothing clips, and the loudest moment leaves at least 3 dB.
    int peak = 0;
    size_t fullScale = 0;
    for (int16_t v : mix.samples) {
        peak = std::max(peak, std::abs(int(v)));
        fullScale += v >= 32767 || v <= -32767;
    }
    EXPECT_EQ(fullScale, 0u);
    EXPECT_LT(Db(peak / 32768.0), -3.0);

    // The title music on the title screen (started in frame 0, mixed from frame 1).
    EXPECT_GT(Db(rms(1, 5)), -30.0);

    int engineFrame = 0, musicFrame = 0;
    for (const json& frame : trace) {
        if (!engineFrame && PlayedIn(frame, "Data/Sound/Engine/low00.WAV")) engineFrame = frame["frame"];
        if (!musicFrame && PlayedIn(frame, "Data/Sound/BGM.wav")) musicFrame = frame["frame"];
    }
    ASSERT_GT(engineFrame, 5);
    ASSERT_GT(musicFrame, engineFrame);
    // The engines from their start on, in every frame of the countdown.
    for (int f = engineFrame + 1; f < musicFrame; ++f) ASSERT_GT(Db(rms(size_t(f), size_t(f + 1))), -40.0) << f;

    // The race music in the mix: the two seconds after it starts follow the
    // file (resampled to the mixer's rate), the two seconds before do not.
    Pcm music;
    ASSERT_TRUE(ReadPcm(fs::path(VORLAN_BINARY_DIR) / "Data/Sound/BGM.wav", music));
    ASSERT_EQ(music.channels, 2);
    const size_t window = 2 * 48000;
    std::vector<float> reference(window);
    for (size_t i = 0; i < window; ++i) {
        const double t = double(i) * music.rate / 48000.0;
        const size_t j = size_t(t);
        const float w = float(t - double(j));
        auto mono = [&](size_t k) { return 0.5f * (music.At(k, 0) + music.At(k, 1)); };
        reference[i] = mono(j) * (1 - w) + mono(j + 1) * w;
    }
    auto likeness = [&](size_t start) {
        double best = 0;
        for (int lag = -48; lag <= 48; lag += 4) {
            double dot = 0, mm = 0, rr = 0;
            for (size_t i = 0; i < window; ++i) {
                const size_t k = size_t(long(start) + lag) + i;
                const double m = 0.5 * (mix.At(k, 0) + mix.At(k, 1));
                dot += m * reference[i];
                mm += m * m;
                rr += double(reference[i]) * reference[i];
            }
            best = std::max(best, dot / std::sqrt(mm * rr + 1e-30));
        }
        return best;
    };
    const size_t musicStart = size_t(musicFrame + 1) * kPerFrame;
    EXPECT_GT(likeness(musicStart), 0.2) << "race music heard";
    EXPECT_LT(likeness(musicStart - window - 100), 0.1) << "nothing like it before it starts";

    // Writing the sound changes no trace field: the first run wrote none, and
    // up to the Enter on the result screen the two runs' keys agree.
    std::ifstream first(firstTrace), race(raceDir / "race.jsonl");
    std::string a, b;
    for (int f = 0; f < finish + 60; ++f) {
        ASSERT_TRUE(std::getline(first, a) && std::getline(race, b)) << f;
        ASSERT_EQ(a, b) << f;
    }

    // The race's levels, for the record.
    const size_t finishFrame = size_t(finish);
    std::printf("race mix, frames %d-%zu: peak %.1f dBFS, RMS %.1f dBFS\n", musicFrame, finishFrame, Db(peak / 32768.0),
                Db(rms(size_t(musicFrame), finishFrame)));
}
