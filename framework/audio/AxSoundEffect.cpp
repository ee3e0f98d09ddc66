#include "framework/audio/AxSoundEffect.h"

#include "framework/audio/AxAudioManager.h"
#include "framework/audio/AxSoundInstance.h"
#include "framework/platform/WavDecoder.h"

#include <AL/al.h>
#define AL_ALEXT_PROTOTYPES
#include <AL/efx.h>

#include <limits>

namespace {
std::shared_ptr<AxSoundBuffer> MakeBuffer(const DecodedWav& wav) {
    const size_t bytes = wav.samples.size() * sizeof(int16_t);
    if (bytes > static_cast<size_t>(std::numeric_limits<ALsizei>::max())) return nullptr;
    alGetError();
    ALuint id = 0;
    alGenBuffers(1, &id);
    if (alGetError() != AL_NO_ERROR) return nullptr;
    auto buffer = std::make_shared<AxSoundBuffer>();
    buffer->id = id;
    buffer->generation = AxAudioManager::EngineGeneration();
    buffer->channels = wav.channels;
    buffer->rate = wav.rate;
    buffer->frames = wav.Frames();
    alBufferData(id, wav.channels == 1 ? AL_FORMAT_MONO16 : AL_FORMAT_STEREO16, wav.samples.data(),
                 static_cast<ALsizei>(bytes), wav.rate);
    if (alGetError() != AL_NO_ERROR) return nullptr;  // the buffer frees its name
    return buffer;
}

bool Usable(const std::shared_ptr<AxSoundBuffer>& buffer) {
    return buffer && buffer->id != 0 && buffer->generation == AxAudioManager::EngineGeneration();
}
}  // namespace

AxSoundBuffer::~AxSoundBuffer() {
    if (id != 0 && generation == AxAudioManager::EngineGeneration()) alDeleteBuffers(1, &id);
}

bool AxSoundEffect::Load(const std::string& path) {
    if (!AxAudioManager::GetInstance().HasEngine()) return false;
    // Paths are passed to the file system as bytes; the game's are ASCII.
    DecodedWav wav;
    if (!DecodeWavFile(path, 2, wav)) return false;
    std::shared_ptr<AxSoundBuffer> buffer = MakeBuffer(wav);
    if (!buffer) return false;
    soundEffect = std::move(buffer);
    monoBuffer = soundEffect->channels == 1 ? soundEffect : nullptr;
    filePath = path;
    return true;
}

bool AxSoundEffect::IsLoaded() const { return Usable(soundEffect); }

double AxSoundEffect::Duration() const {
    return soundEffect && soundEffect->rate > 0 ? static_cast<double>(soundEffect->frames) / soundEffect->rate : 0.0;
}

std::shared_ptr<AxSoundInstance> AxSoundEffect::CreateInstance(bool use3D) {
    auto instance = std::make_shared<AxSoundInstance>();
    instance->is3D = use3D;
    std::shared_ptr<AxSoundEffect> self = weak_from_this().lock();
    if (!self || !AxAudioManager::GetInstance().HasEngine() || !Usable(soundEffect)) return instance;

    std::shared_ptr<AxSoundBuffer> data = soundEffect;
    if (use3D) {
        // The mixer places only mono voices; a multi-channel file is read
        // again as a mixdown the first time it is wanted positional.
        if (!Usable(monoBuffer)) {
            DecodedWav wav;
            monoBuffer = DecodeWavFile(filePath, 1, wav) ? MakeBuffer(wav) : nullptr;
        }
        if (Usable(monoBuffer)) data = monoBuffer;
    }

    alGetError();
    ALuint source = 0;
    alGenSources(1, &source);
    if (alGetError() != AL_NO_ERROR) return instance;  // out of voices: a silent instance
    alSourcei(source, AL_BUFFER, static_cast<ALint>(data->id));
    // The game's volumes go well above 1.
    alSourcef(source, AL_MAX_GAIN, 1000.0f);
    if (use3D) {
        alSourcei(source, AL_SOURCE_RELATIVE, AL_FALSE);
        alSourcef(source, AL_ROLLOFF_FACTOR, 1.0f);
        alSourcef(source, AL_MAX_DISTANCE, std::numeric_limits<float>::max());
        if (const ALuint slot = AxAudioManager::GetInstance().ReverbSlot())
            alSource3i(source, AL_AUXILIARY_SEND_FILTER, static_cast<ALint>(slot), 0, AL_FILTER_NULL);
    } else {
        // Riding on the listener: centred and never attenuated.
        alSourcei(source, AL_SOURCE_RELATIVE, AL_TRUE);
        alSource3f(source, AL_POSITION, 0.0f, 0.0f, 0.0f);
        alSourcef(source, AL_ROLLOFF_FACTOR, 0.0f);
    }
    instance->instance = source;
    instance->generation = AxAudioManager::EngineGeneration();
    instance->buffer = std::move(data);
    instance->soundEffect = std::move(self);
    instance->ApplyEmitter();
    return instance;
}
