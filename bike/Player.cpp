#include "bike/Player.h"

#include "bike/Enemy.h"
#include "framework/audio/AxSoundEffect.h"
#include "framework/graphics/AxModelCache.h"
#include "framework/platform/Platform.h"
#include "scene/Game.h"

namespace {
// 1 ahead of both rivals, 3 behind both, 2 between; 0 when equal to exactly
// one of them (the rank stands), -1 when equal to both (the next tier decides).
template <class T>
int Tier(T mine, T a, T b) {
    if (mine == a && mine == b) return -1;
    if (mine == a || mine == b) return 0;
    if (mine > a && mine > b) return 1;
    if (mine < a && mine < b) return 3;
    return 2;
}

void MakeSound(std::shared_ptr<AxSoundEffect>& sound, std::shared_ptr<AxSoundInstance>& instance, const char* path,
               float volume) {
    sound = std::make_shared<AxSoundEffect>();
    sound->Load(path);
    instance = sound->CreateInstance(false);
    instance->SetVolume(volume);
}
}  // namespace

Player::Player(Game& game, AxModelCache& modelCache, const Vector3& start, float heading) : Bike_base(game) {
    model = modelCache.GetModel("Data/Bike/bike001.gltf");
    headingWorld = world;
    position = start;
    yaw = heading;
    world = Matrix::CreateTranslation(position);
    wheels = new BikeWheels(game, modelCache, world);
    wallHitInstance = wallHitSound->CreateInstance(false);
    wallHitInstance->SetVolume(wallHitVolume);
    lapSounded = lap;
    rank = prevRank = 1;
    MakeSound(goalSound, goalInstance, "Data/Sound/goal.wav", soundVolume);
    MakeSound(rankUpSound, rankUpInstance, "Data/Sound/rankUp.wav", soundVolume);
    MakeSound(rankDownSound, rankDownInstance, "Data/Sound/rankDown.wav", soundVolume);
    MakeSound(lapSound, lapInstance, "Data/Sound/lap1.wav", soundVolume);
    goalPlayed = false;
    rankSoundCooldown = 0;
}

Player::~Player() {
    goalInstance.reset();
    goalSound.reset();
    lapInstance.reset();
    lapSound.reset();
    rankUpInstance.reset();
    rankUpSound.reset();
    rankDownInstance.reset();
    rankDownSound.reset();
}

void Player::Update() {
    IPlatform& keys = Platform();
    // The autopilot only drives in the race, never on the title screen.
    const bool autopilot = game.autopilot && game.mode == 0;

    hitWall = HitWall();
    if (hitWall && !wallHitLatched) {
        wallHitInstance->Play(false, true);
        wallHitLatched = true;
    }
    if (!hitWall) wallHitLatched = false;

    UpdateCheckpoint();
    if (lapSounded < lap && lap < finishLap) {
        lapInstance->Play(false, true);
        lapSounded = lap;
    }

    if (keys.IsKeyDown(Key::Z) || autopilot) Throttle();
    else accelerating = false;

    if (lap < finishLap) {
        if (game.Countdown() <= 0) {
            if (autopilot) {
                SteerToCheckpoint();
            } else {
                if (speed > 0.0f && keys.IsKeyDown(Key::Right)) TurnRight();
                if (speed > 0.0f && keys.IsKeyDown(Key::Left)) TurnLeft();
            }
        }
    } else {
        if (!goalPlayed) {
            goalInstance->Play(false, true);
            goalPlayed = true;
        }
        SteerToCheckpoint();
    }

    Move();
    GetRank();

    if (lap < finishLap && game.Countdown() == 0) {
        if (prevRank != rank) {
            if (rank < prevRank && rankSoundCooldown == 0) {
                rankUpInstance->Play(false, true);
                rankSoundCooldown = kRankSoundCooldown;
            }
            if (rank > prevRank && rankSoundCooldown == 0) {
                rankDownInstance->Play(false, true);
                rankSoundCooldown = kRankSoundCooldown;
            }
            prevRank = rank;
        }
        if (rankSoundCooldown > 0) rankSoundCooldown -= 1;
    }
}

uint32_t Player::GetRank() {
    if (lap >= finishLap) return rank;
    const Enemy* a = game.enemies[0];
    const Enemy* b = game.enemies[1];
    if (!a || !b) return rank;  // ranks need both rivals
    int tier = Tier(lap, a->lap, b->lap);
    if (tier < 0) tier = Tier(checkpointIndex, a->checkpointIndex, b->checkpointIndex);
    if (tier < 0) {
        // Nearer to the target is ahead: compare negated distances.
        tier = Tier(-toCheckpoint.Length(), -a->toCheckpoint.Length(), -b->toCheckpoint.Length());
        if (tier < 0) tier = 0;
    }
    if (tier > 0) rank = static_cast<uint32_t>(tier);
    return rank;
}
