#pragma once
// One GPU buffer (vertex, index, constant or staging) and its usage.

#include <cstddef>
#include <cstdint>

// Bind flags and usages keep the values the rest of the framework was written
// against, so sizes and rules read the same everywhere.
enum AxBindFlag : unsigned {
    AX_BIND_VERTEX_BUFFER = 0x1,
    AX_BIND_INDEX_BUFFER = 0x2,
    AX_BIND_CONSTANT_BUFFER = 0x4,
    AX_BIND_SHADER_RESOURCE = 0x8,
    AX_BIND_RENDER_TARGET = 0x20,
    AX_BIND_DEPTH_STENCIL = 0x40,
};

enum AxUsage : unsigned {
    AX_USAGE_DEFAULT = 0,
    AX_USAGE_IMMUTABLE = 1,
    AX_USAGE_DYNAMIC = 2,
    AX_USAGE_STAGING = 3,
};

// Initial contents of a buffer or texture.
struct AxSubresourceData {
    const void* pSysMem = nullptr;
    unsigned SysMemPitch = 0;
    unsigned SysMemSlicePitch = 0;
};

class AxBuffer {
public:
    AxBuffer() = default;
    AxBuffer(const AxBuffer&) = delete;
    AxBuffer& operator=(const AxBuffer&) = delete;
    ~AxBuffer() { Release(); }

    // A constant buffer whose size is not a multiple of 16 fails at once.
    bool Create(unsigned bindFlags, unsigned byteWidth, unsigned usage, const AxSubresourceData* initialData = nullptr);
    // Default usage updates the whole buffer; dynamic discards and rewrites.
    // A null source or one larger than the buffer zero-fills it instead.
    void WriteData(const void* data, size_t size);
    void Release();

    unsigned buffer = 0;  // GL buffer name, 0 when empty
    unsigned bufSize = 0;
    unsigned bufUsage = 0;
    unsigned bindFlags = 0;
};
