#pragma once
// Follows the player's bike from above and behind with its orientation
// delayed by nine frames; widens the view on dash panels.

#include "framework/Math.h"

class Game;

class ChaseCamera {
public:
    explicit ChaseCamera(Game& game);
    void Update();
    void SetFromTarget(const Matrix& targetWorld);
    // While the game is paused: hands the renderer the view of the last
    // SetFromTarget again, leaving the history and every member as they are.
    void HoldView(const Matrix& targetWorld);
    // For a picture between updates: hands the renderer the view between the
    // last two updates' (eye, target, view angle), leaving every member as it is.
    void DrawView(const Matrix& targetWorld);

    Vector3 eye;
    Vector3 target;
    Vector3 up;
    float fov = 60.0f;
    Matrix history[10];
    Matrix view;
    float eyeOffsetZ = 3.0f;

private:
    void WriteConstants();
    static Matrix WriteConstants(const Vector3& from, const Vector3& to, const Vector3& upward, float viewAngle);

    Game& game;
};
