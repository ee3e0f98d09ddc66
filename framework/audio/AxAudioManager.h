#pragma once
// Stand-in until the audio engine lands: silent, always initialises.

class AxAudioManager {
public:
    static AxAudioManager& GetInstance();
    bool Init() { return true; }
    void Update() {}
    void Release() {}

private:
    AxAudioManager() = default;
};
