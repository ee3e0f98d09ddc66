// Sound effects and the engine and dirt loops.

#include "Generator.h"
#include "media/Synth.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>

namespace media {
namespace {

namespace fs = std::filesystem;
constexpr int kRate = 22050;
constexpr float kDt = 1.0f / kRate;

// How loud a sound is mastered, at its loudest instance volume: the loudness
// it approaches (largest 100 ms RMS) and the peak it may reach in the mix.
// Several sounds play at once under the music, so a single one keeps well
// clear of full scale; the beds that run all race (engines, dirt) sit lower.
struct Level {
    float target;
    float mixPeak;
    bool loop;  // centred on zero, so the join stays clean and no headroom is lost
};
constexpr Level kEffect{0.14f, 0.42f, false};
constexpr Level kBed{0.07f, 0.2f, true};
// The player's own engine is the one bed heard all race long, at any distance.
constexpr Level kOwnEngine{0.12f, 0.3f, true};
constexpr float kEngineDrive = 2.5f;
// Sounds that come in crowds: bikes riding together cross a dash panel
// together, and all eight boxes land within a few frames of each other,
// every one at full volume.
constexpr Level kCrowd{0.1f, 0.25f, false};
constexpr Level kBoxCrowd{0.06f, 0.12f, false};
// No file clips by itself, whatever the volume it is played at.
constexpr float kFileCeiling = 0.89f;

Sound Render(float seconds, const std::function<float(float)>& fn) {
    Sound s;
    s.rate = kRate;
    s.samples.resize(size_t(seconds * kRate));
    for (size_t i = 0; i < s.samples.size(); ++i) s.samples[i] = fn(i * kDt);
    return s;
}

// Adds a short room to a mono effect and fades the very end to silence.
void AddRoom(Sound& s, float wet, float room = 0.5f) {
    Reverb rv(float(s.rate), room, 0.4f, 23);
    for (float& v : s.samples) {
        float l, r;
        rv.Process(v, l, r);
        v += wet * 0.5f * (l + r);
    }
    const size_t fade = std::min(s.samples.size(), size_t(s.rate / 50));
    for (size_t i = 0; i < fade; ++i) s.samples[s.samples.size() - 1 - i] *= float(i) / fade;
    // Impacts start hard, but not with a step: a 1.5 ms ramp keeps the attack and loses the click.
    const size_t ramp = std::min(s.samples.size(), size_t(s.rate * 3 / 2000));
    for (size_t i = 0; i < ramp; ++i) s.samples[i] *= float(i) / ramp;
}

// Soft saturation: lifts the body of the quieter sounds without hard clipping.
void Saturate(Sound& s, float drive) {
    const float norm = 1.0f / std::tanh(drive);
    for (float& v : s.samples) v = std::tanh(v * drive) * norm;
}

Sound Press() {
    Osc a, b, c;
    Biquad lp;
    lp.LowPass(6000, 0.7f, kRate);
    Sound s = Render(0.55f, [&](float t) {
        float v = 0;
        const float f1 = MidiToHz(88), f2 = MidiToHz(95);  // E6 then B6
        if (t < 0.075f) v += 0.5f * a.Pulse(f1, kRate, 0.3f) * Adsr(t, 0.06f, 0.002f, 0.03f, 0.7f, 0.015f);
        const float u = t - 0.07f;
        if (u > 0) {
            v += 0.45f * b.Pulse(f2, kRate, 0.35f) * Adsr(u, 0.05f, 0.002f, 0.05f, 0.5f, 0.25f);
            v += 0.5f * c.Sine(f2 * 2, kRate) * ExpDecay(u, 0.12f);
        }
        return lp.Process(v);
    });
    AddRoom(s, 0.6f);
    return s;
}

Sound Count() {
    Osc a, b, vib;
    Biquad lp;
    lp.LowPass(5000, 0.7f, kRate);
    Sound s = Render(4.2f, [&](float t) {
        float v = 0;
        for (int k = 0; k < 3; ++k) {
            const float u = t - k;
            if (u >= 0 && u < 0.4f) {
                const float env = Adsr(u, 0.2f, 0.003f, 0.05f, 0.7f, 0.08f);
                v += env * (0.45f * a.Pulse(880, kRate, 0.5f) + 0.5f * b.Sine(880, kRate));
            }
        }
        const float u = t - 3.0f;
        if (u >= 0) {
            const float f = 1760.0f * (1.0f + 0.004f * vib.Sine(6, kRate) * std::min(1.0f, u * 3));
            const float env = Adsr(u, 0.75f, 0.003f, 0.1f, 0.75f, 0.3f);
            v += env * (0.4f * a.Pulse(f, kRate, 0.5f) + 0.5f * b.Sine(f, kRate));
        }
        return lp.Process(v);
    });
    AddRoom(s, 0.5f);
    return s;
}

// Brass-like note: detuned saws through a low-pass that opens with the attack.
struct Brass {
    Osc o1, o2, o3;
    Biquad lp;
    float Sample(float t, float gate, float freq) {
        if (t < 0) return 0;
        const float env = Adsr(t, gate, 0.02f, 0.15f, 0.75f, 0.25f);
        if (env <= 0) return 0;
        const float vib = 1.0f + 0.006f * std::sin(kTwoPi * 5.5f * t) * std::min(1.0f, t * 2);
        lp.LowPass(600 + 3800 * Adsr(t, gate, 0.04f, 0.4f, 0.55f, 0.25f), 1.2f, kRate);
        const float v = o1.Saw(freq * vib, kRate) + o2.Saw(freq * vib * 1.004f, kRate) +
                        0.6f * o3.Saw(freq * vib * 0.5f, kRate);
        return lp.Process(v) * env * 0.35f;
    }
};

Sound Goal() {
    Brass voices[6];
    Rng rng(77);
    Biquad hp, drumLp;
    hp.HighPass(5000, 0.7f, kRate);
    Osc kick;
    const float step = 0.13f;
    // Pick-up triplet G4 C5 E5, then a held C major chord over a crash.
    const float pickup[3] = {67, 72, 76};
    const float chord[4] = {72, 76, 79, 84};
    Sound s = Render(3.4f, [&](float t) {
        float v = 0;
        for (int i = 0; i < 3; ++i) v += voices[i].Sample(t - i * step, step * 0.8f, MidiToHz(pickup[i]));
        const float u = t - 3 * step;
        for (int i = 0; i < 4; ++i) {
            Brass& b = voices[(i + 3) % 6];
            if (i < 3 && u < 0) continue;
            v += 0.8f * b.Sample(u, 1.6f, MidiToHz(chord[i] - (i == 3 ? 12 : 0)));
        }
        if (u >= 0) {
            v += 0.5f * hp.Process(rng.Bipolar()) * ExpDecay(u, 0.7f);
            const float kf = 50 + 120 * ExpDecay(u, 0.03f);
            v += 0.8f * kick.Sine(kf, kRate) * ExpDecay(u, 0.18f);
        }
        for (int i = 0; i < 3; ++i) {
            const float w = t - i * step;
            if (w >= 0 && w < 0.1f) v += 0.25f * drumLp.Process(rng.Bipolar()) * ExpDecay(w, 0.03f);
        }
        return v;
    });
    AddRoom(s, 0.8f, 0.7f);
    return s;
}

// FM bell.
float Bell(float t, float freq, float decay) {
    if (t < 0) return 0;
    const float mod = std::sin(kTwoPi * freq * 3.5f * t) * 2.2f * ExpDecay(t, decay * 0.4f);
    return std::sin(kTwoPi * freq * t + mod) * ExpDecay(t, decay) * std::min(1.0f, t * 400);
}

Sound Lap() {
    Sound s = Render(1.3f, [&](float t) {
        float v = 0.6f * Bell(t, MidiToHz(84), 0.35f) + 0.6f * Bell(t - 0.12f, MidiToHz(91), 0.5f);
        v += 0.25f * Bell(t - 0.12f, MidiToHz(96), 0.3f);
        return v;
    });
    AddRoom(s, 0.6f);
    return s;
}

Sound Arpeggio(const float* notes, int count, float step, bool down) {
    Osc o[4];
    Biquad lp;
    Sound s = Render(step * count + 0.45f, [&](float t) {
        float v = 0;
        for (int i = 0; i < count; ++i) {
            const float u = t - i * step;
            if (u < 0) continue;
            const bool last = i == count - 1;
            float f = MidiToHz(notes[i]);
            if (down && last) f *= std::pow(2.0f, -0.25f * std::min(1.0f, u / 0.3f));
            const float env = Adsr(u, last ? 0.22f : step * 0.9f, 0.003f, 0.06f, 0.6f, 0.12f);
            v += env * (0.5f * o[i].Pulse(f, kRate, down ? 0.5f : 0.25f) + 0.4f * std::sin(kTwoPi * f * u));
        }
        lp.LowPass(down ? 2500.0f : 6000.0f, 0.8f, kRate);
        return lp.Process(v);
    });
    AddRoom(s, 0.5f);
    return s;
}

Sound Dash() {
    Rng rng(5);
    Biquad bp;
    Osc saw, sub;
    Sound s = Render(1.1f, [&](float t) {
        const float sweep = std::min(1.0f, t / 0.6f);
        bp.BandPass(400 + 4200 * sweep * sweep, 1.5f, kRate);
        const float env = Adsr(t, 0.35f, 0.02f, 0.2f, 0.7f, 0.7f);
        float v = 1.2f * bp.Process(rng.Bipolar()) * env;
        const float f = 180 + 700 * sweep;
        v += 0.3f * saw.Saw(f, kRate) * Adsr(t, 0.3f, 0.01f, 0.2f, 0.5f, 0.4f);
        v += 0.3f * sub.Sine(f * 0.5f, kRate) * Adsr(t, 0.3f, 0.01f, 0.2f, 0.5f, 0.4f);
        return v;
    });
    AddRoom(s, 0.4f);
    return s;
}

Sound BikeHit() {
    Rng rng(9);
    Biquad bp, lp;
    bp.BandPass(2500, 1.0f, kRate);
    lp.LowPass(900, 0.7f, kRate);
    const float partials[5] = {523, 1187, 1731, 2430, 3110};
    const float decays[5] = {0.25f, 0.16f, 0.12f, 0.08f, 0.06f};
    Sound s = Render(0.7f, [&](float t) {
        float v = 0;
        for (int i = 0; i < 5; ++i) v += 0.22f * std::sin(kTwoPi * partials[i] * t) * ExpDecay(t, decays[i]);
        v += 0.9f * bp.Process(rng.Bipolar()) * ExpDecay(t, 0.025f);
        v += 0.8f * lp.Process(rng.Bipolar()) * ExpDecay(t, 0.06f);
        v += 0.7f * std::sin(kTwoPi * (90 + 60 * ExpDecay(t, 0.02f)) * t) * ExpDecay(t, 0.09f);
        return v;
    });
    AddRoom(s, 0.4f);
    return s;
}

Sound WallHit() {
    Rng rng(21);
    Biquad lp, bp;
    lp.LowPass(1400, 0.8f, kRate);
    bp.BandPass(3200, 2.0f, kRate);
    Osc thump;
    Sound s = Render(0.65f, [&](float t) {
        float v = 1.0f * thump.Sine(45 + 40 * ExpDecay(t, 0.04f), kRate) * ExpDecay(t, 0.14f);
        v += 0.9f * lp.Process(rng.Bipolar()) * ExpDecay(t, 0.07f);
        // Grit of scraping concrete in the first moment.
        float grain = rng.Uniform() < 0.02f ? rng.Bipolar() * 3.0f : 0.0f;
        v += 0.5f * bp.Process(grain + 0.3f * rng.Bipolar()) * ExpDecay(t, 0.12f);
        return v;
    });
    AddRoom(s, 0.35f);
    return s;
}

Sound BoxHit() {
    Rng rng(33);
    struct Crack {
        float time, freq, amp;
        Biquad bp;
    };
    std::vector<Crack> cracks;
    for (int i = 0; i < 14; ++i) {
        Crack c;
        c.time = i == 0 ? 0.0f : 0.3f * rng.Uniform() * rng.Uniform();
        c.freq = 900 + 2600 * rng.Uniform();
        c.amp = i == 0 ? 1.4f : 0.4f + 0.6f * rng.Uniform();
        c.bp.BandPass(c.freq, 2.5f, kRate);
        cracks.push_back(c);
    }
    Biquad lp;
    lp.LowPass(500, 0.7f, kRate);
    Sound s = Render(0.9f, [&](float t) {
        float v = 0;
        for (Crack& c : cracks) {
            const float u = t - c.time;
            const float n = rng.Bipolar();
            if (u >= 0 && u < 0.08f) v += c.amp * c.bp.Process(n * ExpDecay(u, 0.012f)) * 3.0f;
        }
        const float wood[3] = {210, 405, 690};
        for (int i = 0; i < 3; ++i) v += 0.3f * std::sin(kTwoPi * wood[i] * t) * ExpDecay(t, 0.06f / (i + 1));
        v += 0.6f * lp.Process(rng.Bipolar()) * ExpDecay(t, 0.05f);
        // Debris settling.
        if (t > 0.25f && rng.Uniform() < 0.004f) v += rng.Bipolar() * 0.6f;
        return v;
    });
    AddRoom(s, 0.35f);
    return s;
}

Sound BoxFall() {
    Rng rng(41);
    Biquad bp, lp;
    bp.BandPass(650, 1.5f, kRate);
    lp.LowPass(300, 0.7f, kRate);
    Osc o;
    Sound s = Render(0.55f, [&](float t) {
        float v = 1.0f * o.Sine(80 + 50 * ExpDecay(t, 0.03f), kRate) * ExpDecay(t, 0.1f);
        v += 1.2f * bp.Process(rng.Bipolar()) * ExpDecay(t, 0.035f);
        v += 0.4f * lp.Process(rng.Bipolar()) * ExpDecay(t, 0.08f);
        const float bounce = t - 0.16f;
        if (bounce > 0) v += 0.35f * bp.Process(rng.Bipolar()) * ExpDecay(bounce, 0.02f);
        return v;
    });
    AddRoom(s, 0.3f);
    return s;
}

Sound Switch(bool rising, uint32_t seed) {
    Rng rng(seed);
    Biquad hp;
    hp.HighPass(3000, 0.7f, kRate);
    Osc a, b;
    const float f1 = rising ? 660.0f : 880.0f, f2 = rising ? 990.0f : 587.0f;
    Sound s = Render(0.5f, [&](float t) {
        float v = 1.2f * hp.Process(rng.Bipolar()) * ExpDecay(t, 0.004f);
        v += 0.6f * std::sin(kTwoPi * 190 * t) * ExpDecay(t, 0.03f);
        const float u = t - 0.03f;
        if (u > 0) {
            const float f = u < 0.08f ? f1 : f2;
            v += Adsr(u, 0.16f, 0.004f, 0.04f, 0.7f, 0.1f) *
                 (0.3f * a.Pulse(f, kRate, 0.5f) + 0.35f * b.Sine(f, kRate));
        }
        return v;
    });
    AddRoom(s, 0.4f);
    return s;
}

Sound MoveWall() {
    Rng rng(55);
    Biquad lp, bp;
    lp.LowPass(400, 1.5f, kRate);
    bp.BandPass(1200, 3.0f, kRate);
    Osc motor, wob;
    Sound s = Render(1.0f, [&](float t) {
        const float env = Adsr(t, 0.55f, 0.04f, 0.1f, 0.8f, 0.25f);
        const float am = 0.7f + 0.3f * wob.Sine(13, kRate);
        float v = 0.7f * lp.Process(motor.Saw(52 + 6 * t, kRate) + 0.5f * rng.Bipolar()) * env * am;
        v += 0.25f * bp.Process(rng.Bipolar()) * env;
        const float stop = t - 0.55f;
        if (stop > 0) v += 0.8f * std::sin(kTwoPi * (70 + 50 * ExpDecay(stop, 0.02f)) * stop) * ExpDecay(stop, 0.08f);
        return v;
    });
    AddRoom(s, 0.3f);
    return s;
}

Sound ExcavatorSwing() {
    Rng rng(66);
    Biquad whineLp, hiss, chugLp;
    hiss.HighPass(3500, 0.7f, kRate);
    chugLp.LowPass(220, 1.0f, kRate);
    Osc whine, whine2, chug;
    Sound s = Render(2.1f, [&](float t) {
        // The arm rises for the first second and comes down in the next.
        const float up = t < 1.0f ? t : 2.0f - t;
        const float f = 150 + 70 * std::clamp(up, 0.0f, 1.0f) + (t < 1.0f ? 25.0f : 0.0f);
        whineLp.LowPass(1400, 2.0f, kRate);
        const float env = Adsr(t, 1.9f, 0.08f, 0.2f, 0.85f, 0.18f);
        float v = 0.35f * whineLp.Process(whine.Saw(f, kRate) + 0.5f * whine2.Saw(f * 2.01f, kRate)) * env;
        const float pulse = chug.Pulse(26, kRate, 0.2f);
        v += 0.6f * chugLp.Process(pulse + 0.6f * rng.Bipolar()) * env;
        v += 0.15f * hiss.Process(rng.Bipolar()) * env;
        // The valve releases at the end of the swing.
        const float rel = t - 1.85f;
        if (rel > 0) v += 0.5f * hiss.Process(rng.Bipolar()) * ExpDecay(rel, 0.08f);
        return v;
    });
    AddRoom(s, 0.3f);
    return s;
}

// --- Seamless loops -----------------------------------------------------------------------
// Everything in a loop is periodic in its length: tones repeat a whole number of times,
// noise is filtered around the loop twice so the filter state at the end meets the start.

struct EngineCharacter {
    int cyclesPerLoop;       // engine cycles in the one-second loop: the fundamental in Hz
    int firingsPerCycle;     // pulses per cycle
    float formants[3];       // exhaust resonances
    float brightness;        // roll-off of the harmonics
    float noise;             // combustion roughness
    float unevenness;        // amplitude difference between firings
    uint32_t seed;
};

Sound EngineLoop(const EngineCharacter& ch) {
    const int n = kRate;  // one second
    // One engine cycle as a wavetable from its harmonics.
    const int table = 4096;
    std::vector<float> wave(table, 0.0f);
    Rng rng(ch.seed);
    const float f0 = float(ch.cyclesPerLoop);
    const int maxH = int(5000.0f / f0);
    for (int h = 1; h <= maxH; ++h) {
        const float f = f0 * h;
        float amp = 0;
        for (float fm : ch.formants) amp += 1.0f / (1.0f + std::pow((f - fm) / (fm * 0.35f), 2.0f));
        amp *= std::pow(float(h), -ch.brightness);
        // Firing harmonics are strong; the rest come from the unevenness between firings.
        if (h % ch.firingsPerCycle != 0) amp *= ch.unevenness;
        const float phase = rng.Uniform() * kTwoPi * 0.35f;
        for (int i = 0; i < table; ++i) wave[i] += amp * std::cos(kTwoPi * h * i / float(table) + phase);
    }
    Sound s;
    s.rate = kRate;
    s.samples.assign(n, 0.0f);
    std::vector<float> noise(n);
    for (float& v : noise) v = rng.Bipolar();
    Biquad bp;
    bp.BandPass(ch.formants[1] * 1.5f, 0.8f, kRate);
    std::vector<float> shaped(n);
    for (int pass = 0; pass < 2; ++pass)
        for (int i = 0; i < n; ++i) shaped[i] = bp.Process(noise[i]);
    float peak = 0;
    for (float v : wave) peak = std::max(peak, std::fabs(v));
    for (int i = 0; i < n; ++i) {
        const double phase = double(i) * ch.cyclesPerLoop / n;  // whole cycles per loop
        const double frac = phase - std::floor(phase);
        const float pos = float(frac * table);
        const int i0 = int(pos) % table;
        const float w = pos - std::floor(pos);
        const float tone = (wave[i0] * (1 - w) + wave[(i0 + 1) % table] * w) / peak;
        // Noise bursts follow the firings.
        const double fire = phase * ch.firingsPerCycle;
        const float burst = float(std::exp(-(fire - std::floor(fire)) * 6.0));
        // A slow waver that also repeats exactly within the loop.
        const float waver = 1.0f + 0.06f * std::sin(kTwoPi * 3.0f * i / n) + 0.04f * std::sin(kTwoPi * 7.0f * i / n);
        s.samples[i] = (tone + ch.noise * shaped[i] * burst * 4.0f) * waver;
    }
    return s;
}

Sound DirtLoop() {
    const int n = int(kRate * 1.5f);
    Rng rng(99);
    std::vector<float> noise(n), crackle(n, 0.0f);
    for (float& v : noise) v = rng.Bipolar();
    for (int i = 0; i < 500; ++i) crackle[rng.Next() % n] += rng.Bipolar() * 2.0f;
    Biquad rumble, rumble2, hiss, grit;
    rumble.LowPass(180, 0.9f, kRate);
    rumble2.LowPass(180, 0.9f, kRate);
    hiss.BandPass(900, 0.7f, kRate);
    grit.BandPass(2600, 2.0f, kRate);
    Sound s;
    s.rate = kRate;
    s.samples.assign(n, 0.0f);
    for (int pass = 0; pass < 2; ++pass)
        for (int i = 0; i < n; ++i) {
            const float r = rumble2.Process(rumble.Process(noise[i]));
            const float h = hiss.Process(noise[(i * 7 + 13) % n]);
            const float g = grit.Process(crackle[i]);
            const float wob = 1.0f + 0.25f * std::sin(kTwoPi * 4.0f * i / n);
            if (pass == 1) s.samples[i] = 3.0f * r * wob + 0.35f * h + 0.8f * g;
        }
    return s;
}

bool Save(const fs::path& path, Sound s, float maxVolume, float saturate = 0.0f, Level level = kEffect) {
    if (saturate > 0) {
        const float p = Peak(s);
        if (p > 0)
            for (float& v : s.samples) v /= p;
        Saturate(s, saturate);
    }
    if (level.loop) RemoveOffset(s);
    const float peak = Peak(s), loud = Loudness(s);
    if (peak > 0 && loud > 0) {
        const float gain = std::min({level.target / (maxVolume * loud), level.mixPeak / (maxVolume * peak),
                                     kFileCeiling / peak});
        for (float& v : s.samples) v *= gain;
    }
    if (!WriteWav(path.string(), s)) {
        std::fprintf(stderr, "media: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

bool GenerateSfx(const GenContext& ctx) {
    const fs::path dir = ctx.dataDir / "Sound";
    std::error_code ec;
    for (const char* sub : {"Wall", "Box", "Engine"}) fs::create_directories(dir / sub, ec);
    if (ec) return false;
    bool ok = true;
    // Loudest volume each sound is played at (Play3D always plays at 1.0).
    ok &= Save(dir / "press.wav", Press(), 2.0f);
    ok &= Save(dir / "count.wav", Count(), 0.5f);
    ok &= Save(dir / "goal.wav", Goal(), 0.2f, 1.5f);
    ok &= Save(dir / "lap1.wav", Lap(), 0.2f, 1.8f);
    const float up[4] = {72, 76, 79, 84}, down[4] = {79, 75, 72, 69};
    ok &= Save(dir / "rankUp.wav", Arpeggio(up, 4, 0.07f, false), 0.2f, 1.8f);
    ok &= Save(dir / "rankDown.wav", Arpeggio(down, 4, 0.09f, true), 0.2f, 1.8f);
    ok &= Save(dir / "dash.wav", Dash(), 1.0f, 0.0f, kCrowd);
    ok &= Save(dir / "bikehit.wav", BikeHit(), 1.0f);
    ok &= Save(dir / "excavator.wav", ExcavatorSwing(), 1.0f);
    ok &= Save(dir / "Wall" / "wallhit.wav", WallHit(), 2.0f);
    ok &= Save(dir / "Wall" / "movewall.wav", MoveWall(), 1.0f);
    ok &= Save(dir / "Wall" / "wallswitch.wav", Switch(false, 71), 1.0f);
    ok &= Save(dir / "Box" / "boxhit.wav", BoxHit(), 1.0f);
    ok &= Save(dir / "Box" / "boxfall.wav", BoxFall(), 1.0f, 0.0f, kBoxCrowd);
    ok &= Save(dir / "Box" / "boxswitch.wav", Switch(true, 72), 1.0f);
    ok &= Save(dir / "dart.wav", DirtLoop(), 1.0f, 0.0f, kBed);
    // Three engines: a single-cylinder thumper for the player, a buzzy twin and a deep,
    // rough triple for the computer bikes.
    const EngineCharacter thumper{34, 1, {110, 420, 1100}, 0.7f, 0.25f, 0.5f, 101};
    const EngineCharacter twin{23, 2, {160, 640, 1600}, 0.5f, 0.18f, 0.35f, 202};
    const EngineCharacter triple{14, 3, {90, 300, 800}, 0.8f, 0.35f, 0.45f, 303};
    // The engines play at 0.8 all race, three at once; saturation
    // rounds off their firing spikes so the drone is loud for its peaks.
    ok &= Save(dir / "Engine" / "low00.WAV", EngineLoop(thumper), 0.8f, kEngineDrive, kOwnEngine);
    ok &= Save(dir / "Engine" / "low01.WAV", EngineLoop(twin), 0.8f, kEngineDrive, kBed);
    ok &= Save(dir / "Engine" / "low02.WAV", EngineLoop(triple), 0.8f, kEngineDrive, kBed);
    return ok;
}

VORLAN_REGISTER_GENERATOR("media-sfx", 21, GenerateSfx);

}  // namespace
}  // namespace media
