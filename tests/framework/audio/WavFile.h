#pragma once
// Writes small WAV files for the audio tests, in the encodings the decoder
// must read.

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace wavtest {

enum class Encoding { Pcm8, Pcm16, Pcm24, Pcm32, Float32 };

inline void Put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}
inline void Put32(std::vector<uint8_t>& out, uint32_t v) {
    Put16(out, v & 0xffff);
    Put16(out, v >> 16);
}

// samples: interleaved, in [-1, 1].
inline std::vector<uint8_t> MakeWav(const std::vector<float>& samples, int channels, int rate,
                                    Encoding encoding = Encoding::Pcm16) {
    const int bits = encoding == Encoding::Pcm8 ? 8 : encoding == Encoding::Pcm16 ? 16 : encoding == Encoding::Pcm24 ? 24 : 32;
    std::vector<uint8_t> data;
    for (float s : samples) {
        const double c = s < -1.0f ? -1.0 : s > 1.0f ? 1.0 : s;
        switch (encoding) {
            case Encoding::Pcm8: data.push_back(static_cast<uint8_t>(std::lround(c * 127.0) + 128)); break;
            case Encoding::Pcm16: Put16(data, static_cast<uint16_t>(static_cast<int16_t>(std::lround(c * 32767.0)))); break;
            case Encoding::Pcm24: {
                const uint32_t v = static_cast<uint32_t>(static_cast<int32_t>(std::lround(c * 8388607.0)));
                data.push_back(static_cast<uint8_t>(v));
                data.push_back(static_cast<uint8_t>(v >> 8));
                data.push_back(static_cast<uint8_t>(v >> 16));
                break;
            }
            case Encoding::Pcm32: Put32(data, static_cast<uint32_t>(static_cast<int32_t>(std::llround(c * 2147483647.0)))); break;
            case Encoding::Float32: {
                const float f = static_cast<float>(c);
                uint32_t v;
                std::memcpy(&v, &f, 4);
                Put32(data, v);
                break;
            }
        }
    }
    std::vector<uint8_t> out;
    out.reserve(44 + data.size());
    auto tag = [&](const char* t) {
        for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(t[i]));
    };
    tag("RIFF");
    Put32(out, static_cast<uint32_t>(36 + data.size()));
    tag("WAVE");
    tag("fmt ");
    Put32(out, 16);
    Put16(out, encoding == Encoding::Float32 ? 3 : 1);
    Put16(out, static_cast<uint32_t>(channels));
    Put32(out, static_cast<uint32_t>(rate));
    Put32(out, static_cast<uint32_t>(rate * channels * bits / 8));
    Put16(out, static_cast<uint32_t>(channels * bits / 8));
    Put16(out, static_cast<uint32_t>(bits));
    tag("data");
    Put32(out, static_cast<uint32_t>(data.size()));
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

// Mono IMA ADPCM (format 0x11) in blocks of blockAlign bytes, encoded the
// standard way, so the loader's ADPCM path is fed a real file.
inline std::vector<uint8_t> MakeImaAdpcmWav(const std::vector<float>& samples, int rate, int blockAlign = 256) {
    static const int kSteps[89] = {
        7, 8, 9, 10, 11, 12, 13, 14, 16, 17, 19, 21, 23, 25, 28, 31, 34, 37, 41, 45, 50, 55, 60, 66, 73, 80, 88, 97,
        107, 118, 130, 143, 157, 173, 190, 209, 230, 253, 279, 307, 337, 371, 408, 449, 494, 544, 598, 658, 724, 796,
        876, 963, 1060, 1166, 1282, 1411, 1552, 1707, 1878, 2066, 2272, 2499, 2749, 3024, 3327, 3660, 4026, 4428,
        4871, 5358, 5894, 6484, 7132, 7845, 8630, 9493, 10442, 11487, 12635, 13899, 15289, 16818, 18500, 20350,
        22385, 24623, 27086, 29794, 32767};
    static const int kIndexStep[8] = {-1, -1, -1, -1, 2, 4, 6, 8};
    const int perBlock = (blockAlign - 4) * 2 + 1;
    std::vector<int> pcm;
    for (float s : samples) pcm.push_back(static_cast<int>(std::lround((s < -1 ? -1 : s > 1 ? 1 : s) * 32767.0)));
    std::vector<uint8_t> data;
    int index = 0;
    for (size_t start = 0; start < pcm.size(); start += perBlock) {
        int predictor = pcm[start];
        Put16(data, static_cast<uint16_t>(static_cast<int16_t>(predictor)));
        data.push_back(static_cast<uint8_t>(index));
        data.push_back(0);
        uint8_t pending = 0;
        for (int i = 1; i < perBlock; ++i) {
            const size_t at = start + i;
            const int target = at < pcm.size() ? pcm[at] : predictor;
            const int step = kSteps[index];
            int diff = target - predictor;
            int nibble = 0;
            if (diff < 0) {
                nibble = 8;
                diff = -diff;
            }
            int delta = step >> 3;
            if (diff >= step) { nibble |= 4; diff -= step; delta += step; }
            if (diff >= step >> 1) { nibble |= 2; diff -= step >> 1; delta += step >> 1; }
            if (diff >= step >> 2) { nibble |= 1; delta += step >> 2; }
            predictor += (nibble & 8) ? -delta : delta;
            predictor = predictor < -32768 ? -32768 : predictor > 32767 ? 32767 : predictor;
            index += kIndexStep[nibble & 7];
            index = index < 0 ? 0 : index > 88 ? 88 : index;
            if (i % 2 == 1) pending = static_cast<uint8_t>(nibble);
            else data.push_back(static_cast<uint8_t>(pending | (nibble << 4)));
        }
    }
    std::vector<uint8_t> out;
    out.reserve(60 + data.size());
    auto tag = [&](const char* t) {
        for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(t[i]));
    };
    const size_t blocks = data.size() / blockAlign;
    tag("RIFF");
    Put32(out, static_cast<uint32_t>(4 + 28 + 12 + 8 + data.size()));
    tag("WAVE");
    tag("fmt ");
    Put32(out, 20);
    Put16(out, 0x11);
    Put16(out, 1);
    Put32(out, static_cast<uint32_t>(rate));
    Put32(out, static_cast<uint32_t>(rate * blockAlign / perBlock));
    Put16(out, static_cast<uint32_t>(blockAlign));
    Put16(out, 4);
    Put16(out, 2);
    Put16(out, static_cast<uint32_t>(perBlock));
    tag("fact");
    Put32(out, 4);
    Put32(out, static_cast<uint32_t>(blocks * perBlock));
    tag("data");
    Put32(out, static_cast<uint32_t>(data.size()));
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

inline std::vector<float> Sine(double hz, double seconds, int rate, float amplitude, int channels = 1) {
    const size_t frames = static_cast<size_t>(seconds * rate);
    std::vector<float> out;
    out.reserve(frames * channels);
    for (size_t i = 0; i < frames; ++i) {
        const float v = amplitude * static_cast<float>(std::sin(2.0 * 3.14159265358979 * hz * static_cast<double>(i) / rate));
        for (int c = 0; c < channels; ++c) out.push_back(v);
    }
    return out;
}

inline bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

// A fresh folder per test program under the build tree.
inline std::string TempDir() {
    const std::string dir = std::string(VORLAN_BINARY_DIR) + "/test-output/audio";
    std::filesystem::create_directories(dir);
    return dir;
}

}  // namespace wavtest
