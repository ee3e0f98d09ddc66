#include "StageTestSupport.h"

#include "framework/graphics/AxShaderManager.h"
#include "stage/ChaseCamera.h"
#include "stage/DashPanel.h"

namespace {

class CameraTest : public StageTest {};

void ExpectNear(const Vector3& a, const Vector3& b, float tolerance = 1e-4f) {
    EXPECT_NEAR(a.x, b.x, tolerance);
    EXPECT_NEAR(a.y, b.y, tolerance);
    EXPECT_NEAR(a.z, b.z, tolerance);
}

TEST_F(CameraTest, TitleViewFromTheFrontThenTheSweepBehindTheBike) {
    ChaseCamera& camera = *game->camera;
    const Vector3 bike(3.0f, 0.2f, 4.0f);
    Place(*game->player, bike);
    camera.SetFromTarget(game->player->headingWorld);
    ExpectNear(camera.eye, bike + Vector3(0.0f, 1.5f, 3.0f));
    ExpectNear(camera.target, bike + Vector3(0.0f, 1.0f, 0.0f));
    const cbCamera& cb = AxShaderManager::GetInstance().cb7Camera.data;
    ExpectNear(cb.g_CamPos, camera.eye);
    EXPECT_EQ(camera.view, cb.g_mV);
    // 16:9 whatever the window (the test window is square).
    EXPECT_NEAR(cb.g_mP.m[1][1] / cb.g_mP.m[0][0], 16.0f / 9.0f, 1e-4f);

    for (int f = 0; f < 61; ++f) camera.Update();
    EXPECT_NEAR(camera.eyeOffsetZ, -3.1f, 1e-4f);
    camera.Update();
    EXPECT_NEAR(camera.eyeOffsetZ, -3.1f, 1e-4f);
    camera.SetFromTarget(game->player->headingWorld);
    ExpectNear(camera.eye, bike + Vector3(0.0f, 1.5f, -3.1f));
}

TEST_F(CameraTest, DashWidensTheViewWhichRelaxesBackToSixty) {
    ChaseCamera& camera = *game->camera;
    game->dashPanels[0]->bikeOnPanel[0] = true;
    game->dashPanels[1]->bikeOnPanel[1] = true;  // a computer bike does not count
    camera.Update();
    EXPECT_FLOAT_EQ(camera.fov, 65.5f);
    game->dashPanels[0]->bikeOnPanel[0] = false;
    for (int f = 0; f < 10; ++f) camera.Update();
    EXPECT_FLOAT_EQ(camera.fov, 60.5f);
    camera.Update();
    EXPECT_FLOAT_EQ(camera.fov, 60.0f);
    camera.Update();
    EXPECT_FLOAT_EQ(camera.fov, 60.0f);
}

TEST_F(CameraTest, TheEyeKeepsTheHeadingOfNineFramesAgo) {
    ChaseCamera& camera = *game->camera;
    camera.eyeOffsetZ = -3.0f;
    Vector3 p(0.0f, 0.2f, 0.0f);
    for (int f = 0; f < 10; ++f) {
        Place(*game->player, p);
        camera.SetFromTarget(game->player->headingWorld);
    }
    // Turned to face +X and moving; the eye follows the position at once.
    for (int f = 0; f < 10; ++f) {
        p.x += 0.5f;
        Place(*game->player, p, 90.0f);
        camera.SetFromTarget(game->player->headingWorld);
        if (f < 9) ExpectNear(camera.eye, p + Vector3(0.0f, 1.5f, -3.0f), 1e-3f);
        else ExpectNear(camera.eye, p + Vector3(-3.0f, 1.5f, 0.0f), 1e-3f);
        ExpectNear(camera.target, p + Vector3(0.0f, 1.0f, 0.0f));
    }
}

TEST_F(CameraTest, HoldingTheViewWhilePausedChangesNothingButShowsIt) {
    ChaseCamera& camera = *game->camera;
    AxConstantBuffer<cbCamera>& cb = AxShaderManager::GetInstance().cb7Camera;
    const Vector3 bike(3.0f, 0.2f, 4.0f);
    Place(*game->player, bike, 30.0f);
    // Paused before the first frame: the view the first frame would show, and
    // the history still untouched.
    camera.HoldView(game->player->headingWorld);
    ExpectNear(cb.data.g_CamPos, bike + Vector3(0.0f, 1.5f, 3.0f));
    EXPECT_EQ(camera.up, Vector3());
    for (const Matrix& m : camera.history) EXPECT_EQ(m, Matrix());

    // In a bend: the bike turns while the game stands; holding keeps the eye
    // on the old heading and every member as it was, and the renderer gets
    // the held view back even after someone else wrote the constants.
    for (int f = 0; f < 5; ++f) {
        Place(*game->player, bike, 30.0f + 3.0f * f);
        camera.SetFromTarget(game->player->headingWorld);
    }
    const Vector3 eye = camera.eye, target = camera.target;
    const Matrix view = camera.view;
    Matrix history[10];
    std::copy(std::begin(camera.history), std::end(camera.history), std::begin(history));
    cb.data.g_mV = Matrix();
    cb.data.g_CamPos = Vector3();
    Place(*game->player, bike + Vector3(1.0f, 0.0f, 1.0f), 90.0f);
    for (int f = 0; f < 12; ++f) camera.HoldView(game->player->headingWorld);
    EXPECT_EQ(camera.eye, eye);
    EXPECT_EQ(camera.target, target);
    EXPECT_EQ(camera.view, view);
    for (int k = 0; k < 10; ++k) EXPECT_EQ(camera.history[k], history[k]) << k;
    EXPECT_EQ(cb.data.g_mV, view);
    ExpectNear(cb.data.g_CamPos, eye);
}

}  // namespace
