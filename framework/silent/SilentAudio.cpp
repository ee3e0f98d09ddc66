// The sound classes without a mixer. A sound whose file is there has a
// voice, and its plays are listed for the trace just as the silent engine
// of a headless game lists them, so a re-simulated race traces the same
// sounds.

#include "framework/audio/AxAudioManager.h"
#include "framework/audio/AxSoundEffect.h"
#include "framework/audio/AxSoundInstance.h"

#include <cmath>
#include <cstdio>

struct AxAudioManager::Engine {};

namespace {
float g_categoryVolume[2] = {1.0f, 1.0f};
}  // namespace

float AxCategoryVolume(AxSoundCategory category) { return g_categoryVolume[static_cast<int>(category) & 1]; }
void AxSetCategoryVolume(AxSoundCategory category, float volume) {
    g_categoryVolume[static_cast<int>(category) & 1] = volume;
}

AxAudioManager& AxAudioManager::GetInstance() {
    static AxAudioManager manager;
    return manager;
}
AxAudioManager::~AxAudioManager() = default;
void AxAudioManager::Update() { framePlays.clear(); }
void AxAudioManager::SetCategoryVolume(AxSoundCategory category, float volume) {
    AxSetCategoryVolume(category, volume);
}
float AxAudioManager::CategoryVolume(AxSoundCategory category) const { return AxCategoryVolume(category); }
void AxAudioManager::RecordPlay(const std::string& file, bool is3D, const Vector3& pos) {
    framePlays.push_back(AxSoundPlayRecord{file, is3D, pos});
}
void AxAudioManager::AddPlayList(const std::shared_ptr<AxSoundInstance>&) {}
uint32_t AxAudioManager::EngineGeneration() { return 0; }

AxSoundBuffer::~AxSoundBuffer() = default;

bool AxSoundEffect::Load(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    std::fclose(file);
    soundEffect = std::make_shared<AxSoundBuffer>();
    filePath = path;
    return true;
}
bool AxSoundEffect::IsLoaded() const { return soundEffect != nullptr; }
double AxSoundEffect::Duration() const { return 0.0; }
std::shared_ptr<AxSoundInstance> AxSoundEffect::CreateInstance(bool use3D) {
    auto instance = std::make_shared<AxSoundInstance>();
    instance->soundEffect = shared_from_this();
    instance->is3D = use3D;
    instance->instance = soundEffect ? 1u : 0u;  // a voice, though nothing mixes it
    return instance;
}

AxSoundInstance::AxSoundInstance() = default;
AxSoundInstance::~AxSoundInstance() = default;
bool AxSoundInstance::HasVoice() const { return instance != 0; }
void AxSoundInstance::Play(bool, bool) {
    if (!HasVoice()) return;
    AxAudioManager::GetInstance().RecordPlay(soundEffect->filePath, false, Vector3());
}
void AxSoundInstance::Play3D(const Vector3& pos, bool, bool) {
    if (!HasVoice()) return;
    volume = 1.0f;
    if (std::isfinite(pos.x) && std::isfinite(pos.y) && std::isfinite(pos.z)) emitter.Position = pos;
    AxAudioManager::GetInstance().RecordPlay(soundEffect->filePath, true, pos);
}
void AxSoundInstance::Stop() {}
void AxSoundInstance::Pause() {}
void AxSoundInstance::Resume() {}
void AxSoundInstance::SetVolume(float value) { volume = value; }
void AxSoundInstance::SetCategory(AxSoundCategory value) { category = value; }
float AxSoundInstance::MixerGain() const { return HasVoice() ? volume * AxCategoryVolume(category) : 0.0f; }
void AxSoundInstance::SetPitch(float value) { pitch = value; }
void AxSoundInstance::SetPosition(const Vector3& pos) { emitter.Position = pos; }
void AxSoundInstance::SetCurveDistanceScaler(float scale) { emitter.CurveDistanceScaler = scale; }
void AxSoundInstance::Apply3D() {}
AxSoundInstance::State AxSoundInstance::GetState() const { return State::Stopped; }
