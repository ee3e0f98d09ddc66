#include "framework/platform/WavDecoder.h"

#include <SDL2/SDL.h>

#include <cstdio>
#include <cstring>
#include <limits>

namespace {
// Far beyond any sound of the game (about 45 minutes of 48 kHz stereo); a
// header claiming more is not worth the memory.
constexpr Uint32 kMaxDataBytes = 512u * 1024u * 1024u;

// SDL allocates the length a chunk header claims before it reads the chunk,
// so a few bytes claiming gigabytes cost gigabytes. A chunk (up to the sound
// data) that claims more than the bytes left is a truncated file, which the
// strict setting below rejects anyway: refuse it before SDL allocates.
bool ChunksFit(const uint8_t* bytes, size_t size) {
    size_t offset;
    if (size >= 12 && std::memcmp(bytes, "RIFF", 4) == 0 && std::memcmp(bytes + 8, "WAVE", 4) == 0)
        offset = 12;
    else if (size >= 4 && std::memcmp(bytes, "WAVE", 4) == 0)
        offset = 4;  // SDL also reads the chunks of a file that lacks the RIFF header
    else
        return true;  // not a WAVE file: SDL rejects it without allocating

    while (size - offset >= 8) {
        const uint8_t* h = bytes + offset;
        const size_t length = static_cast<size_t>(h[4]) | static_cast<size_t>(h[5]) << 8 |
                              static_cast<size_t>(h[6]) << 16 | static_cast<size_t>(h[7]) << 24;
        if (length > size - offset - 8) return false;
        if (std::memcmp(h, "data", 4) == 0) return true;
        offset += 8 + length + (length & 1);  // chunks are padded to even sizes
        if (offset >= size) break;
    }
    return true;
}

bool Decode(SDL_RWops* rw, int maxChannels, DecodedWav& out) {
    out = DecodedWav{};
    if (!rw) return false;
    // A cut-off file is an error, not a shorter sound.
    SDL_SetHint(SDL_HINT_WAVE_TRUNCATION, "strict");

    SDL_AudioSpec spec{};
    Uint8* data = nullptr;
    Uint32 length = 0;
    if (!SDL_LoadWAV_RW(rw, 1, &spec, &data, &length)) return false;

    bool ok = false;
    const int outChannels = spec.channels < maxChannels ? spec.channels : maxChannels;
    const int frameBytes = SDL_AUDIO_BITSIZE(spec.format) / 8 * spec.channels;
    if (spec.channels > 0 && outChannels > 0 && spec.freq > 0 && frameBytes > 0 && length >= static_cast<Uint32>(frameBytes) &&
        length <= kMaxDataBytes) {
        const Uint32 usable = length - length % static_cast<Uint32>(frameBytes);
        if (spec.format == AUDIO_S16SYS && spec.channels == outChannels) {
            // Already what the mixer takes (the game's own files are): one copy,
            // not the converter's several, which made the music slow to load.
            const int16_t* first = reinterpret_cast<const int16_t*>(data);
            out.samples.assign(first, first + usable / sizeof(int16_t));
            out.channels = outChannels;
            out.rate = spec.freq;
            ok = !out.samples.empty();
        } else if (SDL_AudioStream* stream =
                SDL_NewAudioStream(spec.format, spec.channels, spec.freq, AUDIO_S16SYS, outChannels, spec.freq)) {
            if (SDL_AudioStreamPut(stream, data, static_cast<int>(usable)) == 0 && SDL_AudioStreamFlush(stream) == 0) {
                const int available = SDL_AudioStreamAvailable(stream);
                if (available > 0) {
                    out.samples.resize(static_cast<size_t>(available) / sizeof(int16_t));
                    const int got = SDL_AudioStreamGet(stream, out.samples.data(), available);
                    if (got > 0) {
                        out.samples.resize(static_cast<size_t>(got) / sizeof(int16_t));
                        out.samples.resize(out.samples.size() - out.samples.size() % static_cast<size_t>(outChannels));
                        out.channels = outChannels;
                        out.rate = spec.freq;
                        ok = !out.samples.empty();
                    }
                }
            }
            SDL_FreeAudioStream(stream);
        }
    }
    SDL_FreeWAV(data);
    if (!ok) out = DecodedWav{};
    return ok;
}
}  // namespace

bool DecodeWavFile(const std::string& path, int maxChannels, DecodedWav& out) {
    out = DecodedWav{};
    // Read here rather than through SDL's file layer, so a missing file never
    // touches SDL's error state.
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    std::vector<uint8_t> bytes;
    if (std::fseek(file, 0, SEEK_END) == 0) {
        const long size = std::ftell(file);
        if (size > 0 && static_cast<unsigned long>(size) <= kMaxDataBytes) bytes.reserve(static_cast<size_t>(size));
        std::rewind(file);
    }
    uint8_t chunk[65536];
    size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0 && bytes.size() <= kMaxDataBytes)
        bytes.insert(bytes.end(), chunk, chunk + got);
    const bool readError = std::ferror(file) != 0;
    std::fclose(file);
    if (readError || bytes.empty() || bytes.size() > kMaxDataBytes) return false;
    return DecodeWavMemory(bytes.data(), bytes.size(), maxChannels, out);
}

bool DecodeWavMemory(const void* data, size_t size, int maxChannels, DecodedWav& out) {
    if (maxChannels < 1) maxChannels = 1;
    if (maxChannels > 2) maxChannels = 2;
    if (!data || size == 0 || size > static_cast<size_t>(std::numeric_limits<int>::max())) {
        out = DecodedWav{};
        return false;
    }
    if (!ChunksFit(static_cast<const uint8_t*>(data), size)) {
        out = DecodedWav{};
        return false;
    }
    return Decode(SDL_RWFromConstMem(data, static_cast<int>(size)), maxChannels, out);
}
