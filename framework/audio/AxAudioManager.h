#pragma once
// The audio engine (OpenAL Soft), the single 3D listener and the play list
// that keeps fire-and-forget sounds alive until they end.
//
// Without a sound card, and always when the platform is headless, the engine
// runs silent on a loopback device: Update renders the elapsed time into a
// scratch buffer and throws it away, so sources still advance and end.

#include "framework/Math.h"
#include "framework/audio/AxSoundInstance.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

class AudioCapture;
class AxSoundInstance;

// The listener as the game writes it each frame, in the game's left-handed
// coordinates.
struct AxAudioListener {
    Vector3 OrientFront{0.0f, 0.0f, -1.0f};
    Vector3 OrientTop{0.0f, 1.0f, 0.0f};
    Vector3 Position{};
    Vector3 Velocity{};
};

// One Play or Play3D that reached a voice during the current frame.
struct AxSoundPlayRecord {
    std::string file;
    bool is3D = false;  // started with Play3D
    Vector3 pos{};      // Play3D's position
};

class AxAudioManager {
public:
    static AxAudioManager& GetInstance();
    ~AxAudioManager();
    AxAudioManager(const AxAudioManager&) = delete;
    AxAudioManager& operator=(const AxAudioManager&) = delete;

    // Opens the default device (or the silent engine when headless or when
    // no device opens). False only when not even the silent engine can be made.
    bool Init();
    // Once per frame: forgets the previous frame's play records, advances the
    // silent engine, drops every listed instance that is no longer playing.
    void Update();
    void Release();
    void AddPlayList(const std::shared_ptr<AxSoundInstance>& instance);

    // Holds every voice where it is, started ones and ones started later: the
    // device stops mixing (the silent engine stops advancing), so each sound
    // goes on from the same sample at ResumeAll. Sources keep their own
    // states meanwhile, so the play list keeps them.
    void PauseAll();
    void ResumeAll();
    bool IsPaused() const { return paused; }

    // The player's volume for a category of sounds (1 leaves them as the game
    // sets them, 0 silences them); reaches every voice at once, made or to be made.
    void SetCategoryVolume(AxSoundCategory category, float volume);
    float CategoryVolume(AxSoundCategory category) const;

    // The silent engine advances exactly 16 ms per Update instead of the
    // platform clock's elapsed time (reproducible runs). Set before Init.
    void SetFixedStep(bool fixed) { fixedStep = fixed; }

    bool HasEngine() const { return audioEngine != nullptr; }
    // True when running on the loopback device (no audible output).
    bool IsSilent() const;
    int SampleRate() const;
    // The effect slot positional voices send to; 0 without reverb.
    unsigned int ReverbSlot() const;
    // Mixes frames stereo frames of the silent engine into out (interleaved
    // left, right; out must hold 2 * frames floats); silence while paused.
    // False with a real device or without an engine.
    bool RenderSamples(float* out, int frames);

    // Every block the silent engine mixes from now on also goes to capture
    // (silence for the frames it holds back while paused); null stops it.
    // Takes the engine's rate; call after Init.
    void SetCapture(AudioCapture* capture);

    const std::map<const AxSoundInstance*, std::shared_ptr<AxSoundInstance>>& GetPlayList() const { return playList; }

    // Every Play/Play3D of the frame in call order, for the trace. Cleared at
    // the start of Update, or by ClearFramePlays.
    const std::vector<AxSoundPlayRecord>& GetFramePlays() const { return framePlays; }
    void ClearFramePlays() { framePlays.clear(); }
    void RecordPlay(const std::string& file, bool is3D, const Vector3& pos);

    // Hands the listener to the mixer; Apply3D and Update call it.
    void ApplyListener();
    // Identifies the engine an object's voices and buffers belong to; 0 when
    // there is none. Survives the manager's own destruction at exit.
    static uint32_t EngineGeneration();

    // Written by the game every frame (position, front, top).
    AxAudioListener listener;

private:
    AxAudioManager() = default;
    struct Engine;
    void AdvanceSilentEngine();

    std::unique_ptr<Engine> audioEngine;
    std::map<const AxSoundInstance*, std::shared_ptr<AxSoundInstance>> playList;
    std::vector<AxSoundPlayRecord> framePlays;
    bool fixedStep = false;
    bool paused = false;
    AudioCapture* capture = nullptr;
};
