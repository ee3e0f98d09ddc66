#include "bike/EngineSound.h"

#include "bike/Enemy.h"
#include "bike/Player.h"
#include "framework/audio/AxAudioManager.h"
#include "framework/audio/AxSoundEffect.h"
#include "framework/graphics/AxShaderManager.h"
#include "scene/Game.h"

#include <algorithm>

namespace {
const char* const kEngineFiles[3] = {"Data/Sound/Engine/low00.WAV", "Data/Sound/Engine/low01.WAV",
                                     "Data/Sound/Engine/low02.WAV"};
constexpr float kDistanceScaler = 4.5f;
// The loops were recorded at a slow idle; speed raises the pitch from there.
constexpr float kPitchOffset = 0.05f;
}  // namespace

EngineSound::EngineSound(Game& game) : game(game) {
    for (int i = 0; i < 3; ++i) {
        sounds[i] = std::make_shared<AxSoundEffect>();
        started[i] = false;
        sounds[i]->Load(kEngineFiles[i]);
        instances[i] = sounds[i]->CreateInstance(i != 0);
        if (i != 0) instances[i]->SetCurveDistanceScaler(kDistanceScaler);
        instances[i]->SetVolume(volume);
    }
}

EngineSound::~EngineSound() {
    for (int i = 0; i < 3; ++i) {
        if (instances[i]) instances[i]->Stop();
        instances[i].reset();
        sounds[i].reset();
    }
}

void EngineSound::Update() {
    if (game.player) {
        instances[0]->SetPitch(std::max(game.player->speed - kPitchOffset, 0.0f));
        if (!started[0]) {
            instances[0]->Play(true, true);
            started[0] = true;
        }
    }
    for (int i = 1; i < 3; ++i) {
        const Enemy* enemy = game.enemies[i - 1];
        if (!enemy) continue;
        const Vector3 at = enemy->world.Translation();
        instances[i]->SetPitch(enemy->speed - kPitchOffset);
        instances[i]->SetPosition(at);
        instances[i]->Apply3D();
        if (!started[i]) {
            instances[i]->Play3D(at, true, true);
            started[i] = true;
        }
    }
    if (game.player) {
        AxAudioListener& listener = AxAudioManager::GetInstance().listener;
        const Matrix& view = AxShaderManager::GetInstance().cb7Camera.data.g_mV;
        const Matrix inverse = view.Invert();
        listener.Position = game.player->world.Translation();
        listener.OrientFront = Vector3(inverse.m[2][0], inverse.m[2][1], inverse.m[2][2]);
        listener.OrientTop = Vector3(view.m[1][0], view.m[1][1], view.m[1][2]);
    }
}
