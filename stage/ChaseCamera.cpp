#include "stage/ChaseCamera.h"

#include "framework/MotionBlend.h"
#include "framework/graphics/AxShaderManager.h"
#include "scene/Game.h"
#include "stage/DashPanel.h"

namespace {
constexpr float kEyeHeight = 1.5f;
constexpr float kTargetHeight = 1.0f;
constexpr float kEyeOffsetEnd = -3.0f;
constexpr float kEyeOffsetStep = 0.1f;
constexpr float kNormalFov = 60.0f;
constexpr float kDashFovKick = 6.0f;
constexpr float kFovRelax = 0.5f;
constexpr float kAspect = 1.7777778f;  // the 1280 x 720 back buffer, whatever the window
constexpr float kNear = 0.01f;
constexpr float kFar = 1000.0f;
}  // namespace

ChaseCamera::ChaseCamera(Game& game) : game(game) {}

void ChaseCamera::Update() {
    // Sweeps from the title's front view over the bike to behind it.
    if (eyeOffsetZ > kEyeOffsetEnd) eyeOffsetZ -= kEyeOffsetStep;
    for (const DashPanel* panel : game.dashPanels)
        if (panel->bikeOnPanel[0]) fov += kDashFovKick;
    if (fov > kNormalFov) {
        fov -= kFovRelax;
        if (fov < kNormalFov) fov = kNormalFov;
    }
}

void ChaseCamera::SetFromTarget(const Matrix& targetWorld) {
    for (int k = 9; k >= 1; --k) history[k] = history[k - 1];
    history[0] = targetWorld;
    // The heading of nine frames ago at today's position: the view swings
    // out in turns instead of being bolted to the bike.
    Matrix delayed = history[9];
    delayed.m[3][0] = targetWorld.m[3][0];
    delayed.m[3][1] = targetWorld.m[3][1];
    delayed.m[3][2] = targetWorld.m[3][2];
    history[9] = delayed;
    eye = Vector3::Transform(Vector3(0.0f, kEyeHeight, eyeOffsetZ), history[9]);
    target = targetWorld.Translation() + Vector3(0.0f, kTargetHeight, 0.0f);
    up = Vector3(0.0f, 1.0f, 0.0f);
    WriteConstants();
}

void ChaseCamera::HoldView(const Matrix& targetWorld) {
    if (up == Vector3()) {
        // Paused before the first view was made: show the one the first frame
        // would make, on a copy, so the history still starts untouched.
        ChaseCamera preview(*this);
        preview.SetFromTarget(targetWorld);
        return;
    }
    WriteConstants();
}

void ChaseCamera::DrawView(const Matrix& targetWorld) {
    if (up == Vector3()) {
        HoldView(targetWorld);
        return;
    }
    Matrix now;
    now.m[0][0] = eye.x, now.m[0][1] = eye.y, now.m[0][2] = eye.z;
    now.m[1][0] = target.x, now.m[1][1] = target.y, now.m[1][2] = target.z;
    now.m[2][0] = fov;
    const Matrix shown = Motion().Values(this, now);
    WriteConstants(Vector3(shown.m[0][0], shown.m[0][1], shown.m[0][2]),
                   Vector3(shown.m[1][0], shown.m[1][1], shown.m[1][2]), up, shown.m[2][0]);
}

void ChaseCamera::WriteConstants() { view = WriteConstants(eye, target, up, fov); }

Matrix ChaseCamera::WriteConstants(const Vector3& from, const Vector3& to, const Vector3& upward, float viewAngle) {
    AxConstantBuffer<cbCamera>& cb = AxShaderManager::GetInstance().cb7Camera;
    cb.data.g_mV = Matrix::LookAtLH(from, to, upward);
    cb.dirty = true;
    cb.data.g_CamPos = cb.data.g_mV.Invert().Translation();
    cb.dirty = true;
    cb.data.g_mP = Matrix::PerspectiveFovLH(viewAngle * kDegToRad, kAspect, kNear, kFar);
    cb.dirty = true;
    cb.Write();
    return cb.data.g_mV;
}
