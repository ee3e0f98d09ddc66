#pragma once
// After every frame, one JSON line of the game's state (JSON Lines). It reads
// the objects' public members; the objects know nothing of it.

#include "scene/JsonLine.h"

#include <cstdint>
#include <cstdio>
#include <string>

class Scene_base;

class TraceWriter {
public:
    ~TraceWriter() { Close(); }
    // "-" writes to standard output.
    bool Open(const std::string& path);
    void Close();
    bool IsOpen() const { return file != nullptr; }

    void WriteFrame(long long frame, uint32_t ms, const Scene_base* scene);
    // The line for one frame, without writing it.
    static void BuildFrame(JsonLine& line, long long frame, uint32_t ms, const Scene_base* scene);

private:
    std::FILE* file = nullptr;
    bool ownsFile = false;
    JsonLine line;
};
