#pragma once
// --frame-log: one line per presented picture, for measuring how evenly the
// pictures show the game's time. Measurement only: nothing reads it back.

#include <cstdio>
#include <string>

class FrameLog {
public:
    ~FrameLog();
    bool Open(const std::string& path);
    bool IsOpen() const { return file != nullptr; }
    // The present's wall-clock time, the updates run since the last picture,
    // the share of a step the picture stands at, the game time it shows
    // (updates before that step x 16 ms plus the share) and the render scale.
    void Picture(double presentMs, int updates, float fraction, double shownMs, float renderScale);
    bool Close();

private:
    std::FILE* file = nullptr;
    bool failed = false;
};
