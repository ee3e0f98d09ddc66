#include "stage/Excavator.h"

#include "framework/MotionBlend.h"
#include "framework/audio/AxSoundEffect.h"
#include "framework/graphics/AxModelCache.h"
#include "framework/graphics/AxShaderManager.h"

namespace {
constexpr float kCurveDistance = 20.5f;
constexpr float kVolume = 30.0f;

void DrawAt(const Matrix& world, const AxModel* model) {
    AxModelShader& shader = AxShaderManager::GetInstance().modelShader;
    shader.worldMatrix = world;
    shader.DrawModel(model, nullptr);
}
}  // namespace

ExcavatorArm::ExcavatorArm(AxModelCache& modelCache, const std::string& path, const Vector3& hinge, float turn)
    : model(modelCache.GetModel(path)),
      pivot(Matrix::CreateRotationYDegrees(turn) * Matrix::CreateTranslation(hinge)) {
    angle = minAngle;
    rotation = Matrix::CreateRotationZ(angle * kDegToRad);
    world = rotation * pivot;
    sound = std::make_shared<AxSoundEffect>();
    sound->Load("Data/Sound/excavator.wav");
    instance = sound->CreateInstance(true);
    instance->SetCurveDistanceScaler(kCurveDistance);
    instance->SetVolume(kVolume);
}

void ExcavatorArm::Update() {
    moving = true;
    if (angle >= maxAngle) {
        angle = maxAngle;
        returning = true;
    }
    if (!soundStarted) {
        instance->Play3D(world.Translation(), false, true);
        soundStarted = true;
    }
    if (!returning) {
        angle += kStep;
    } else {
        angle -= kStep;
        if (angle < minAngle) {
            angle = minAngle;
            moving = false;
            returning = false;
            soundStarted = false;
        }
    }
    // The hinge does not move with the rotation, so this is where it sounds.
    instance->SetPosition(world.Translation());
    instance->Apply3D();
    rotation = Matrix::CreateRotationZ(angle * kDegToRad);
    world = rotation * pivot;
}

void ExcavatorArm::Draw() { DrawAt(Motion().World(this, world), model); }

Excavator::Excavator(AxModelCache& modelCache, const CourseLook& look, const Vector3& hinge)
    : bodyModel(modelCache.GetModel(look.excavatorBody)) {
    arm = new ExcavatorArm(modelCache, look.excavatorArm, hinge, look.excavatorAngle);
    cableModel = modelCache.GetModel(look.excavatorCable);
}

Excavator::~Excavator() { Release(); }

void Excavator::Draw() {
    DrawAt(world, bodyModel);
    DrawAt(world, cableModel);
    if (arm) arm->Draw();
}

void Excavator::Release() {
    if (!arm) return;
    arm->instance->Stop();
    arm->instance.reset();
    arm->sound.reset();
    delete arm;
    arm = nullptr;
}
