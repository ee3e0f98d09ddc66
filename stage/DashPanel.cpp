#include "stage/DashPanel.h"

#include "bike/CollisionHelper.h"
#include "bike/Enemy.h"
#include "bike/Player.h"
#include "framework/audio/AxSoundEffect.h"
#include "framework/graphics/AxModelCache.h"
#include "framework/graphics/AxShaderManager.h"
#include "scene/Game.h"

#include <limits>

namespace {
constexpr float kUVScroll = 0.05f;
constexpr float kCurveDistance = 3.0f;
}  // namespace

DashPanel::DashPanel(Game& game, AxModelCache& modelCache, const std::string& modelPath, const Matrix& placement,
                     float angle)
    : model(modelCache.GetModel(modelPath)),
      placement(placement),
      rotation(Matrix::CreateRotationY(angle * kDegToRad)),
      game(game) {
    world = rotation * placement;
    for (int k = 0; k < 2; ++k) {
        sound[k] = std::make_shared<AxSoundEffect>();
        sound[k]->Load("Data/Sound/dash.wav");
    }
    instance[0] = sound[0]->CreateInstance(false);
    instance[1] = sound[1]->CreateInstance(true);
    instance[1]->SetCurveDistanceScaler(kCurveDistance);
    instance[0]->SetVolume(volume);
    instance[1]->SetVolume(volume);
}

void DashPanel::Update() {
    uvOffset.y += kUVScroll;
    Bike_base* bikes[3] = {game.player, game.enemies[0], game.enemies[1]};
    for (int k = 0; k < 3; ++k) {
        Bike_base* bike = bikes[k];
        if (bike) {
            if (!bikeOnPanel[k]) {
                float distance = std::numeric_limits<float>::max();
                Vector3 normal;
                if (CollisionHelper::GetInstance().RayToModel(model, world, bike->position,
                                                              bike->RotateByYaw(Vector3(0.0f, -1.0f, 0.0f)),
                                                              distance, normal)) {
                    bikeOnPanel[k] = true;
                    if (k == 0) instance[0]->Play(false, true);
                    else instance[1]->Play3D(world.Translation(), false, true);
                }
            } else {
                // Seen last frame: boost now. Over the panel this repeats every
                // second frame.
                bike->speed = boostSpeed;
                bikeOnPanel[k] = false;
            }
        }
        if (k == 0) {
            instance[1]->SetPosition(world.Translation());
            instance[1]->Apply3D();
        }
    }
}

void DashPanel::Draw() {
    AxModelShader& shader = AxShaderManager::GetInstance().modelShader;
    shader.cb0.data.g_UVOffset = uvOffset;
    shader.cb0.dirty = true;
    shader.worldMatrix = world;
    shader.DrawModel(model, nullptr);
    // No other model may be drawn scrolled.
    shader.cb0.data.g_UVOffset = Vector2(0.0f, 0.0f);
    shader.cb0.dirty = true;
}
