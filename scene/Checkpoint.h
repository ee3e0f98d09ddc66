#pragma once
#include "framework/Math.h"

// One point of the course's checkpoint list.
struct Checkpoint {
    explicit Checkpoint(const Vector3& p) : position(p), world(Matrix::CreateTranslation(p)) {}
    Vector3 position;
    Matrix world;
};
