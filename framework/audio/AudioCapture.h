#pragma once
// Writes what the silent engine mixes into a WAV file (16-bit PCM, stereo),
// so a headless run's sound can be listened to and checked afterwards.
// The mixer hands it every block it renders, and silence for the time it
// holds back while paused, so the file keeps step with the frames.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

class AudioCapture {
public:
    AudioCapture() = default;
    ~AudioCapture();
    AudioCapture(const AudioCapture&) = delete;
    AudioCapture& operator=(const AudioCapture&) = delete;

    // Creates the file (with a header to be completed by Finish); false when
    // it cannot be written.
    bool Open(const std::string& path);
    bool IsOpen() const { return file != nullptr; }
    // The mixer's rate; set when the capture is handed to the engine.
    void SetRate(int rate) { sampleRate = rate; }
    int Rate() const { return sampleRate; }

    // frames stereo frames, interleaved left/right, full scale at +-1.0.
    void Write(const float* interleaved, int frames);
    void WriteSilence(int frames);

    // Completes the header and closes the file; false if any write failed.
    bool Finish();

    uint64_t FramesWritten() const { return framesWritten; }

private:
    bool Reserve(int frames);
    void Put(const int16_t* samples, int frames);

    std::FILE* file = nullptr;
    int sampleRate = 48000;
    uint64_t framesWritten = 0;
    bool failed = false;
    std::vector<int16_t> block;
};
