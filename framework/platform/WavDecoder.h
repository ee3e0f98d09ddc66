#pragma once
// WAV files through SDL's loader: every encoding it reads (PCM 8/16/24/32-bit,
// float, MS and IMA ADPCM, A-law, mu-law) comes out as interleaved signed
// 16-bit frames at the file's own rate.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct DecodedWav {
    std::vector<int16_t> samples;  // interleaved, frames * channels values
    int channels = 0;              // 1 or 2
    int rate = 0;                  // frames per second
    size_t Frames() const { return channels > 0 ? samples.size() / static_cast<size_t>(channels) : 0; }
};

// maxChannels (1 or 2) caps the output layout: a stereo or surround file is
// mixed down to it. False, with out left empty, for an unreadable, truncated,
// malformed or empty file.
bool DecodeWavFile(const std::string& path, int maxChannels, DecodedWav& out);
bool DecodeWavMemory(const void* data, size_t size, int maxChannels, DecodedWav& out);
