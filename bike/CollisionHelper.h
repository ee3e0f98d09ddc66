#pragma once
// Rays against the triangles of a loaded model, and the wall push-out built
// on them.

#include "framework/Math.h"

class AxModel;

class CollisionHelper {
public:
    static CollisionHelper& GetInstance();

    // Nearest hit of the ray (origin, unit direction) with any triangle of the
    // model placed by world: true with the world distance and the hit
    // triangle's unit front-face normal; false leaves both untouched.
    bool RayToModel(const AxModel* model, const Matrix& world, const Vector3& origin, const Vector3& direction,
                    float& distance, Vector3& normal) const;

    // True when the ray meets the collider closer than the wall clearance;
    // push then restores the clearance. distance receives any hit's distance.
    bool PushOut(const AxModel* model, const Matrix& world, const Vector3& origin, const Vector3& direction,
                 float& distance, Vector3& push) const;

    static constexpr float kWallClearance = 1.0f;
};
