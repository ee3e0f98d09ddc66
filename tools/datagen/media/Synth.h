#pragma once
// A small synthesiser: band-limited oscillators, envelopes, noise, filters and a
// reverb, plus helpers for sounds that have to loop without a seam.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace media {

constexpr float kPi = 3.14159265358979f;
constexpr float kTwoPi = 6.28318530717959f;

inline float MidiToHz(float midi) { return 440.0f * std::pow(2.0f, (midi - 69.0f) / 12.0f); }

// Deterministic noise (xorshift); every sound seeds its own.
struct Rng {
    uint32_t s;
    explicit Rng(uint32_t seed) : s(seed ? seed : 0x9E3779B9u) {}
    uint32_t Next() {
        s ^= s << 13;
        s ^= s >> 17;
        s ^= s << 5;
        return s;
    }
    float Uniform() { return (Next() >> 8) * (1.0f / 16777216.0f); }
    float Bipolar() { return Uniform() * 2.0f - 1.0f; }
};

// PolyBLEP residual: removes the aliasing of a hard step at phase 0.
inline float PolyBlep(float t, float dt) {
    if (t < dt) {
        t /= dt;
        return t + t - t * t - 1.0f;
    }
    if (t > 1.0f - dt) {
        t = (t - 1.0f) / dt;
        return t * t + t + t + 1.0f;
    }
    return 0.0f;
}

struct Osc {
    float phase = 0;  // 0..1
    float tri = 0;    // integrator state of the triangle
    float Advance(float dt) {
        float p = phase;
        phase += dt;
        if (phase >= 1.0f) phase -= std::floor(phase);
        return p;
    }
    float Sine(float freq, float rate) { return std::sin(kTwoPi * Advance(freq / rate)); }
    float Saw(float freq, float rate) {
        const float dt = std::min(0.5f, freq / rate);
        const float p = Advance(dt);
        return 2.0f * p - 1.0f - PolyBlep(p, dt);
    }
    float Pulse(float freq, float rate, float width = 0.5f) {
        const float dt = std::min(0.5f, freq / rate);
        const float p = Advance(dt);
        float v = p < width ? 1.0f : -1.0f;
        v += PolyBlep(p, dt);
        float q = p - width + 1.0f;
        if (q >= 1.0f) q -= 1.0f;
        v -= PolyBlep(q, dt);
        return v;
    }
    // Leaky-integrated band-limited square.
    float Triangle(float freq, float rate) {
        const float dt = std::min(0.5f, freq / rate);
        const float sq = Pulse(freq, rate, 0.5f);
        tri = tri * 0.999f + sq * 4.0f * dt;
        return tri;
    }
};

// RBJ biquad.
struct Biquad {
    float b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0, z1 = 0, z2 = 0;
    void Set(int type, float freq, float q, float rate) {
        freq = std::clamp(freq, 10.0f, rate * 0.45f);
        const float w = kTwoPi * freq / rate, cs = std::cos(w), sn = std::sin(w);
        const float alpha = sn / (2.0f * q);
        float nb0, nb1, nb2;
        if (type == 0) {  // low-pass
            nb0 = (1 - cs) * 0.5f, nb1 = 1 - cs, nb2 = (1 - cs) * 0.5f;
        } else if (type == 1) {  // high-pass
            nb0 = (1 + cs) * 0.5f, nb1 = -(1 + cs), nb2 = (1 + cs) * 0.5f;
        } else {  // band-pass, peak gain 1
            nb0 = alpha, nb1 = 0, nb2 = -alpha;
        }
        const float a0 = 1 + alpha;
        b0 = nb0 / a0, b1 = nb1 / a0, b2 = nb2 / a0, a1 = -2 * cs / a0, a2 = (1 - alpha) / a0;
    }
    void LowPass(float f, float q, float rate) { Set(0, f, q, rate); }
    void HighPass(float f, float q, float rate) { Set(1, f, q, rate); }
    void BandPass(float f, float q, float rate) { Set(2, f, q, rate); }
    float Process(float x) {
        const float y = b0 * x + z1;
        z1 = b1 * x - a1 * y + z2;
        z2 = b2 * x - a2 * y;
        return y;
    }
};

struct OnePole {
    float y = 0, k = 1;
    void LowPass(float freq, float rate) { k = 1.0f - std::exp(-kTwoPi * freq / rate); }
    float Process(float x) { return y += k * (x - y); }
};

// Attack-decay-sustain-release over a gate of the given length, in seconds.
inline float Adsr(float t, float gate, float a, float d, float s, float r) {
    if (t < 0) return 0;
    auto held = [&](float u) {
        if (u < a) return u / a;
        if (u < a + d) return 1.0f - (1.0f - s) * (u - a) / d;
        return s;
    };
    if (t < gate) return held(t);
    const float level = held(gate);
    const float u = (t - gate) / r;
    return u >= 1 ? 0.0f : level * (1 - u) * (1 - u);
}

inline float ExpDecay(float t, float tau) { return t < 0 ? 0.0f : std::exp(-t / tau); }

// Freeverb-style reverb with eight combs and four all-passes per channel.
class Reverb {
public:
    Reverb(float rate, float roomSize, float damping, int stereoSpread);
    void Process(float in, float& outL, float& outR);

private:
    struct Comb {
        std::vector<float> buf;
        size_t pos = 0;
        float store = 0;
    };
    struct AllPass {
        std::vector<float> buf;
        size_t pos = 0;
    };
    Comb combs[2][8];
    AllPass passes[2][4];
    float feedback, damp;
};

// A mono or interleaved stereo buffer.
struct Sound {
    int rate = 22050;
    int channels = 1;
    std::vector<float> samples;
    size_t frames() const { return samples.size() / size_t(channels); }
};

bool WriteWav(const std::string& path, const Sound& sound);

// Takes each channel's mean out: an offset wastes headroom and clicks where a
// loop starts and stops. A loop loses it this way without a seam.
void RemoveOffset(Sound& s);

// Peak of |sample| and loudness as the largest RMS over 100 ms windows.
float Peak(const Sound& s);
float Loudness(const Sound& s);
// Scales the sound so that, played at maxVolume, its loudness approaches target
// without any sample passing ceiling.
void Master(Sound& s, float maxVolume, float target, float ceiling = 0.89f);

}  // namespace media
