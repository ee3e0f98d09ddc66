#include "stage/ObstacleManager.h"

#include "bike/CollisionHelper.h"
#include "framework/Random.h"
#include "bike/Enemy.h"
#include "bike/Player.h"
#include "framework/MotionBlend.h"
#include "framework/audio/AxSoundEffect.h"
#include "framework/graphics/AxModelCache.h"
#include "framework/graphics/AxShaderManager.h"
#include "scene/Game.h"
#include "scene/PointFile.h"
#include "stage/CoursePlaces.h"
#include "stage/Excavator.h"
#include "stage/FloorSwitch.h"

#include <limits>

namespace {
constexpr float kFallCurveDistance = 30.5f;
constexpr float kFallVolume = 10.0f;
constexpr float kPlayerHitVolume = 0.5f;
constexpr float kHitCurveDistance = 20.0f;
constexpr float kFragmentScale = 0.3f;
constexpr float kFragmentStep = 0.1f;  // of the velocity per frame
constexpr float kFragmentGravity = 0.05f;

void DrawAt(const Matrix& world, const AxModel* model) {
    AxModelShader& shader = AxShaderManager::GetInstance().modelShader;
    shader.worldMatrix = world;
    shader.DrawModel(model, nullptr);
}
}  // namespace

// --- WoodBox ---

WoodBox::WoodBox(AxModelCache& modelCache, const std::string& modelPath, const Vector3& position)
    : model(modelCache.GetModel(modelPath)),
      world(Matrix::CreateTranslation(position)),
      position(position) {
    fallSound = std::make_shared<AxSoundEffect>();
    fallSound->Load("Data/Sound/Box/boxfall.wav");
    fallInstance = fallSound->CreateInstance(true);
    fallInstance->SetCurveDistanceScaler(kFallCurveDistance);
    fallInstance->SetVolume(kFallVolume);
}

void WoodBox::Update() {
    if (position.y > 0.0f) {
        fallSpeed += kGravity;
        position.y -= fallSpeed;
    }
    // Landed this frame (a box resting at exactly 0 stays silent). The sound
    // sits where the box was drawn last frame.
    if (position.y < 0.0f) {
        position.y = 0.0f;
        fallSpeed = 0.0f;
        fallInstance->Play3D(world.Translation(), false, true);
    }
    fallInstance->SetPosition(world.Translation());
    fallInstance->Apply3D();
    world = Matrix::CreateTranslation(position);
}

bool WoodBox::HitTest(const Vector3& origin, const Vector3& direction) {
    float distance = std::numeric_limits<float>::max();
    return CollisionHelper::GetInstance().RayToModel(model, world, origin, direction, distance, hitNormal) &&
           distance <= kHitReach;
}

void WoodBox::Lift(float height) {
    position.y = height;
    world = Matrix::CreateTranslation(position);
}

void WoodBox::Draw() { DrawAt(Motion().World(this, world), model); }

// --- BoxFragment ---

BoxFragment::BoxFragment(AxModelCache& modelCache, const Vector3& spawnPosition)
    : position(spawnPosition), scale(Matrix::CreateScale(kFragmentScale)) {
    models[0] = modelCache.GetModel("Data/Obstacle/WoodBox/Fragment1.gltf");
    models[1] = modelCache.GetModel("Data/Obstacle/WoodBox/Fragment2.gltf");
    models[2] = modelCache.GetModel("Data/Obstacle/WoodBox/Fragment3.gltf");
    // Separate statements: the draws must happen in this order.
    velocity.x = static_cast<float>(Random::Next() % 21 - 10) * 0.05f;
    velocity.y = static_cast<float>(Random::Next() % 15) * 0.15f;
    velocity.z = static_cast<float>(Random::Next() % 21 - 10) * 0.05f;
    modelIndex = Random::Next() % 3;
    spinAxis = Random::Next() % 3;
    spinSpeed = Random::Next() % 31 - 15;
}

void BoxFragment::Update() {
    position += velocity * kFragmentStep;
    velocity.y -= kFragmentGravity;
    angle += static_cast<float>(spinSpeed);
    const float radians = angle * kDegToRad;
    switch (spinAxis) {
        case 0: rotation = Matrix::CreateRotationX(radians); break;
        case 1: rotation = Matrix::CreateRotationY(radians); break;
        default: rotation = Matrix::CreateRotationZ(radians); break;
    }
    world = scale * rotation * Matrix::CreateTranslation(position);
}

void BoxFragment::Draw() { DrawAt(Motion().World(this, world), models[modelIndex]); }

// --- ObstacleManager ---

ObstacleManager::ObstacleManager(Game& game, AxModelCache& modelCache, const CourseData& course) : game(game) {
    const std::vector<Vector3> positions = ReadPointFile(course.gameplay.boxFile, kMaxBoxes);
    for (size_t i = 0; i < positions.size(); ++i) {
        boxes.push_back(new WoodBox(modelCache, course.gameplay.boxModel, positions[i]));
        boxActive[i] = false;
    }
    // Below the removal height, so the first update deletes it; it only makes
    // the stage load fetch the fragment models instead of the first crash.
    fragments.push_back(new BoxFragment(modelCache, Vector3(0.0f, -2.0f, 0.0f)));
    activationLatched = false;
    floorSwitch = new FloorSwitch(game, modelCache, ToVector(course.gameplay.floorSwitch));
    switchOn = false;
    excavator = new Excavator(modelCache, course.look, ToVector(course.gameplay.excavatorHinge));
    for (auto& sound : boxHitSound) {
        sound = std::make_shared<AxSoundEffect>();
        sound->Load("Data/Sound/Box/boxhit.wav");
    }
    boxHitInstance[0] = boxHitSound[0]->CreateInstance(false);
    boxHitInstance[0]->SetVolume(kPlayerHitVolume);
    boxHitInstance[1] = boxHitSound[1]->CreateInstance(true);
    boxHitInstance[1]->SetCurveDistanceScaler(kHitCurveDistance);
    boxHitInstance[1]->SetVolume(boxHitVolume);
}

ObstacleManager::~ObstacleManager() { Release(); }

bool ObstacleManager::ArmMoving() const { return excavator && excavator->arm && excavator->arm->moving; }

float ObstacleManager::ArmAngle() const { return excavator && excavator->arm ? excavator->arm->angle : 0.0f; }

Vector3 ObstacleManager::BoxPosition(size_t i) const { return i < boxes.size() ? boxes[i]->position : Vector3(); }

void ObstacleManager::Update(AxModelCache& modelCache) {
    switchOn = floorSwitch ? floorSwitch->Update() : false;
    if (floorSwitch) floorSwitch->on = switchOn;
    if (switchOn || ArmMoving()) {
        // Once per rising edge: boxes smashed during a swing wait for the
        // next press after it.
        if (!activationLatched) {
            for (size_t i = 0; i < boxes.size(); ++i) boxActive[i] = true;
            activationLatched = true;
        }
        if (excavator && excavator->arm) excavator->arm->Update();
    } else {
        activationLatched = false;
    }
    for (uint32_t i = 0; i < boxes.size(); ++i) {
        if (!boxActive[i]) continue;
        boxes[i]->Update();
        UpdateBox(i, modelCache);
    }
    size_t kept = 0;
    for (BoxFragment* fragment : fragments) {
        fragment->Update();
        if (fragment->position.y < kFragmentFloor) delete fragment;
        else fragments[kept++] = fragment;
    }
    fragments.resize(kept);
}

void ObstacleManager::UpdateBox(uint32_t index, AxModelCache& modelCache) {
    WoodBox* box = boxes[index];
    boxHitInstance[1]->SetPosition(box->world.Translation());
    boxHitInstance[1]->Apply3D();
    if (!boxActive[index]) return;
    Bike_base* bikes[3] = {game.player, game.enemies[0], game.enemies[1]};
    for (int k = 0; k < 3; ++k) {
        Bike_base* bike = bikes[k];
        if (!bike || !box->HitTest(bike->position, bike->RotateByYaw(Vector3(0.0f, 0.0f, 1.0f)))) continue;
        const Vector3 at = box->world.Translation();
        if (k == 0) boxHitInstance[0]->Play(false, true);
        else boxHitInstance[1]->Play3D(Vector3(at.x, 0.0f, at.z), false, true);
        for (uint32_t n = 0; n < fragmentsPerHit; ++n)
            fragments.push_back(
                new BoxFragment(modelCache, Vector3(box->position.x, kFragmentSpawnHeight, box->position.z)));
        // May go negative; the bike's next move turns that into a stop.
        if (bike->speed > kHitSpeedCap) bike->speed = kHitSpeedCap;
        bike->speed -= hitSpeedPenalty;
        box->Lift(kLiftHeight);
        boxActive[index] = false;
        return;
    }
}

void ObstacleManager::Draw() {
    const bool armMoving = ArmMoving();
    // Waiting boxes are hidden while the arm swings.
    for (size_t i = 0; i < boxes.size(); ++i)
        if (boxActive[i] || !armMoving) boxes[i]->Draw();
    for (BoxFragment* fragment : fragments) fragment->Draw();
    if (floorSwitch) floorSwitch->Draw(armMoving);
    if (excavator) excavator->Draw();
}

void ObstacleManager::Release() {
    for (WoodBox* box : boxes) delete box;
    boxes.clear();
    for (BoxFragment* fragment : fragments) delete fragment;
    fragments.clear();
    delete floorSwitch;
    floorSwitch = nullptr;
    if (excavator) {
        excavator->Release();
        delete excavator;
        excavator = nullptr;
    }
    for (auto& instance : boxHitInstance) instance.reset();
    for (auto& sound : boxHitSound) sound.reset();
    boxes.shrink_to_fit();
    fragments.shrink_to_fit();
}
