#pragma once
// The course, defined once: a closed centre line of straights and arcs that
// passes the fixed places of the stage objects, and everything placed along it.

#include "framework/Math.h"

#include <vector>

namespace course {

constexpr float kRoadHalfWidth = 7.0f;    // asphalt either side of the centre line
constexpr float kFenceOffset = 10.5f;     // road plus a sand margin of 3.5
constexpr float kRoadY = 0.15f;           // bikes ride at 0.2 and look down onto this
constexpr float kGroundY = 0.08f;         // sand, a little below the road
constexpr float kFenceHeight = 1.2f;

struct Sample {
    float s;        // distance along the lap from the start of the centre line
    Vector3 p;      // on the ground plane (y = 0)
    float heading;  // degrees, 0 = +Z, positive turns right
    float curvature;  // 1 / radius, positive for right turns
    Vector3 Right() const;
    Vector3 Forward() const;
};

struct Point2 { float x, z; };

// Dense samples (every 0.25 units) of the closed centre line; the last equals the first.
const std::vector<Sample>& CentreLine();
float LapLength();
Sample At(float s);  // interpolated, s wrapped into the lap
// Shortest distance from (x, z) to the centre line, at most maxDistance.
float DistanceToCentre(float x, float z, float maxDistance = 16.0f);

std::vector<Vector3> Checkpoints();
std::vector<Vector3> BoxPositions();

// Fixed places of the stage objects (world coordinates).
inline constexpr Point2 kStartPlaces[3] = {{-2, -2}, {0, -2}, {2, -2}};
inline constexpr Point2 kDashNorth = {-18.5f, 72.0f};
inline constexpr Point2 kDashSouth = {-50.0f, 30.0f};
inline constexpr Point2 kFloorSwitch = {-50.0f, 60.0f};
inline constexpr Point2 kWallSwitches[2] = {{-27.0f, -25.0f}, {-27.0f, -33.5f}};
inline constexpr Point2 kGate = {-18.0f, -30.0f};
inline constexpr float kGateHalfLength = 3.5f;  // along world Z
inline constexpr float kGateHalfThickness = 0.3f;
inline constexpr float kGateHeight = 1.6f;
inline constexpr Vector3 kArmHinge = {-46.2f, 14.779f, 23.25f};

}  // namespace course
