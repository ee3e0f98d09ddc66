#pragma once
// A course description: a few lines of text a person can write by hand,
// turned into a checked centre line and the places of the stage objects.
// Descriptions are untrusted: whatever is wrong is refused with one line
// naming the line, segment or object and why. No GL, AL or SDL here.
//
//   id little-loop          # the course's id (its folder's name)
//   name Little Loop
//   theme meadow            # desert, meadow or dusk
//   width 14                # road width in metres
//   straight 60             # the line starts on the start line, heading north
//   arc 25 180              # radius, then degrees: positive turns right
//   dash 30 centre          # a dash panel 30 m after the start line
//   switch 150 left         # the floor switch; its boxes hang after it
//   gate 200                # the sliding gate, its two wall switches 9 m before it
//   excavator 120 right     # stands outside the fence; its arm swings over the road

#include "framework/Math.h"

#include <string>
#include <vector>

namespace coursemake {

constexpr size_t kMaxDescriptionBytes = 16u << 10;
constexpr size_t kMaxSegments = 200;
constexpr size_t kMaxDashPanels = 16;
constexpr float kMinWidth = 10.0f, kMaxWidth = 24.0f;
constexpr float kSandMargin = 3.5f;        // sand between the road's edge and the fence
constexpr float kMinRadius = 16.0f;        // the tightest bend the computer bikes hold at speed
constexpr float kMinLap = 150.0f, kMaxLap = 2500.0f;
constexpr float kMaxReach = 300.0f;        // how far from the start line the road may go
constexpr float kStartStraight = 24.0f;    // after the start line, before the first checkpoint
constexpr float kEndStraight = 14.0f;      // before the start line, where the grid stands
constexpr float kSampleStep = 0.25f;

struct Segment {
    int line = 0;          // where it is written, for messages
    float length = 0.0f;   // a straight's length, or an arc's radius
    float turn = 0.0f;     // degrees; 0 for a straight, positive turns right
    std::string Name(size_t index) const;
};

struct Placed {
    int line = 0;
    std::string kind;      // "dash", "switch", "gate" or "excavator"
    float distance = 0.0f; // metres along the line from the start line
    float offset = 0.0f;   // metres to the right of the centre line; the excavator: -1 left, 1 right
};

// The gate needs a straight from this far before it (its switches) to this far after.
constexpr float kGateBefore = 12.0f, kGateAfter = 6.0f;
constexpr float kGateMinWidth = 14.0f;  // narrower, a bike could not pass it
constexpr float kGateSwitchBack = 9.0f, kGateSwitchAcross = 4.25f, kGateAcross = 0.75f;

struct Description {
    std::string file;
    std::string id, name, author = "", theme;
    float width = 14.0f;
    int laps = 3;
    std::vector<Segment> segments;
    std::vector<Placed> objects;
    float HalfWidth() const { return width * 0.5f; }
    float FenceOffset() const { return HalfWidth() + kSandMargin; }
};

struct Sample {
    float s;          // distance along the lap from the start line
    Vector3 p;        // on the ground plane (y = 0)
    float heading;    // degrees, 0 = +Z, positive turns right
    float curvature;  // 1 / radius, positive for right turns
    int segment;      // index into Description::segments
    Vector3 Right() const;
};

// The closed centre line, sampled densely; the last sample equals the first.
class CentreLine {
public:
    std::vector<Sample> samples;
    float Length() const { return samples.empty() ? 0.0f : samples.back().s; }
    Sample At(float s) const;  // interpolated, s wrapped into the lap
    // Shortest distance from (x, z) to the line (brute force over a coarse step, then refined).
    float Distance(float x, float z) const;
    void Bounds(float& minX, float& minZ, float& maxX, float& maxZ) const;
};

// Where the excavator stands: the arm's hinge (over the road), the way from
// the hinge to the body (across the road) and the turn of its swing (degrees).
struct ExcavatorPlace {
    Vector3 hinge;
    Vector3 towardsBody;
    float turn = 0.0f;
    Matrix FromDesert() const;  // moves the desert's excavator models here
    Vector3 BodyCentre() const;
};
ExcavatorPlace PlaceExcavator(const Description& description, const CentreLine& line, const Placed& excavator);

// The built-in themes a description may name.
const std::vector<std::string>& Themes();

// The text read: fields, numbers and their ranges. file names it in messages.
bool Parse(const std::string& text, const std::string& file, Description& out, std::string& error);

// The line built and checked: it closes, keeps to the start straights, never
// crosses or comes near itself, bends no tighter than the bikes can take,
// and every object stands on the road.
bool Build(const Description& description, CentreLine& line, std::string& error);

// Parse and Build of a file's text together.
bool Read(const std::string& text, const std::string& file, Description& out, CentreLine& line, std::string& error);

}  // namespace coursemake
