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
