#pragma once
// One loaded sound file, shared by the instances that play it.

#include "framework/audio/AxSoundInstance.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// Decoded wave data in the mixer. Instances share it with their sound, so a
// sound reloaded while its old instances still play keeps the old data alive
// until the last of them is gone.
struct AxSoundBuffer {
    ~AxSoundBuffer();
    unsigned int id = 0;      // mixer buffer name
    uint32_t generation = 0;  // engine it was made in
    int channels = 0;
    int rate = 0;
    size_t frames = 0;
};

class AxSoundEffect : public std::enable_shared_from_this<AxSoundEffect> {
public:
    // Reads a WAV file. False (keeping what was loaded before) without an
    // engine or for a missing, truncated or malformed file.
    bool Load(const std::string& path);

    // A new instance of this sound, never an empty pointer: without an engine,
    // without loaded data, when the mixer has no voice left or when this sound
    // is not owned by a shared pointer, the instance has no voice and every
    // operation on it does nothing.
    std::shared_ptr<AxSoundInstance> CreateInstance(bool use3D);

    bool IsLoaded() const;
    int Channels() const { return soundEffect ? soundEffect->channels : 0; }
    int SampleRate() const { return soundEffect ? soundEffect->rate : 0; }
    double Duration() const;

    // The path of the last successful Load.
    std::string filePath;

private:
    std::shared_ptr<AxSoundBuffer> soundEffect;
    // Positional voices need mono data; for a multi-channel file it is made
    // on first need.
    std::shared_ptr<AxSoundBuffer> monoBuffer;
};
