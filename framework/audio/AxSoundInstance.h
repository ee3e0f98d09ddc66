#pragma once
// One playable voice of a sound, with its own 3D emitter.

#include "framework/Math.h"

#include <cstdint>
#include <memory>

class AxSoundEffect;
struct AxSoundBuffer;

// Which of the player's volume controls scales a voice.
enum class AxSoundCategory { Effects, Music };

// Where a positional voice sits, in the game's left-handed coordinates.
// CurveDistanceScaler is the distance up to which the sound is at full
// level; beyond it the level falls as scaler / distance.
struct AxAudioEmitter {
    Vector3 OrientFront{0.0f, 0.0f, -1.0f};
    Vector3 OrientTop{0.0f, 1.0f, 0.0f};
    Vector3 Position{};
    Vector3 Velocity{};
    float InnerRadius = 0.0f;
    float InnerRadiusAngle = kPi / 4.0f;
    int ChannelCount = 1;
    float ChannelRadius = 1.0f;
    float CurveDistanceScaler = 1.0f;
    float DopplerScaler = 1.0f;
};

// Every operation does nothing on an instance without a voice (its sound
// failed to load, or the engine is gone).
class AxSoundInstance : public std::enable_shared_from_this<AxSoundInstance> {
public:
    enum class State { Stopped, Playing, Paused };

    AxSoundInstance();
    ~AxSoundInstance();
    AxSoundInstance(const AxSoundInstance&) = delete;
    AxSoundInstance& operator=(const AxSoundInstance&) = delete;

    // Restarts from the beginning. With addToPlayList the audio manager keeps
    // the instance alive until it stops, so the caller may drop its pointer.
    void Play(bool loop = false, bool addToPlayList = true);
    // As Play, at pos and always at volume 1.0.
    void Play3D(const Vector3& pos, bool loop = false, bool addToPlayList = true);
    void Stop();
    void Pause();
    void Resume();
    // Linear amplitude factor; above 1 amplifies, below 0 counts as 0. The
    // mixer hears it times the category's volume.
    void SetVolume(float volume);
    // Effects unless told otherwise; takes effect at once.
    void SetCategory(AxSoundCategory category);
    AxSoundCategory GetCategory() const { return category; }
    // The gain the mixer applies now (volume times the category's), 0
    // without a voice.
    float MixerGain() const;
    // Octaves from -1 to 1: the playback rate becomes 2^pitch.
    void SetPitch(float pitch);
    void SetPosition(const Vector3& pos);
    void SetCurveDistanceScaler(float scale);
    // Hands the listener and this instance's emitter to the mixer. A plain
    // (non-positional) instance stays centred and unattenuated.
    void Apply3D();

    State GetState() const;
    bool HasVoice() const;
    float GetVolume() const { return volume; }
    float GetPitch() const { return pitch; }

    std::shared_ptr<AxSoundEffect> soundEffect;
    AxAudioEmitter emitter;
    bool is3D = false;

private:
    friend class AxSoundEffect;
    void ApplyEmitter();

    unsigned int instance = 0;  // mixer source name, 0 when there is no voice
    uint32_t generation = 0;
    std::shared_ptr<AxSoundBuffer> buffer;
    float volume = 1.0f;
    float pitch = 0.0f;
    AxSoundCategory category = AxSoundCategory::Effects;

    // Every live instance, so a category's volume reaches voices already
    // made; plain pointers, as instances may outlive the audio manager.
    friend class AxAudioManager;
    static void ApplyCategoryVolumes();
    void ApplyGain();
    AxSoundInstance* prevLive = nullptr;
    AxSoundInstance* nextLive = nullptr;
};

// The factor a category's voices are scaled by, 1 unless set. The audio
// manager sets it and brings the live voices along.
float AxCategoryVolume(AxSoundCategory category);
void AxSetCategoryVolume(AxSoundCategory category, float volume);
