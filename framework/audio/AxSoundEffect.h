#pragma once
// Stand-in until the audio engine lands: sounds never load, instances are missing.
#include <memory>
#include <string>

class AxSoundInstance {
public:
    void SetVolume(float /*volume*/) {}
    void Play(bool /*loop*/ = false) {}
};

class AxSoundEffect : public std::enable_shared_from_this<AxSoundEffect> {
public:
    bool Load(const std::string& /*path*/) { return false; }
    std::shared_ptr<AxSoundInstance> CreateInstance(bool /*is3D*/) { return nullptr; }
};
