#include "media/Synth.h"

#include <algorithm>
#include <cstdio>

namespace media {

Reverb::Reverb(float rate, float roomSize, float damping, int stereoSpread) {
    static const int combTuning[8] = {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617};
    static const int passTuning[4] = {556, 441, 341, 225};
    const float scale = rate / 44100.0f;
    for (int c = 0; c < 2; ++c) {
        for (int i = 0; i < 8; ++i)
            combs[c][i].buf.assign(size_t((combTuning[i] + c * stereoSpread) * scale) + 1, 0.0f);
        for (int i = 0; i < 4; ++i)
            passes[c][i].buf.assign(size_t((passTuning[i] + c * stereoSpread) * scale) + 1, 0.0f);
    }
    feedback = 0.7f + 0.28f * roomSize;
    damp = damping;
}

void Reverb::Process(float in, float& outL, float& outR) {
    float* outs[2] = {&outL, &outR};
    const float input = in * 0.015f;
    for (int c = 0; c < 2; ++c) {
        float acc = 0;
        for (Comb& cb : combs[c]) {
            float y = cb.buf[cb.pos];
            cb.store = y * (1 - damp) + cb.store * damp;
            cb.buf[cb.pos] = input + cb.store * feedback;
            if (++cb.pos >= cb.buf.size()) cb.pos = 0;
            acc += y;
        }
        for (AllPass& ap : passes[c]) {
            float b = ap.buf[ap.pos];
            ap.buf[ap.pos] = acc + b * 0.5f;
            if (++ap.pos >= ap.buf.size()) ap.pos = 0;
            acc = b - acc;
        }
        *outs[c] = acc;
    }
}

bool WriteWav(const std::string& path, const Sound& s) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const uint32_t dataBytes = uint32_t(s.samples.size() * 2);
    auto u32 = [&](uint32_t v) {
        unsigned char b[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
        std::fwrite(b, 1, 4, f);
    };
    auto u16 = [&](uint16_t v) {
        unsigned char b[2] = {uint8_t(v), uint8_t(v >> 8)};
        std::fwrite(b, 1, 2, f);
    };
    std::fwrite("RIFF", 1, 4, f);
    u32(36 + dataBytes);
    std::fwrite("WAVEfmt ", 1, 8, f);
    u32(16);
    u16(1);
    u16(uint16_t(s.channels));
    u32(uint32_t(s.rate));
    u32(uint32_t(s.rate * s.channels * 2));
    u16(uint16_t(s.channels * 2));
    u16(16);
    std::fwrite("data", 1, 4, f);
    u32(dataBytes);
    std::vector<unsigned char> pcm(s.samples.size() * 2);
    for (size_t i = 0; i < s.samples.size(); ++i) {
        const int v = int(std::lround(std::clamp(s.samples[i], -1.0f, 1.0f) * 32767.0f));
        pcm[i * 2] = uint8_t(v & 255);
        pcm[i * 2 + 1] = uint8_t((v >> 8) & 255);
    }
    const bool ok = std::fwrite(pcm.data(), 1, pcm.size(), f) == pcm.size();
    return std::fclose(f) == 0 && ok;
}

void RemoveOffset(Sound& s) {
    const size_t frames = s.frames();
    if (!frames) return;
    for (int c = 0; c < s.channels; ++c) {
        double sum = 0;
        for (size_t i = 0; i < frames; ++i) sum += s.samples[i * s.channels + c];
        const float mean = float(sum / double(frames));
        for (size_t i = 0; i < frames; ++i) s.samples[i * s.channels + c] -= mean;
    }
}

float Peak(const Sound& s) {
    float p = 0;
    for (float v : s.samples) p = std::max(p, std::fabs(v));
    return p;
}

float Loudness(const Sound& s) {
    const size_t window = size_t(s.rate / 10) * size_t(s.channels);
    if (s.samples.size() <= window) {
        double acc = 0;
        for (float v : s.samples) acc += double(v) * v;
        return s.samples.empty() ? 0.0f : float(std::sqrt(acc / s.samples.size()));
    }
    double acc = 0, best = 0;
    for (size_t i = 0; i < s.samples.size(); ++i) {
        acc += double(s.samples[i]) * s.samples[i];
        if (i >= window) acc -= double(s.samples[i - window]) * s.samples[i - window];
        if (i + 1 >= window) best = std::max(best, acc);
    }
    return float(std::sqrt(std::max(0.0, best) / window));
}

void Master(Sound& s, float maxVolume, float target, float ceiling) {
    const float peak = Peak(s), loud = Loudness(s);
    if (peak <= 0 || loud <= 0) return;
    // The file itself must not clip either, whatever the instance volume.
    const float gain = std::min(target / (maxVolume * loud), ceiling / (std::max(1.0f, maxVolume) * peak));
    for (float& v : s.samples) v *= gain;
}

}  // namespace media
