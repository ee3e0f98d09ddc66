#pragma once
// Wall-clock timings for --stats. Measurement only: nothing in the game reads them.

#include <cstddef>
#include <vector>

class FrameStats {
public:
    enum Kind { kFrame, kUpdate, kDraw, kPresent, kKindCount };

    static FrameStats& Get();
    // Adds time to the current frame's total of one kind.
    void Add(Kind kind, double ms) { current[kind] += ms; }
    // Closes the frame: its totals join the samples.
    void EndFrame();
    void Reset();

    struct Summary { double median = 0, p95 = 0, max = 0; };
    Summary Summarise(Kind kind) const;
    size_t FrameCount() const { return samples[kFrame].size(); }

    // Shader programs built while a race ran: each one a driver's compile in
    // the middle of play (0 when the stage load built them all).
    int programsBuiltInRace = 0;

    // Times the enclosing scope into one kind.
    class Section {
    public:
        explicit Section(Kind kind);
        ~Section();
        Section(const Section&) = delete;
        Section& operator=(const Section&) = delete;

    private:
        Kind kind;
        double start;
    };

private:
    double current[kKindCount] = {};
    std::vector<double> samples[kKindCount];
};
