#include "stage/Switch_base.h"

#include "bike/Enemy.h"
#include "bike/Player.h"
#include "framework/audio/AxSoundEffect.h"
#include "framework/graphics/AxModelCache.h"
#include "framework/graphics/AxShaderManager.h"
#include "scene/Game.h"

Switch_base::Switch_base(Game& game, AxModelCache& modelCache, const std::string& offPath, const std::string& onPath,
                         const std::string& soundPath, const Vector3& position, const Vector3& centre)
    : offModel(modelCache.GetModel(offPath)),
      onModel(modelCache.GetModel(onPath)),
      world(Matrix::CreateTranslation(centre)),
      position(position),
      game(game) {
    for (int k = 0; k < 2; ++k) {
        sound[k] = std::make_shared<AxSoundEffect>();
        sound[k]->Load(soundPath);
    }
    instance[0] = sound[0]->CreateInstance(false);
    instance[1] = sound[1]->CreateInstance(true);
    instance[1]->SetCurveDistanceScaler(kCurveDistance);
    instance[0]->SetVolume(volume);
    instance[1]->SetVolume(volume);
}

bool Switch_base::Update() {
    const Vector3 p = world.Translation();
    const Bike_base* bikes[3] = {game.player, game.enemies[0], game.enemies[1]};
    bool pressed = false;
    for (int k = 0; k < 3; ++k) {
        if (bikes[k]) {
            const float d = (p - bikes[k]->position).Length();
            const float reach = bikes[k]->radius + radius;
            // Only a switch nobody held last frame clicks; a bike arriving on
            // a held switch stays unlatched and clicks once it is released.
            if (reach > d && !bikeInside[k] && !on) {
                if (k == 0) instance[0]->Play(false, true);
                else instance[1]->Play3D(p, false, true);
                bikeInside[k] = true;
            } else if (d > reach) {
                bikeInside[k] = false;
            }
            if (reach > d) pressed = true;
        }
        if (k == 0) {
            instance[1]->SetPosition(p);
            instance[1]->Apply3D();
        }
    }
    return pressed;
}

void Switch_base::DrawModel(bool pressed) {
    AxModelShader& shader = AxShaderManager::GetInstance().modelShader;
    shader.worldMatrix = world;
    shader.DrawModel(pressed ? onModel : offModel, nullptr);
}
