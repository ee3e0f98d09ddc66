// The music: the desert race theme (BGM.wav), one race theme each for the meadow
// and dusk courses (RaceMeadow.wav, RaceDusk.wav) and the title theme (Title.WAV).
// Each is written as one loop: every note that rings past the end of the loop is
// folded back onto its start, and the reverb runs round the loop twice, so the last
// sample leads straight into the first.

#include "Generator.h"
#include "media/Synth.h"

#include <cstdio>
#include <filesystem>
#include <functional>
#include <sstream>

namespace media {
namespace {

namespace fs = std::filesystem;
constexpr int kRate = 32000;
// Largest 100 ms RMS of the race music: under the player's engine alone,
// well under the engines and effects when the bikes are close.
constexpr float kRaceMusicLoudness = 0.075f;

struct Bus {
    size_t n;
    std::vector<float> left, right, send;
    explicit Bus(size_t frames) : n(frames), left(frames), right(frames), send(frames) {}
    void Add(size_t i, float v, float pan, float reverb) {
        i %= n;
        const float l = std::sqrt(0.5f * (1 - pan)), r = std::sqrt(0.5f * (1 + pan));
        left[i] += v * l;
        right[i] += v * r;
        send[i] += v * reverb;
    }
};

// A voice renders one note; t is seconds since the note began, gate its held length.
// An instrument makes a fresh voice (with its own oscillator and filter state) per note.
using Voice = std::function<float(float t, float gate, float freq)>;
using Instrument = std::function<Voice()>;

struct Song {
    float bpm;
    int bars;
    Bus bus;
    Song(float tempo, int barCount)
        : bpm(tempo), bars(barCount), bus(size_t(std::lround(barCount * 4 * 60.0 / tempo * kRate))) {}
    double BeatSeconds() const { return 60.0 / bpm; }
    // Plays a note of `beats` length starting at `beat`; the voice is asked for `tail`
    // seconds beyond the gate for its release.
    void Note(double beat, double beats, float midi, float gain, float pan, float reverb, const Instrument& make,
              float tail = 0.3f) {
        Voice voice = make();
        const double start = beat * BeatSeconds();
        const float gate = float(beats * BeatSeconds());
        const size_t s0 = size_t(std::lround(start * kRate));
        const size_t len = size_t((gate + tail) * kRate);
        const float freq = MidiToHz(midi);
        for (size_t j = 0; j < len; ++j) bus.Add(s0 + j, gain * voice(float(j) / kRate, gate, freq), pan, reverb);
    }
};

int ParseNote(const std::string& name) {
    static const int semis[7] = {9, 11, 0, 2, 4, 5, 7};  // A B C D E F G
    if (name.empty() || name[0] == 'r') return -1;
    int semi = semis[(name[0] - 'A') % 7];
    size_t i = 1;
    if (i < name.size() && name[i] == '#') semi++, i++;
    else if (i < name.size() && name[i] == 'b') semi--, i++;
    const int octave = i < name.size() ? name[i] - '0' : 4;
    return 12 * (octave + 1) + semi;
}

struct Event {
    double beat, beats;
    int midi;
};

// "E5:2 A5:2 r:1 ..." with lengths in eighth notes.
std::vector<Event> ParseMelody(const std::string& text, double startBeat = 0) {
    std::vector<Event> out;
    std::istringstream in(text);
    std::string tok;
    double beat = startBeat;
    while (in >> tok) {
        const size_t colon = tok.find(':');
        const double len = std::stod(tok.substr(colon + 1)) * 0.5;
        const int midi = ParseNote(tok.substr(0, colon));
        if (midi >= 0) out.push_back({beat, len, midi});
        beat += len;
    }
    return out;
}

// ---- Voices -----------------------------------------------------------------------------

Instrument LeadVoice(float cutoff, float pulseWidth) {
    return [=] { return Voice([=, a = Osc{}, b = Osc{}, lp = Biquad{}](float t, float gate, float f) mutable {
        const float vib = 1.0f + 0.005f * std::sin(kTwoPi * 5.5f * t) * std::clamp((t - 0.15f) * 4, 0.0f, 1.0f);
        const float env = Adsr(t, gate * 0.92f, 0.008f, 0.12f, 0.7f, 0.09f);
        lp.LowPass(cutoff * (0.6f + 0.6f * ExpDecay(t, 0.15f)), 0.9f, kRate);
        return lp.Process(0.55f * a.Pulse(f * vib, kRate, pulseWidth) + 0.45f * b.Saw(f * vib * 1.003f, kRate)) * env;
    }); };
}

Instrument SoftLeadVoice() {
    return [] { return Voice([a = Osc{}, b = Osc{}, lp = Biquad{}](float t, float gate, float f) mutable {
        if (t == 0) lp.LowPass(2200, 0.7f, kRate);
        const float vib = 1.0f + 0.006f * std::sin(kTwoPi * 5.0f * t) * std::clamp((t - 0.2f) * 3, 0.0f, 1.0f);
        const float env = Adsr(t, gate * 0.95f, 0.02f, 0.2f, 0.75f, 0.2f);
        return lp.Process(0.5f * a.Pulse(f * vib, kRate, 0.5f) + 0.7f * b.Sine(f * vib, kRate)) * env;
    }); };
}

Instrument BassVoice(float bright) {
    return [=] { return Voice([=, a = Osc{}, b = Osc{}, lp = Biquad{}](float t, float gate, float f) mutable {
        const float env = Adsr(t, gate, 0.003f, 0.12f, 0.6f, 0.04f);
        lp.LowPass(180 + bright * ExpDecay(t, 0.07f) + 250, 1.1f, kRate);
        return (lp.Process(a.Saw(f, kRate)) * 0.8f + 0.6f * b.Sine(f, kRate)) * env;
    }); };
}

Instrument RoundBassVoice() {
    return [] { return Voice([](float t, float gate, float f) {
        const float env = Adsr(t, gate, 0.006f, 0.3f, 0.6f, 0.08f);
        const float s = std::sin(kTwoPi * f * t);
        return (s + 0.25f * std::sin(kTwoPi * 2 * f * t) * ExpDecay(t, 0.1f)) * env;
    }); };
}

Instrument PadVoice(float cutoff) {
    return [=] { return Voice([=, a = Osc{}, b = Osc{0.33f}, c = Osc{0.66f}, lp = Biquad{}](float t, float gate, float f) mutable {
        if (t == 0) lp.LowPass(cutoff, 0.7f, kRate);
        const float env = Adsr(t, gate, 0.25f, 0.3f, 0.8f, 0.35f);
        return lp.Process(a.Saw(f * 0.997f, kRate) + b.Saw(f * 1.003f, kRate) + 0.5f * c.Saw(f * 0.5f, kRate)) * env;
    }); };
}

Instrument PluckVoice(float bright = 4000, float decay = 0.09f) {
    return [=] { return Voice([=, a = Osc{}, lp = Biquad{}](float t, float, float f) mutable {
        lp.LowPass(900 + bright * ExpDecay(t, 0.05f), 0.8f, kRate);
        return lp.Process(a.Pulse(f, kRate, 0.3f)) * ExpDecay(t, decay) * std::min(1.0f, t * 500);
    }); };
}

// A bell struck on a square: the meadow's lead, bright at the attack and
// clear in the high octave without getting thin.
Instrument BellLeadVoice() {
    return [] { return Voice([a = Osc{}, b = Osc{}, m = Osc{}, lp = Biquad{}](float t, float gate, float f) mutable {
        if (t == 0) lp.LowPass(6000, 0.7f, kRate);
        const float vib = 1.0f + 0.004f * std::sin(kTwoPi * 6.0f * t) * std::clamp((t - 0.2f) * 4, 0.0f, 1.0f);
        const float env = Adsr(t, gate * 0.9f, 0.004f, 0.25f, 0.55f, 0.12f);
        const float strike = 1.6f * ExpDecay(t, 0.12f) * m.Sine(2 * f * vib, kRate);
        const float body = std::sin(kTwoPi * a.Advance(f * vib / kRate) + strike);
        return lp.Process(0.8f * body + 0.3f * b.Pulse(f * vib, kRate, 0.5f)) * env;
    }); };
}

// Two detuned saws through a resonant filter that opens after the attack, and a
// small slide up into each note: the dusk lead, vocal and a little uneasy.
Instrument GrowlLeadVoice() {
    return [] { return Voice([a = Osc{}, b = Osc{0.5f}, lp = Biquad{}](float t, float gate, float f) mutable {
        const float scoop = std::pow(2.0f, -0.6f / 12.0f * ExpDecay(t, 0.03f));
        const float vib = 1.0f + 0.008f * std::sin(kTwoPi * 4.5f * t) * std::clamp((t - 0.3f) * 2, 0.0f, 1.0f);
        const float env = Adsr(t, gate * 0.95f, 0.015f, 0.3f, 0.8f, 0.15f);
        lp.LowPass(900 + 2400 * (1 - ExpDecay(t, 0.06f)) * (0.4f + 0.6f * ExpDecay(t, 0.4f)), 2.2f, kRate);
        const float g = f * scoop * vib;
        return std::tanh(1.5f * lp.Process(0.6f * (a.Saw(g * 0.996f, kRate) + b.Saw(g * 1.004f, kRate)))) * env;
    }); };
}

// A driven saw over a sine: the dusk bass, heavy and short enough to stay on the grid.
Instrument DriveBassVoice() {
    return [] { return Voice([a = Osc{}, b = Osc{}, lp = Biquad{}](float t, float gate, float f) mutable {
        const float env = Adsr(t, gate, 0.002f, 0.1f, 0.75f, 0.03f);
        lp.LowPass(220 + 900 * ExpDecay(t, 0.05f), 1.4f, kRate);
        return (0.7f * std::tanh(2.2f * lp.Process(a.Saw(f, kRate))) + 0.7f * b.Sine(f, kRate)) * env;
    }); };
}

// Short bright chord stabs on the off-beats of the meadow theme.
Instrument StabVoice() {
    return [] { return Voice([a = Osc{}, b = Osc{}, lp = Biquad{}, hp = Biquad{}](float t, float, float f) mutable {
        if (t == 0) lp.LowPass(3500, 0.7f, kRate), hp.HighPass(400, 0.7f, kRate);
        return hp.Process(lp.Process(a.Saw(f * 0.996f, kRate) + b.Saw(f * 1.004f, kRate))) * ExpDecay(t, 0.06f) *
               std::min(1.0f, t * 400);
    }); };
}

Instrument PianoVoice() {
    return [] { return Voice([](float t, float gate, float f) {
        const float mod = 1.1f * ExpDecay(t, 0.35f) * std::sin(kTwoPi * f * t);
        const float env = ExpDecay(t, 1.1f) * std::min(1.0f, t * 300) * (t > gate ? ExpDecay(t - gate, 0.15f) : 1.0f);
        return (std::sin(kTwoPi * f * t + mod) + 0.2f * std::sin(kTwoPi * 2 * f * t) * ExpDecay(t, 0.2f)) * env;
    }); };
}

// A one-off voice for a single hit.
Instrument Once(Voice v) {
    return [v] { return v; };
}

// Drums; the noise is seeded per hit so every hit is the same.
float Kick(float t, float punch) {
    // Pitch falls from 158 Hz to 48 Hz; the phase is the integral of that sweep.
    const float phase = kTwoPi * (48 * t + 110 * 0.035f * (1 - std::exp(-t / 0.035f)));
    return (std::sin(phase) * ExpDecay(t, 0.22f) + punch * 0.3f * ExpDecay(t, 0.004f)) * std::min(1.0f, t * 2000);
}

struct NoiseHit {
    Rng rng{1234};
    Biquad f1, f2;
};

void Snare(Song& song, double beat, float gain, float pan, float reverb, bool soft) {
    NoiseHit h;
    h.f1.BandPass(soft ? 1500.0f : 1900.0f, soft ? 1.5f : 0.8f, kRate);
    h.f2.HighPass(soft ? 900.0f : 400.0f, 0.7f, kRate);
    song.Note(beat, 0.1, 60, gain, pan, reverb, Once([&](float t, float, float) {
        const float n = h.rng.Bipolar();
        const float body = soft ? 0.0f : 0.6f * std::sin(kTwoPi * 190 * t) * ExpDecay(t, 0.05f);
        return (h.f2.Process(h.f1.Process(n) * 2.0f) * ExpDecay(t, soft ? 0.05f : 0.11f) + body);
    }), 0.35f);
}

void Hat(Song& song, double beat, float gain, float pan, float decay) {
    NoiseHit h;
    h.f1.HighPass(7000, 0.7f, kRate);
    song.Note(beat, 0.05, 60, gain, pan, 0.05f, Once([&](float t, float, float) {
        return h.f1.Process(h.rng.Bipolar()) * ExpDecay(t, decay);
    }), decay * 6);
}

void Crash(Song& song, double beat, float gain) {
    NoiseHit h;
    h.f1.HighPass(4000, 0.7f, kRate);
    song.Note(beat, 0.1, 60, gain, 0.3f, 0.3f, Once([&](float t, float, float) {
        return h.f1.Process(h.rng.Bipolar()) * ExpDecay(t, 0.7f) * std::min(1.0f, t * 1000);
    }), 2.5f);
}

void KickAt(Song& song, double beat, float gain) {
    song.Note(beat, 0.2, 60, gain, 0, 0.02f, Once([](float t, float, float) { return Kick(t, 1.0f); }), 0.5f);
}

// A tom whose pitch drops a little from hz*1.6 as it rings.
void Tom(Song& song, double beat, float hz, float gain, float pan) {
    song.Note(beat, 0.2, 60, gain, pan, 0.15f, Once([hz](float t, float, float) {
        const float phase = kTwoPi * (hz * t + hz * 0.6f * 0.05f * (1 - std::exp(-t / 0.05f)));
        return std::sin(phase) * ExpDecay(t, 0.18f) * std::min(1.0f, t * 2000);
    }), 0.6f);
}

// Noise swelling and rising in pitch over `beats`, cut off on the next downbeat.
void Swell(Song& song, double beat, double beats, float gain) {
    NoiseHit h;
    const float len = float(beats * song.BeatSeconds());
    song.Note(beat, beats, 60, gain, -0.2f, 0.4f, Once([&h, len](float t, float, float) {
        const float u = std::clamp(t / len, 0.0f, 1.0f);
        h.f1.BandPass(800 + 6000 * u * u, 1.2f, kRate);
        return h.f1.Process(h.rng.Bipolar()) * u * u * (t < len ? 1.0f : ExpDecay(t - len, 0.01f));
    }), 0.1f);
}

// Chord tones (MIDI) per chord symbol.
std::vector<int> Chord(const std::string& name) {
    static const std::vector<std::pair<std::string, std::vector<int>>> table = {
        {"Am", {57, 60, 64}},     {"F", {53, 57, 60}},       {"C", {55, 60, 64}},      {"G", {55, 59, 62}},
        {"E", {56, 59, 64}},      {"Em", {55, 59, 64}},      {"Fmaj7", {53, 57, 60, 64}}, {"Em7", {55, 59, 62, 64}},
        {"Am7", {55, 57, 60, 64}}, {"Dm7", {53, 57, 60, 62}}, {"Cmaj7", {55, 59, 60, 64}}, {"Gsus", {55, 60, 62, 67}},
        {"D", {54, 57, 62}},      {"A", {57, 61, 64}},       {"Bm", {54, 59, 62}},     {"F#m", {54, 57, 61}},
        {"Asus", {57, 62, 64}},   {"B", {54, 59, 63}},       {"B7", {54, 57, 59, 63}},
    };
    for (const auto& [n, notes] : table)
        if (n == name) return notes;
    return {57, 60, 64};
}

int Root(const std::string& name) {
    // Bass root in octave 2.
    const bool accidental = name.size() > 1 && (name[1] == '#' || name[1] == 'b');
    return ParseNote(name.substr(0, accidental ? 2 : 1) + "2");
}

// Mixes the bus into stereo with the reverb run round the loop twice, then soft-limits.
Sound Finish(Song& song, float reverbLevel, float room) {
    Bus& b = song.bus;
    Reverb rv(float(kRate), room, 0.45f, 23);
    std::vector<float> wetL(b.n), wetR(b.n);
    for (int pass = 0; pass < 2; ++pass)
        for (size_t i = 0; i < b.n; ++i) {
            float l, r;
            rv.Process(b.send[i], l, r);
            if (pass == 1) wetL[i] = l, wetR[i] = r;
        }
    Sound s;
    s.rate = kRate;
    s.channels = 2;
    s.samples.resize(b.n * 2);
    float peak = 0;
    for (size_t i = 0; i < b.n; ++i) {
        s.samples[i * 2] = b.left[i] + reverbLevel * wetL[i];
        s.samples[i * 2 + 1] = b.right[i] + reverbLevel * wetR[i];
    }
    RemoveOffset(s);
    for (float v : s.samples) peak = std::max(peak, std::fabs(v));
    if (peak > 0)
        for (float& v : s.samples) v = std::tanh(1.3f * v / peak) / std::tanh(1.3f);
    RemoveOffset(s);  // the limiter bends an uneven wave off centre again
    return s;
}

Sound RaceTheme() {
    Song song(148.0f, 16);
    const char* chords[16] = {"Am", "F", "C", "G", "Am", "F", "G", "E", "F", "G", "Em", "Am", "F", "G", "Am", "E"};
    const std::string melody =
        // A: the hook
        "E5:2 A5:2 C6:2 B5:1 A5:1  C6:3 A5:1 F5:2 A5:2  G5:2 E5:2 G5:2 C6:2  B5:3 A5:1 G5:2 D5:2 "
        "E5:2 A5:2 C6:2 E6:2  F6:3 E6:1 D6:2 C6:2  D6:2 B5:2 G5:2 B5:2  G#5:4 B5:2 E6:2 "
        // B: lift and turn back
        "A5:1 C6:1 F6:2 E6:2 C6:2  D6:1 B5:1 G5:2 D6:2 B5:2  E6:3 D6:1 B5:2 G5:2  A5:5 r:1 C6:1 D6:1 "
        "E6:2 F6:2 E6:2 C6:2  D6:2 E6:2 D6:2 B5:2  C6:2 B5:2 A5:2 E6:2  G#5:2 B5:2 E6:2 D6:1 B5:1";
    const Instrument lead = LeadVoice(3800, 0.25f);
    for (const Event& e : ParseMelody(melody)) song.Note(e.beat, e.beats, float(e.midi), 0.2f, 0.0f, 0.3f, lead);
    // Echo of the lead an octave down, quieter and to the side.
    const Instrument echo = LeadVoice(1800, 0.5f);
    for (const Event& e : ParseMelody(melody)) song.Note(e.beat + 0.75, e.beats, float(e.midi - 12), 0.06f, -0.5f, 0.3f, echo);

    const Instrument bass = BassVoice(1500);
    const Instrument pad = PadVoice(1300);
    const Instrument pluck = PluckVoice();
    for (int bar = 0; bar < 16; ++bar) {
        const double b0 = bar * 4.0;
        const int root = Root(chords[bar]);
        // Driving eighths with octave jumps.
        const int pattern[8] = {0, 0, 12, 0, 0, 0, 12, 7};
        for (int k = 0; k < 8; ++k) song.Note(b0 + k * 0.5, 0.42, float(root + pattern[k]), 0.32f, 0.0f, 0.0f, bass, 0.1f);
        const std::vector<int> tones = Chord(chords[bar]);
        for (size_t k = 0; k < tones.size(); ++k)
            song.Note(b0, 3.8, float(tones[k]), 0.05f, -0.6f + 0.6f * k, 0.5f, pad, 0.5f);
        if (bar >= 8) {
            for (int k = 0; k < 16; ++k) {
                const int tone = tones[k % tones.size()] + 12 * ((k / tones.size()) % 2 + 0);
                song.Note(b0 + k * 0.25, 0.2, float(tone + 12), 0.07f, (k % 2) ? 0.5f : -0.5f, 0.3f, pluck, 0.2f);
            }
        }
        // Drums.
        KickAt(song, b0, 0.75f);
        KickAt(song, b0 + 2, 0.75f);
        KickAt(song, b0 + 2.5, 0.5f);
        Snare(song, b0 + 1, 0.42f, 0.1f, 0.2f, false);
        const bool fill = bar == 7 || bar == 15;
        if (fill) {
            for (int k = 0; k < 4; ++k) Snare(song, b0 + 3 + k * 0.25, 0.22f + 0.06f * k, 0.1f, 0.2f, false);
        } else {
            Snare(song, b0 + 3, 0.42f, 0.1f, 0.2f, false);
        }
        for (int k = 0; k < 8; ++k) Hat(song, b0 + k * 0.5, k % 2 ? 0.11f : 0.07f, 0.35f, k == 7 ? 0.12f : 0.025f);
        if (bar == 0 || bar == 8) Crash(song, b0, 0.16f);
    }
    return Finish(song, 0.35f, 0.6f);
}

// Riverside: D major, quicker and lighter than the desert. Four on the floor,
// off-beat stabs and open hats keep it moving; plucked arpeggios ripple under a
// bell lead, eighths at first and sixteenths when the tune lifts.
Sound MeadowTheme() {
    Song song(156.0f, 16);
    const char* chords[16] = {"D", "A", "Bm", "G", "D", "A", "G", "A", "G", "A", "F#m", "Bm", "Em", "G", "Asus", "A"};
    const std::string melody =
        // A: the hook, climbing out of the tonic
        "A5:2 D6:2 F#6:3 E6:1  E6:3 C#6:1 A5:2 C#6:2  D6:2 F#6:2 B6:3 A6:1  G6:2 F#6:1 E6:1 D6:2 B5:2 "
        "A5:2 D6:2 F#6:3 E6:1  E6:2 A6:2 G6:1 F#6:1 E6:2  D6:1 E6:1 G6:2 F#6:2 D6:2  E6:4 C#6:2 A5:2 "
        // B: up over the subdominant, then a run back down to the pickup into the hook
        "B5:1 D6:1 G6:2 F#6:1 G6:1 B6:2  A6:3 G6:1 F#6:2 E6:2  F#6:2 C#6:2 A5:2 C#6:2  D6:3 C#6:1 B5:2 F#6:2 "
        "G6:2 E6:2 B5:2 E6:2  D6:1 E6:1 F#6:1 G6:1 B6:2 A6:2  A6:4 G6:2 E6:2  E6:2 C#6:2 A5:2 F#5:1 G5:1";
    const Instrument lead = BellLeadVoice();
    const Instrument sparkle = PluckVoice(5000, 0.12f);
    for (const Event& e : ParseMelody(melody)) {
        song.Note(e.beat, e.beats, float(e.midi), 0.16f, 0.05f, 0.35f, lead, 0.3f);
        // The lift doubles the tune an octave up, plucked.
        if (e.beat >= 32) song.Note(e.beat, 0.2, float(e.midi + 12), 0.035f, 0.45f, 0.4f, sparkle, 0.3f);
    }

    const Instrument bass = BassVoice(700);
    const Instrument pad = PadVoice(2600);
    const Instrument pluck = PluckVoice();
    const Instrument stab = StabVoice();
    for (int bar = 0; bar < 16; ++bar) {
        const double b0 = bar * 4.0;
        const bool lift = bar >= 8;
        const int root = Root(chords[bar]);
        // Bouncing root and octave, with a fifth to turn the bar round.
        const int pattern[8] = {0, 12, 0, 12, 0, 12, 7, 12};
        for (int k = 0; k < 8; ++k)
            song.Note(b0 + k * 0.5, 0.3, float(root + pattern[k]), k % 2 ? 0.2f : 0.28f, 0.0f, 0.0f, bass, 0.08f);
        const std::vector<int> tones = Chord(chords[bar]);
        for (size_t k = 0; k < tones.size(); ++k)
            song.Note(b0, 3.8, float(tones[k] + 12), 0.025f, -0.5f + 0.5f * k, 0.6f, pad, 0.5f);
        for (int k = 0; k < 4; ++k)
            for (int tone : tones) song.Note(b0 + k + 0.5, 0.15, float(tone + 12), 0.03f, 0.3f, 0.25f, stab, 0.25f);
        // Arpeggio up and down the chord over two octaves.
        const int steps = lift ? 16 : 8;
        const int order[6] = {0, 1, 2, 3, 4, 5};
        for (int k = 0; k < steps; ++k) {
            const int idx = order[k % 6] < 3 ? order[k % 6] : 5 - order[k % 6];
            const int octave = (k % 6) < 3 ? 12 : 24;
            const double len = lift ? 0.25 : 0.5;
            song.Note(b0 + k * len, len * 0.8, float(tones[idx % tones.size()] + octave), lift ? 0.05f : 0.06f,
                      (k % 2) ? -0.55f : -0.25f, 0.35f, pluck, 0.2f);
        }
        // Drums: a light kick on every beat, clap-like snare on two and four.
        for (int k = 0; k < 4; ++k) KickAt(song, b0 + k, k % 2 ? 0.4f : 0.5f);
        const bool fill = bar == 7 || bar == 15;
        Snare(song, b0 + 1, 0.3f, -0.15f, 0.25f, false);
        if (fill) {
            for (int k = 0; k < 4; ++k) Snare(song, b0 + 3 + k * 0.25, 0.14f + 0.05f * k, -0.15f, 0.25f, false);
        } else {
            Snare(song, b0 + 3, 0.3f, -0.15f, 0.25f, false);
        }
        for (int k = 0; k < 16; ++k) {
            const bool open = k % 4 == 2;
            Hat(song, b0 + k * 0.25, open ? 0.09f : (k % 2 ? 0.025f : 0.04f), 0.4f, open ? 0.08f : 0.018f);
        }
        if (bar == 0 || bar == 8) Crash(song, b0, 0.15f);
    }
    return Finish(song, 0.4f, 0.7f);
}

// Canyon at dusk: E minor, slower and heavier. The tune and the bass both move
// in a 3+3+2 pulse, the kick pushes ahead of the beat, the harmony leans on the
// leading-tone B major and a dark F major, and a swell runs back into the top.
Sound DuskTheme() {
    Song song(136.0f, 16);
    const char* chords[16] = {"Em", "C", "Am", "B", "Em", "C", "D", "B", "C", "Am", "F", "B", "Em", "D", "C", "B7"};
    const std::string melody =
        // A: low and held back
        "E5:3 G5:3 B5:2  C6:3 B5:3 G5:2  A5:3 C6:3 E6:2  D#6:4 F#5:2 A5:2 "
        "E6:3 D6:1 B5:2 G5:2  G5:1 A5:1 C6:3 B5:1 G5:2  F#5:3 A5:3 D6:2  B5:3 C6:1 D#6:4 "
        // B: an octave up and tense, then down through the leading tone into the top
        "G6:3 E6:3 C6:2  A6:3 E6:3 C6:2  F6:3 C6:1 A5:2 F6:2  F#6:4 D#6:2 B5:2 "
        "G6:3 F#6:1 E6:2 B5:2  A6:3 F#6:1 D6:2 A5:2  G6:3 E6:1 C6:2 D6:1 E6:1  F#6:2 D#6:2 B5:2 A5:1 F#5:1";
    const Instrument lead = GrowlLeadVoice();
    const Instrument shadow = PadVoice(1200);
    for (const Event& e : ParseMelody(melody)) {
        song.Note(e.beat, e.beats, float(e.midi), 0.17f, -0.05f, 0.35f, lead, 0.3f);
        // In the second half a soft shadow an octave down thickens the tune.
        if (e.beat >= 32) song.Note(e.beat, e.beats, float(e.midi - 12), 0.03f, 0.4f, 0.4f, shadow, 0.3f);
    }

    const Instrument bass = DriveBassVoice();
    const Instrument pad = PadVoice(700);
    const Instrument pulse = PluckVoice(1800, 0.12f);
    for (int bar = 0; bar < 16; ++bar) {
        const double b0 = bar * 4.0;
        const int root = Root(chords[bar]);
        // Sixteenth slots of the syncopated bass line and the interval each plays.
        const int slots[7][2] = {{0, 0}, {3, 0}, {6, 12}, {8, 0}, {10, 0}, {11, 12}, {14, 7}};
        for (const auto& [slot, interval] : slots)
            song.Note(b0 + slot * 0.25, slot == 0 || slot == 8 ? 0.6 : 0.35, float(root + interval),
                      slot == 0 || slot == 8 ? 0.34f : 0.26f, 0.0f, 0.0f, bass, 0.06f);
        const std::vector<int> tones = Chord(chords[bar]);
        for (size_t k = 0; k < tones.size(); ++k)
            song.Note(b0, 3.9, float(tones[k]), 0.045f, -0.5f + 0.33f * k, 0.55f, pad, 0.6f);
        // A sixteenth ostinato on the chord, quiet at first, coming forward from bar 5.
        if (bar >= 4) {
            const int shape[8] = {0, 1, 2, 1, 0, 2, 1, 2};
            for (int k = 0; k < 16; ++k)
                song.Note(b0 + k * 0.25, 0.2, float(tones[shape[k % 8] % tones.size()] + 12),
                          (k % 4 == 0 ? 0.055f : 0.035f) * (bar >= 8 ? 1.2f : 1.0f), 0.5f, 0.3f, pulse, 0.25f);
        }
        // Drums: the kick pushes ahead of beats one and three; ghost snares before the backbeat.
        KickAt(song, b0, 0.8f);
        KickAt(song, b0 + 0.75, 0.55f);
        KickAt(song, b0 + 2.5, 0.7f);
        if (bar % 2) KickAt(song, b0 + 3.25, 0.45f);
        Snare(song, b0 + 1, 0.45f, 0.1f, 0.3f, false);
        Snare(song, b0 + 1.75, 0.09f, 0.1f, 0.1f, true);
        const bool fill = bar == 7 || bar == 15;
        if (fill) {
            const float toms[4] = {220, 165, 130, 98};
            for (int k = 0; k < 4; ++k) Tom(song, b0 + 3 + k * 0.25, toms[k], 0.45f, 0.4f - 0.25f * k);
        } else {
            Snare(song, b0 + 3, 0.45f, 0.1f, 0.3f, false);
            Snare(song, b0 + 3.75, 0.09f, 0.1f, 0.1f, true);
        }
        for (int k = 0; k < 16; ++k)
            Hat(song, b0 + k * 0.25, k % 4 == 2 ? 0.08f : (k % 2 ? 0.03f : 0.045f), -0.35f, k % 4 == 2 ? 0.04f : 0.015f);
        if (bar == 0 || bar == 8) Crash(song, b0, 0.18f);
    }
    Swell(song, 60, 4, 0.12f);
    return Finish(song, 0.45f, 0.8f);
}

Sound TitleTheme() {
    Song song(100.0f, 16);
    const char* chords[8] = {"Fmaj7", "G", "Em7", "Am7", "Dm7", "G", "Cmaj7", "Gsus"};
    const std::string melody =
        "r:2 A5:2 C6:2 E6:2  D6:3 C6:1 B5:2 G5:2  B5:4 G5:2 E5:2  A5:3 B5:1 C6:2 E6:2 "
        "F6:3 E6:1 D6:2 A5:2  B5:3 C6:1 D6:2 G5:2  E6:4 D6:2 C6:2  D6:6 r:2 "
        "r:2 C6:2 E6:2 A6:2  G6:3 F6:1 E6:2 D6:2  E6:4 B5:2 G5:2  C6:3 B5:1 A5:2 E5:2 "
        "F5:2 A5:2 D6:2 F6:2  E6:3 D6:1 B5:2 G5:2  C6:6 E6:1 D6:1  C6:4 B5:2 G5:2";
    const Instrument lead = SoftLeadVoice();
    for (const Event& e : ParseMelody(melody)) song.Note(e.beat, e.beats, float(e.midi), 0.2f, 0.1f, 0.45f, lead, 0.4f);
    const Instrument piano = PianoVoice();
    const Instrument bass = RoundBassVoice();
    const Instrument pad = PadVoice(800);
    for (int bar = 0; bar < 16; ++bar) {
        const double b0 = bar * 4.0;
        const std::string chord = chords[bar % 8];
        const std::vector<int> tones = Chord(chord);
        // Piano: chord on the one, broken chord answers on the off-beats.
        for (size_t k = 0; k < tones.size(); ++k) song.Note(b0, 1.4, float(tones[k]), 0.07f, -0.3f, 0.4f, piano, 1.0f);
        const double offs[3] = {1.5, 2.5, 3.5};
        for (int k = 0; k < 3; ++k)
            song.Note(b0 + offs[k], 0.45, float(tones[(k + 1) % tones.size()] + 12), 0.05f, 0.4f, 0.4f, piano, 0.6f);
        for (size_t k = 0; k < tones.size(); ++k)
            song.Note(b0, 3.9, float(tones[k] - 12), 0.025f, -0.5f + 0.33f * k, 0.5f, pad, 0.6f);
        const int root = Root(chord);
        song.Note(b0, 1.4, float(root), 0.35f, 0, 0.05f, bass, 0.2f);
        song.Note(b0 + 1.5, 0.4, float(root), 0.25f, 0, 0.05f, bass, 0.2f);
        song.Note(b0 + 2, 1.4, float(root + (bar % 2 ? 7 : 12)), 0.3f, 0, 0.05f, bass, 0.2f);
        KickAt(song, b0, 0.55f);
        KickAt(song, b0 + 2.5, 0.35f);
        Snare(song, b0 + 1, 0.25f, -0.1f, 0.3f, true);
        Snare(song, b0 + 3, 0.25f, -0.1f, 0.3f, true);
        for (int k = 0; k < 8; ++k) Hat(song, b0 + k * 0.5 + 0.0, k % 2 ? 0.06f : 0.035f, -0.4f, 0.03f);
    }
    return Finish(song, 0.5f, 0.75f);
}

bool GenerateMusic(const GenContext& ctx) {
    const fs::path dir = ctx.dataDir / "Sound";
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (ec) return false;
    Sound race = RaceTheme(), meadow = MeadowTheme(), dusk = DuskTheme(), title = TitleTheme();
    // The race music plays at full volume under three engines and the
    // effects, so it sits well below them; the title music is played at 0.2
    // on its own and takes all the room the file has.
    for (Sound* s : {&race, &meadow, &dusk}) Master(*s, 1.0f, kRaceMusicLoudness);
    Master(title, 1.0f, 1.0f);
    bool ok = true;
    for (auto& [name, sound] : {std::pair<const char*, Sound*>{"BGM.wav", &race}, {"RaceMeadow.wav", &meadow},
                                {"RaceDusk.wav", &dusk}, {"Title.WAV", &title}}) {
        if (!WriteWav((dir / name).string(), *sound)) {
            std::fprintf(stderr, "media: cannot write %s\n", name);
            ok = false;
        }
    }
    return ok;
}

VORLAN_REGISTER_GENERATOR("media-music", 22, GenerateMusic);

}  // namespace
}  // namespace media
