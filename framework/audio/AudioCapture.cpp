#include "framework/audio/AudioCapture.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {
constexpr int kChannels = 2;
constexpr int kBytesPerSample = 2;
constexpr uint32_t kHeaderBytes = 44;
// A RIFF file counts its bytes in 32 bits; the capture stops short of that.
constexpr uint64_t kMaxDataBytes = 0xFFFFFFFFull - kHeaderBytes;

void PutU32(unsigned char* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}
void PutU16(unsigned char* p, uint16_t v) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
}

int16_t ToPcm(float v) {
    if (!(v == v)) return 0;  // not a number: silence rather than a click
    const float scaled = std::round(v * 32767.0f);
    return static_cast<int16_t>(std::clamp(scaled, -32768.0f, 32767.0f));
}
}  // namespace

AudioCapture::~AudioCapture() { Finish(); }

bool AudioCapture::Open(const std::string& path) {
    Finish();
    file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    framesWritten = 0;
    failed = false;
    const unsigned char placeholder[kHeaderBytes] = {};
    if (std::fwrite(placeholder, 1, kHeaderBytes, file) != kHeaderBytes) {
        std::fclose(file);
        file = nullptr;
        return false;
    }
    return true;
}

bool AudioCapture::Reserve(int frames) {
    if (!file || frames <= 0) return false;
    const uint64_t bytes = (framesWritten + static_cast<uint64_t>(frames)) * kChannels * kBytesPerSample;
    return bytes <= kMaxDataBytes;
}

void AudioCapture::Put(const int16_t* samples, int frames) {
    // The file is little-endian whatever the machine.
    unsigned char* bytes = reinterpret_cast<unsigned char*>(block.data());
    for (int i = 0; i < frames * kChannels; ++i) PutU16(bytes + i * 2, static_cast<uint16_t>(samples[i]));
    const size_t size = static_cast<size_t>(frames) * kChannels * kBytesPerSample;
    if (std::fwrite(bytes, 1, size, file) != size) failed = true;
    framesWritten += static_cast<uint64_t>(frames);
}

void AudioCapture::Write(const float* interleaved, int frames) {
    if (!interleaved || !Reserve(frames)) return;
    block.resize(static_cast<size_t>(frames) * kChannels);
    for (size_t i = 0; i < block.size(); ++i) block[i] = ToPcm(interleaved[i]);
    Put(block.data(), frames);
}

void AudioCapture::WriteSilence(int frames) {
    if (!Reserve(frames)) return;
    block.assign(static_cast<size_t>(frames) * kChannels, 0);
    Put(block.data(), frames);
}

bool AudioCapture::Finish() {
    if (!file) return !failed;
    const uint32_t dataBytes = static_cast<uint32_t>(framesWritten * kChannels * kBytesPerSample);
    unsigned char h[kHeaderBytes];
    std::memcpy(h, "RIFF", 4);
    PutU32(h + 4, 36 + dataBytes);
    std::memcpy(h + 8, "WAVEfmt ", 8);
    PutU32(h + 16, 16);
    PutU16(h + 20, 1);  // PCM
    PutU16(h + 22, kChannels);
    PutU32(h + 24, static_cast<uint32_t>(sampleRate));
    PutU32(h + 28, static_cast<uint32_t>(sampleRate) * kChannels * kBytesPerSample);
    PutU16(h + 32, kChannels * kBytesPerSample);
    PutU16(h + 34, 8 * kBytesPerSample);
    std::memcpy(h + 36, "data", 4);
    PutU32(h + 40, dataBytes);
    if (std::fseek(file, 0, SEEK_SET) != 0 || std::fwrite(h, 1, kHeaderBytes, file) != kHeaderBytes) failed = true;
    if (std::fclose(file) != 0) failed = true;
    file = nullptr;
    return !failed;
}
