// Placeholders until the stage lands: every object exists and does nothing.
#include "stage/ChaseCamera.h"
#include "stage/Course.h"
#include "stage/DashPanel.h"
#include "stage/ObstacleManager.h"
#include "stage/Sky.h"
#include "stage/WallSet.h"

#include "framework/graphics/AxShaderManager.h"

ChaseCamera::ChaseCamera(Game& game) : game(game) {}
void ChaseCamera::Update() {}
void ChaseCamera::SetFromTarget(const Matrix& targetWorld) {
    eye = Vector3::Transform(Vector3(0, 1.5f, eyeOffsetZ), targetWorld);
    target = targetWorld.Translation() + Vector3(0, 1, 0);
    up = {0, 1, 0};
    auto& cb = AxShaderManager::GetInstance().cb7Camera;
    cb.data.g_mV = Matrix::LookAtLH(eye, target, up);
    cb.data.g_mP = Matrix::PerspectiveFovLH(fov * kPi / 180.0f, 16.0f / 9.0f, 0.01f, 1000.0f);
    cb.data.g_CamPos = eye;
    cb.dirty = true;
    cb.Write();
    view = cb.data.g_mV;
}
Sky::Sky(AxModelCache&) {}
void Sky::Draw() {}
Course::Course(Game& game, AxModelCache&) : game(game) {}
Course::~Course() = default;
void Course::Update(AxTextureCache*) {}
void Course::Draw() {}
size_t Course::WhiteSmokeCount() const { return 0; }
size_t Course::SandSmokeCount() const { return 0; }
DashPanel::DashPanel(Game& game, AxModelCache&, const Matrix& p, float) : placement(p), game(game) {}
void DashPanel::Update() {}
void DashPanel::Draw() {}
WallSet::WallSet(Game&, AxModelCache&) {}
WallSet::~WallSet() = default;
void WallSet::Update() {}
void WallSet::Draw() {}
void WallSet::Release() {}
Wall::Wall(AxModelCache&) {}
bool Wall::PushOut(const Vector3&, const Vector3&, float&, Vector3&) const { return false; }
MovingWall::MovingWall(AxModelCache&, const Matrix&, float) {}
MovingWall::~MovingWall() = default;
bool MovingWall::PushOut(const Vector3&, const Vector3&, float&, Vector3&) const { return false; }
void MovingWall::Update(bool) {}
ObstacleManager::ObstacleManager(Game&, AxModelCache&) {}
ObstacleManager::~ObstacleManager() = default;
void ObstacleManager::Update(AxModelCache&) {}
void ObstacleManager::Draw() {}
void ObstacleManager::Release() {}
float ObstacleManager::ArmAngle() const { return 0; }
bool ObstacleManager::ArmMoving() const { return false; }
Vector3 ObstacleManager::BoxPosition(size_t) const { return {}; }
