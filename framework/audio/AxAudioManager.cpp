#include "framework/audio/AxAudioManager.h"

#include "framework/audio/AudioCapture.h"
#include "framework/audio/AxSoundInstance.h"
#include "framework/platform/Platform.h"

#define AL_ALEXT_PROTOTYPES
#include <AL/al.h>
#include <AL/alc.h>
#include <AL/alext.h>
#include <AL/efx.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {
// Exactly 48 frames per millisecond, so a 16 ms frame is a whole 768 frames.
constexpr int kSilentRate = 48000;
constexpr uint32_t kFixedStepMs = 16;
// A stalled frame does not make the silent engine race ahead of the game.
constexpr uint32_t kMaxStepMs = 250;
constexpr int kScratchFrames = 1024;

// Plain globals, so instances destroyed during program exit can still ask
// whether their engine exists after the manager itself is gone.
uint32_t g_currentGeneration = 0;
uint32_t g_lastGeneration = 0;

bool Finite(const Vector3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }
}  // namespace

struct AxAudioManager::Engine {
    ALCdevice* device = nullptr;
    ALCcontext* context = nullptr;
    bool loopback = false;
    int rate = 0;
    uint32_t lastMs = 0;
    std::vector<float> scratch;
    ALuint reverbSlot = 0;
    ALuint reverbEffect = 0;

    ~Engine() {
        if (context) {
            if (alcGetCurrentContext() == context) {
                if (reverbSlot) alDeleteAuxiliaryEffectSlots(1, &reverbSlot);
                if (reverbEffect) alDeleteEffects(1, &reverbEffect);
                alcMakeContextCurrent(nullptr);
            }
            alcDestroyContext(context);
        }
        if (device) alcCloseDevice(device);
    }

    bool OpenDefault() {
        device = alcOpenDevice(nullptr);
        if (!device) return false;
        // OpenAL Soft's "No Output" device mixes in real time on its own
        // thread; the loopback engine does the same silently, but in step
        // with the game.
        const ALCchar* name = alcGetString(device, ALC_DEVICE_SPECIFIER);
        if (name && std::strcmp(name, "No Output") == 0) return Close();
        context = alcCreateContext(device, nullptr);
        if (!context) return Close();
        rate = 0;
        alcGetIntegerv(device, ALC_FREQUENCY, 1, &rate);
        return true;
    }

    bool OpenLoopback() {
        if (!alcIsExtensionPresent(nullptr, "ALC_SOFT_loopback")) return false;
        device = alcLoopbackOpenDeviceSOFT(nullptr);
        if (!device) return false;
        if (!alcIsRenderFormatSupportedSOFT(device, kSilentRate, ALC_STEREO_SOFT, ALC_FLOAT_SOFT)) return Close();
        // Plain stereo panning and no limiter, so what is rendered is the
        // linear mix.
        const ALCint attributes[] = {ALC_FORMAT_CHANNELS_SOFT, ALC_STEREO_SOFT, ALC_FORMAT_TYPE_SOFT, ALC_FLOAT_SOFT,
                                     ALC_FREQUENCY, kSilentRate, ALC_HRTF_SOFT, ALC_FALSE,
                                     ALC_OUTPUT_LIMITER_SOFT, ALC_FALSE, 0};
        context = alcCreateContext(device, attributes);
        if (!context) return Close();
        loopback = true;
        rate = kSilentRate;
        scratch.resize(static_cast<size_t>(kScratchFrames) * 2);
        return true;
    }

    // The engine's default reverb: the I3DL2 default room, whose reflections
    // and tail sit 100 dB down, so positional sounds carry it without it
    // being heard. Made only when the device offers effects.
    void MakeReverb() {
        if (!alcIsExtensionPresent(device, "ALC_EXT_EFX")) return;
        alGetError();
        alGenEffects(1, &reverbEffect);
        if (alGetError() != AL_NO_ERROR) {
            reverbEffect = 0;
            return;
        }
        alEffecti(reverbEffect, AL_EFFECT_TYPE, AL_EFFECT_REVERB);
        const float silentRoom = 1e-5f;  // -10000 mB
        alEffectf(reverbEffect, AL_REVERB_DENSITY, 1.0f);
        alEffectf(reverbEffect, AL_REVERB_DIFFUSION, 1.0f);
        alEffectf(reverbEffect, AL_REVERB_GAIN, silentRoom);
        alEffectf(reverbEffect, AL_REVERB_GAINHF, 1.0f);
        alEffectf(reverbEffect, AL_REVERB_DECAY_TIME, 1.0f);
        alEffectf(reverbEffect, AL_REVERB_DECAY_HFRATIO, 0.5f);
        alEffectf(reverbEffect, AL_REVERB_REFLECTIONS_GAIN, silentRoom);
        alEffectf(reverbEffect, AL_REVERB_REFLECTIONS_DELAY, 0.020f);
        alEffectf(reverbEffect, AL_REVERB_LATE_REVERB_GAIN, silentRoom);
        alEffectf(reverbEffect, AL_REVERB_LATE_REVERB_DELAY, 0.040f);
        alEffectf(reverbEffect, AL_REVERB_ROOM_ROLLOFF_FACTOR, 0.0f);
        alGenAuxiliaryEffectSlots(1, &reverbSlot);
        if (alGetError() != AL_NO_ERROR) {
            reverbSlot = 0;
            alDeleteEffects(1, &reverbEffect);
            reverbEffect = 0;
            return;
        }
        alAuxiliaryEffectSloti(reverbSlot, AL_EFFECTSLOT_EFFECT, static_cast<ALint>(reverbEffect));
        alGetError();
    }

    bool Close() {
        if (device) alcCloseDevice(device);
        device = nullptr;
        return false;
    }
};

AxAudioManager& AxAudioManager::GetInstance() {
    static AxAudioManager instance;
    return instance;
}

AxAudioManager::~AxAudioManager() { Release(); }

uint32_t AxAudioManager::EngineGeneration() { return g_currentGeneration; }

void AxAudioManager::SetCategoryVolume(AxSoundCategory category, float volume) {
    AxSetCategoryVolume(category, volume);
    AxSoundInstance::ApplyCategoryVolumes();
}

float AxAudioManager::CategoryVolume(AxSoundCategory category) const { return AxCategoryVolume(category); }

bool AxAudioManager::Init() {
    Release();
    // Headless runs mix silently and need no sound server: without probing
    // one, a run touches nothing of the machine's sound set-up (PulseAudio's
    // client, for one, makes a randomly named folder and draws from rand()
    // before the game seeds it). A driver list the user set still holds.
    if (IsHeadless()) setenv("ALSOFT_DRIVERS", "null", 0);
    auto engine = std::make_unique<Engine>();
    if (IsHeadless() || !engine->OpenDefault()) {
        engine = std::make_unique<Engine>();
        if (!engine->OpenLoopback()) return false;
    }
    if (!alcMakeContextCurrent(engine->context)) return false;
    alDistanceModel(AL_INVERSE_DISTANCE_CLAMPED);
    alDopplerFactor(0.0f);
    engine->MakeReverb();
    engine->lastMs = Platform().Milliseconds();
    audioEngine = std::move(engine);
    g_currentGeneration = ++g_lastGeneration;

    listener.OrientFront = Vector3(0.0f, 0.0f, 1.0f);
    ApplyListener();
    return true;
}

void AxAudioManager::Update() {
    framePlays.clear();
    if (!audioEngine) return;
    AdvanceSilentEngine();
    ApplyListener();
    for (auto it = playList.begin(); it != playList.end();) {
        const AxSoundInstance* instance = it->second.get();
        if (instance && instance->GetState() == AxSoundInstance::State::Playing) {
            ++it;
            continue;
        }
        // Keep the reference until the entry is gone: the instance's
        // destructor may run here.
        std::shared_ptr<AxSoundInstance> dropped = std::move(it->second);
        it = playList.erase(it);
    }
}

void AxAudioManager::Release() {
    // Instances listed here go first, while their voices can still be freed.
    playList.clear();
    framePlays.clear();
    g_currentGeneration = 0;
    audioEngine.reset();
    paused = false;
    capture = nullptr;
}

void AxAudioManager::PauseAll() {
    if (!audioEngine || paused) return;
    paused = true;
    // The loopback engine only mixes when asked; holding back is its pause.
    if (!audioEngine->loopback && alcIsExtensionPresent(audioEngine->device, "ALC_SOFT_pause_device"))
        alcDevicePauseSOFT(audioEngine->device);
}

void AxAudioManager::ResumeAll() {
    if (!audioEngine || !paused) return;
    paused = false;
    if (!audioEngine->loopback && alcIsExtensionPresent(audioEngine->device, "ALC_SOFT_pause_device"))
        alcDeviceResumeSOFT(audioEngine->device);
}

void AxAudioManager::AddPlayList(const std::shared_ptr<AxSoundInstance>& instance) {
    if (!instance) return;
    playList[instance.get()] = instance;
}

bool AxAudioManager::IsSilent() const { return audioEngine && audioEngine->loopback; }

unsigned int AxAudioManager::ReverbSlot() const { return audioEngine ? audioEngine->reverbSlot : 0; }

int AxAudioManager::SampleRate() const { return audioEngine ? audioEngine->rate : 0; }

bool AxAudioManager::RenderSamples(float* out, int frames) {
    if (!audioEngine || !audioEngine->loopback || !out || frames < 0) return false;
    if (paused) std::fill(out, out + static_cast<size_t>(frames) * 2, 0.0f);
    else if (frames > 0) alcRenderSamplesSOFT(audioEngine->device, out, frames);
    return true;
}

void AxAudioManager::SetCapture(AudioCapture* newCapture) {
    capture = newCapture;
    if (capture && audioEngine) capture->SetRate(audioEngine->rate);
}

void AxAudioManager::RecordPlay(const std::string& file, bool is3D, const Vector3& pos) {
    framePlays.push_back(AxSoundPlayRecord{file, is3D, pos});
}

void AxAudioManager::AdvanceSilentEngine() {
    Engine& engine = *audioEngine;
    uint32_t stepMs = kFixedStepMs;
    if (!fixedStep) {
        // Read with a sound card too, and while paused: the game then reads
        // the clock as often whatever the device, which replays rely on.
        const uint32_t now = Platform().Milliseconds();
        stepMs = now - engine.lastMs;  // unsigned: survives the clock wrapping
        engine.lastMs = now;
        if (stepMs > kMaxStepMs) stepMs = kMaxStepMs;
    }
    if (!engine.loopback) return;
    int frames = static_cast<int>(stepMs) * (kSilentRate / 1000);
    if (paused) {
        if (capture) capture->WriteSilence(frames);
        return;
    }
    while (frames > 0) {
        const int chunk = frames < kScratchFrames ? frames : kScratchFrames;
        alcRenderSamplesSOFT(engine.device, engine.scratch.data(), chunk);
        if (capture) capture->Write(engine.scratch.data(), chunk);
        frames -= chunk;
    }
}

void AxAudioManager::ApplyListener() {
    if (!audioEngine) return;
    // The game's coordinates are left-handed, the mixer's right-handed:
    // mirroring Z maps one onto the other.
    if (Finite(listener.Position))
        alListener3f(AL_POSITION, listener.Position.x, listener.Position.y, -listener.Position.z);
    const Vector3& front = listener.OrientFront;
    const Vector3& top = listener.OrientTop;
    // A degenerate orientation would turn the panning into not-a-number;
    // the last good one stays instead.
    if (Finite(front) && Finite(top) && front.Cross(top).LengthSquared() > 1e-12f) {
        const ALfloat orientation[6] = {front.x, front.y, -front.z, top.x, top.y, -top.z};
        alListenerfv(AL_ORIENTATION, orientation);
    }
}
