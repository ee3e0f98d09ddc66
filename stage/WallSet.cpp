#include "stage/WallSet.h"

#include "bike/CollisionHelper.h"
#include "framework/MotionBlend.h"
#include "framework/audio/AxSoundEffect.h"
#include "framework/graphics/AxModelCache.h"
#include "framework/graphics/AxShaderManager.h"
#include "stage/CoursePlaces.h"
#include "stage/WallSwitch.h"

namespace {
constexpr float kSlideStep = 0.2f;
constexpr float kRaisedOffset = 3.5f;
constexpr float kLoweredOffset = -3.0f;
constexpr float kCurveDistance = 10.5f;
constexpr float kVolume = 100.0f;

void DrawAt(const Matrix& world, const AxModel* model) {
    AxModelShader& shader = AxShaderManager::GetInstance().modelShader;
    shader.worldMatrix = world;
    shader.DrawModel(model, nullptr);
}
}  // namespace

Wall::Wall(AxModelCache& modelCache, const std::string& path) : model(modelCache.GetModel(path)) {}

bool Wall::PushOut(const Vector3& origin, const Vector3& direction, float& distance, Vector3& push) const {
    return CollisionHelper::GetInstance().PushOut(model, world, origin, direction, distance, push);
}

MovingWall::MovingWall(AxModelCache& modelCache, const std::string& path, const Matrix& placement, float angle)
    : model(modelCache.GetModel(path)),
      rotation(Matrix::CreateRotationY(angle * kDegToRad)),
      placement(placement) {
    float sine, cosine;
    SinCosDegrees(angle, sine, cosine);
    leftward = {-cosine, 0.0f, sine};
    world = rotation * placement;
    sound = std::make_shared<AxSoundEffect>();
    sound->Load("Data/Sound/Wall/movewall.wav");
    instance = sound->CreateInstance(true);
    instance->SetCurveDistanceScaler(kCurveDistance);
    instance->SetVolume(kVolume);
}

MovingWall::~MovingWall() {
    instance.reset();
    sound.reset();
}

bool MovingWall::PushOut(const Vector3& origin, const Vector3& direction, float& distance, Vector3& push) const {
    return CollisionHelper::GetInstance().PushOut(model, world, origin, direction, distance, push);
}

void MovingWall::Update(bool trigger) {
    // Every trigger reverses the gate; the first one raises it.
    if (trigger) {
        if (!raising) {
            raising = true;
            lowering = false;
        } else {
            lowering = true;
            raising = false;
        }
        soundPlayed = false;
    }
    // The flags stay set at the end stop; the sound plays once per trigger.
    if (raising) {
        offset += kSlideStep;
        if (!soundPlayed) {
            instance->Play3D(world.Translation(), false, true);
            soundPlayed = true;
        }
        if (offset > kRaisedOffset) offset = kRaisedOffset;
    }
    if (lowering) {
        offset -= kSlideStep;
        if (!soundPlayed) {
            instance->Play3D(world.Translation(), false, true);
            soundPlayed = true;
        }
        if (offset < kLoweredOffset) offset = kLoweredOffset;
    }
    instance->SetPosition(world.Translation());
    instance->Apply3D();
    slide = Matrix::CreateTranslation(leftward.x * offset, 0.0f, leftward.z * offset);
    world = rotation * placement * slide;
}

WallSet::WallSet(Game& game, AxModelCache& modelCache, const CourseGameplay& course) {
    wall = new Wall(modelCache, course.wallModel);
    movingWall = new MovingWall(modelCache, course.gateModel, Matrix::CreateTranslation(ToVector(course.gate.at)),
                                course.gate.angle);
    trigger = false;
    for (int i = 0; i < 2; ++i) {
        switches.push_back(new WallSwitch(game, modelCache, ToVector(course.wallSwitches[i])));
        switchOn[i] = false;
        switchLatched[i] = false;
    }
}

WallSet::~WallSet() { Release(); }

void WallSet::Update() {
    for (size_t i = 0; i < switches.size() && i < 2; ++i) {
        const bool on = switches[i]->Update();
        switchOn[i] = on;
        switches[i]->on = on;
        // One trigger per press, however long the switch is held.
        if (!on) {
            switchLatched[i] = false;
        } else if (!switchLatched[i]) {
            switchLatched[i] = true;
            trigger = true;
        }
    }
    if (movingWall) movingWall->Update(trigger);
    trigger = false;
}

void WallSet::Draw() {
    if (wall) DrawAt(wall->world, wall->model);
    if (movingWall) DrawAt(Motion().World(movingWall, movingWall->world), movingWall->model);
    for (WallSwitch* wallSwitch : switches) wallSwitch->Draw();
}

void WallSet::Release() {
    delete wall;
    wall = nullptr;
    delete movingWall;
    movingWall = nullptr;
    for (WallSwitch* wallSwitch : switches) delete wallSwitch;
    switches.clear();
    switches.shrink_to_fit();
}
