#pragma once
// A race line: where the player's bike was, its heading and its lean, in
// every race frame from the start to the finish, and where it stood before
// the start. Saved beside the records as text that reads back bit for bit.
// No GL, AL or SDL here.

#include <cstdint>
#include <string>
#include <vector>

struct GhostPose {
    float x = 0.0f, y = 0.0f, z = 0.0f;
    float yaw = 0.0f;
    float lean = 0.0f;
    bool operator==(const GhostPose&) const = default;
};

class GhostTrack {
public:
    GhostPose start;                 // on the grid, before the countdown ends
    std::vector<GhostPose> frames;   // frame 0 is the frame the countdown reaches 0
    uint32_t raceMs = 0;             // the race time the line was ridden in

    bool Empty() const { return frames.empty(); }
    void Clear();
    // The pose for a race frame: the grid before the start (negative), the
    // last pose after the line ends.
    const GhostPose& At(long long raceFrame) const;

    std::string Text() const;
    // Refuses a foreign, truncated or damaged text and leaves the track empty.
    bool Parse(const std::string& text);

    // Ten minutes of frames at 60 per second, with room to spare.
    static constexpr size_t kMaxFrames = 40000;
    // Nothing on the course is this far out.
    static constexpr float kMaxCoordinate = 100000.0f;
};
