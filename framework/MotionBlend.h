#pragma once
// What pictures are made from between updates. The game updates in fixed
// 16 ms steps while pictures follow the display, so a picture usually falls
// between two updates: everything that moves is drawn between where it stood
// after the previous update and where it stands now, at the share of the
// step the clock has reached. Drawables hand in their current placement and
// draw what comes back; no update reads anything kept here, so the race is
// the same however the pictures fall.

#include "framework/Math.h"

#include <cstdint>
#include <vector>

class MotionBlend {
public:
    static MotionBlend& Get();

    // Before each picture: the updates run so far and how far the clock has
    // got into the step after the last of them (0 to 1; 1 draws the latest
    // update as it is).
    void BeginPicture(long long updates, float fraction);
    float Fraction() const { return fraction; }
    long long Updates() const { return updates; }
    // Nothing drawn from now on blends with what was drawn before: a stage
    // loaded, a race started or reset. The one-key form is for one thing put
    // somewhere new (a bike put back, a puff started again from its pool).
    void Jump();
    void Jump(const void* key);

    // A placement made of rotation, scale and translation: the one to draw.
    // Rotations turn the short way round; a matrix that is no such placement
    // (flattened, mirrored) blends element by element.
    Matrix World(const void* key, const Matrix& now);
    // Sixteen plain numbers blended one by one (a camera's eye, target, view angle).
    Matrix Values(const void* key, const Matrix& now);

    // The blends themselves, for anything that keeps its own two placements.
    static Matrix BlendWorld(const Matrix& from, const Matrix& to, float t);
    static Matrix BlendValues(const Matrix& from, const Matrix& to, float t);
    static Quaternion RotationOf(const Matrix& rotation);

    // Beyond this many updates between two pictures of a thing, it is drawn as it is.
    static constexpr long long kMaxSpan = 5;
    // Farther than this in one update is no motion but a thing put somewhere new.
    static constexpr float kJumpDistance = 3.0f;

private:
    struct Entry {
        const void* key = nullptr;
        long long prevUpdate = 0, curUpdate = 0;
        Matrix prev, cur;
    };
    // The blend weight of the previous placement's update and the current one.
    float Share(const Entry& entry) const;
    Entry& Take(const void* key, const Matrix& now, bool& fresh);

    std::vector<Entry> entries;  // sorted by key
    long long updates = 0;
    float fraction = 1.0f;
};

// The picture state every drawable reads.
inline MotionBlend& Motion() { return MotionBlend::Get(); }
