#pragma once
// A constant buffer with its CPU copy: writers change `data` and set `dirty`;
// Write uploads only when dirty. Constant data is uploaded even with GPU
// submission off, so the next drawn frame sees every change.

#include "framework/graphics/AxBuffer.h"

template <class T>
class AxConstantBuffer {
public:
    static_assert(sizeof(T) % 16 == 0, "constant buffers are whole 16-byte rows");

    // Makes the GPU buffer from the current data.
    bool Create() {
        AxSubresourceData init;
        init.pSysMem = &data;
        return buffer.Create(AX_BIND_CONSTANT_BUFFER, sizeof(T), AX_USAGE_DYNAMIC, &init);
    }
    void Write() {
        if (!dirty) return;
        buffer.WriteData(&data, sizeof(T));
        dirty = false;
    }
    void Release() {
        buffer.Release();
        dirty = true;
    }

    AxBuffer buffer;
    alignas(16) T data{};
    bool dirty = true;
};
