#include "framework/audio/AxSoundInstance.h"

#include "framework/audio/AxAudioManager.h"
#include "framework/audio/AxSoundEffect.h"

#include <AL/al.h>

#include <cfloat>
#include <cmath>

namespace {
bool Finite(const Vector3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

// Plain values, usable at any point of program exit.
float g_categoryVolume[2] = {1.0f, 1.0f};
AxSoundInstance* g_liveInstances = nullptr;
}  // namespace

float AxCategoryVolume(AxSoundCategory category) { return g_categoryVolume[static_cast<int>(category) & 1]; }

void AxSetCategoryVolume(AxSoundCategory category, float value) {
    g_categoryVolume[static_cast<int>(category) & 1] = std::isfinite(value) && value > 0.0f ? value : 0.0f;
}

AxSoundInstance::AxSoundInstance() {
    nextLive = g_liveInstances;
    if (nextLive) nextLive->prevLive = this;
    g_liveInstances = this;
}

void AxSoundInstance::ApplyCategoryVolumes() {
    for (AxSoundInstance* i = g_liveInstances; i; i = i->nextLive) i->ApplyGain();
}

void AxSoundInstance::ApplyGain() {
    if (HasVoice()) alSourcef(instance, AL_GAIN, volume * AxCategoryVolume(category));
}

void AxSoundInstance::SetCategory(AxSoundCategory value) {
    category = value;
    ApplyGain();
}

float AxSoundInstance::MixerGain() const {
    if (!HasVoice()) return 0.0f;
    ALfloat gain = 0.0f;
    alGetSourcef(instance, AL_GAIN, &gain);
    return gain;
}

AxSoundInstance::~AxSoundInstance() {
    if (prevLive) prevLive->nextLive = nextLive;
    else if (g_liveInstances == this) g_liveInstances = nextLive;
    if (nextLive) nextLive->prevLive = prevLive;
    if (HasVoice()) {
        alSourceStop(instance);
        alDeleteSources(1, &instance);
    }
    instance = 0;
    // The data goes only after the voice that reads it.
    buffer.reset();
    soundEffect.reset();
}

bool AxSoundInstance::HasVoice() const {
    return instance != 0 && generation != 0 && generation == AxAudioManager::EngineGeneration();
}

void AxSoundInstance::Play(bool loop, bool addToPlayList) {
    if (!HasVoice()) return;
    alSourceStop(instance);
    alSourcei(instance, AL_LOOPING, loop ? AL_TRUE : AL_FALSE);
    alSourcePlay(instance);
    AxAudioManager& manager = AxAudioManager::GetInstance();
    manager.RecordPlay(soundEffect ? soundEffect->filePath : std::string(), false, Vector3());
    if (addToPlayList) manager.AddPlayList(shared_from_this());
}

void AxSoundInstance::Play3D(const Vector3& pos, bool loop, bool addToPlayList) {
    if (!HasVoice()) return;
    alSourceStop(instance);
    SetVolume(1.0f);
    alSourcei(instance, AL_LOOPING, loop ? AL_TRUE : AL_FALSE);
    // Placed before it starts, so no sample is mixed at the old position.
    if (Finite(pos)) emitter.Position = pos;
    Apply3D();
    alSourcePlay(instance);
    AxAudioManager& manager = AxAudioManager::GetInstance();
    manager.RecordPlay(soundEffect ? soundEffect->filePath : std::string(), true, pos);
    if (addToPlayList) manager.AddPlayList(shared_from_this());
}

void AxSoundInstance::Stop() {
    if (HasVoice()) alSourceStop(instance);
}

void AxSoundInstance::Pause() {
    if (HasVoice() && GetState() == State::Playing) alSourcePause(instance);
}

void AxSoundInstance::Resume() {
    if (HasVoice() && GetState() == State::Paused) alSourcePlay(instance);
}

void AxSoundInstance::SetVolume(float value) {
    if (!HasVoice()) return;
    volume = std::isfinite(value) && value > 0.0f ? value : 0.0f;
    ApplyGain();
}

void AxSoundInstance::SetPitch(float value) {
    if (!HasVoice()) return;
    pitch = std::isfinite(value) ? std::fmax(-1.0f, std::fmin(1.0f, value)) : 0.0f;
    alSourcef(instance, AL_PITCH, std::exp2(pitch));
}

void AxSoundInstance::SetPosition(const Vector3& pos) {
    if (!HasVoice()) return;
    if (Finite(pos)) emitter.Position = pos;
    Apply3D();
}

void AxSoundInstance::SetCurveDistanceScaler(float scale) {
    if (!HasVoice()) return;
    // Zero would silence the sound at any distance.
    emitter.CurveDistanceScaler = std::isfinite(scale) && scale > FLT_MIN ? scale : FLT_MIN;
    Apply3D();
}

void AxSoundInstance::Apply3D() {
    if (!HasVoice()) return;
    AxAudioManager::GetInstance().ApplyListener();
    ApplyEmitter();
}

void AxSoundInstance::ApplyEmitter() {
    if (!is3D) return;
    // Left-handed game coordinates to the mixer's right-handed ones.
    alSource3f(instance, AL_POSITION, emitter.Position.x, emitter.Position.y, -emitter.Position.z);
    alSourcef(instance, AL_REFERENCE_DISTANCE, emitter.CurveDistanceScaler);
}

AxSoundInstance::State AxSoundInstance::GetState() const {
    if (!HasVoice()) return State::Stopped;
    ALint state = AL_STOPPED;
    alGetSourcei(instance, AL_SOURCE_STATE, &state);
    if (state == AL_PLAYING) return State::Playing;
    if (state == AL_PAUSED) return State::Paused;
    return State::Stopped;
}
