// Bikes against the walls through their own frame step: the player's plain
// wall-hit sound, a computer bike's positional one and its reflex right turn,
// the two probes and their summed pushes; and the dead band, drawn at every
// checkpoint whoever leads. The walls are given a plain box as their model,
// so every distance below is known exactly.

#include "scene/GameFixture.h"

#include "bike/Enemy.h"
#include "bike/Player.h"
#include "framework/Random.h"
#include "framework/audio/AxSoundInstance.h"
#include "framework/graphics/AxModelCache.h"
#include "stage/WallSet.h"

#include <cstdlib>

namespace {
// x and z from -0.5 to 0.5, y from 0 to 1.
constexpr const char* kBox = "Data/Obstacle/WoodBox/WoodBox.gltf";
const Matrix kFarAway = Matrix::CreateTranslation(1000.0f, 0.0f, 1000.0f);

class WallContact : public GameFixture {
protected:
    void SetUp() override {
        GameFixture::SetUp();
        if (HasFatalFailure()) return;
        box = game->modelCache->GetModel(kBox);
        ASSERT_NE(box, nullptr);
        game->walls->wall->model = box;
        game->walls->movingWall->model = box;
        game->walls->wall->world = kFarAway;
        game->walls->movingWall->world = kFarAway;
    }
    static void Place(Bike_base& bike, const Vector3& position, float yaw = 0.0f) {
        bike.position = position;
        bike.yaw = yaw;
        bike.speed = 0.0f;
        bike.world = BikeMotion::GetInstance().MakeWorld(yaw, 0.0f, position);
        bike.headingWorld = BikeMotion::GetInstance().MakeHeadingWorld(yaw, position);
    }
    // Wall-hit sounds started in the frame: plain ones and positional ones.
    static void WallHits(int& plain, int& positional, Vector3* at = nullptr) {
        plain = positional = 0;
        for (const AxSoundPlayRecord& play : AxAudioManager::GetInstance().GetFramePlays()) {
            if (play.file != "Data/Sound/Wall/wallhit.wav") continue;
            if (play.is3D) {
                ++positional;
                if (at) *at = play.pos;
            } else {
                ++plain;
            }
        }
    }
    static void NewFrame() { AxAudioManager::GetInstance().ClearFramePlays(); }
    AxModel* box = nullptr;
};
}  // namespace

TEST_F(WallContact, ThePlayerHearsOnePlainWallHitPerContinuousContact) {
    Player& player = *game->player;
    // A wide wall whose face is at z = 4.5; the bike stands 0.8 before it.
    game->walls->wall->world = Matrix::CreateScale(20.0f, 2.0f, 1.0f) * Matrix::CreateTranslation(0.0f, 0.0f, 5.0f);
    const Vector3 close(0.0f, 0.2f, 3.7f);
    int plain = 0, positional = 0, total = 0;
    for (int f = 0; f < 5; ++f) {
        Place(player, close);
        NewFrame();
        player.Update();
        EXPECT_TRUE(player.hitWall) << f;
        EXPECT_NEAR(player.position.z, 3.5f, 1e-4f) << "pushed back to the clearance";
        WallHits(plain, positional);
        EXPECT_EQ(positional, 0);
        total += plain;
        if (f == 0) {
            EXPECT_EQ(plain, 1);
        }
    }
    EXPECT_EQ(total, 1) << "one sound for the whole contact";
    // One frame clear of the wall, then a new contact: a new sound.
    Place(player, Vector3(0.0f, 0.2f, 0.0f));
    NewFrame();
    player.Update();
    EXPECT_FALSE(player.hitWall);
    EXPECT_FALSE(player.wallHitLatched);
    Place(player, close);
    NewFrame();
    player.Update();
    WallHits(plain, positional);
    EXPECT_EQ(plain, 1);
}

TEST_F(WallContact, AComputerBikeTurnsRightEvenIntoAWallOnItsRightAndHearsItAtItself) {
    Enemy& bike = *game->enemies[0];
    // A wall running from ahead of the bike to its right-hand side.
    game->walls->wall->world = Matrix::CreateScale(6.0f, 2.0f, 1.0f) * Matrix::CreateRotationY(45.0f * kDegToRad) *
                               Matrix::CreateTranslation(0.5f, 0.0f, 0.5f);
    const Vector3 start(0.0f, 0.2f, 0.0f);
    Place(bike, start);
    {
        Bike_base& probe = bike;
        ASSERT_TRUE(probe.HitWall());
        ASSERT_LT(probe.position.x, -0.3f) << "the wall is on the right: it pushes the bike to the left";
    }
    ASSERT_GT(game->Countdown(), 0) << "no checkpoint steering: only the reflex turns it";
    int plain = 0, positional = 0, total = 0;
    for (int f = 1; f <= 4; ++f) {
        Place(bike, start, bike.yaw);
        NewFrame();
        bike.Update();
        EXPECT_TRUE(bike.hitWall) << f;
        EXPECT_FLOAT_EQ(bike.yaw, 1.5f * f) << "a right turn every frame of the contact";
        EXPECT_FLOAT_EQ(bike.lean, -1.0f * f) << "two down for the turn, one back in the movement step";
        Vector3 at;
        WallHits(plain, positional, &at);
        EXPECT_EQ(plain, 0);
        if (f == 1) {
            ASSERT_EQ(positional, 1);
            EXPECT_EQ(at, start) << "played where the bike stood";
        }
        total += positional;
    }
    EXPECT_EQ(total, 1) << "once per contact";

    // Away from the wall the sound follows the bike; a new contact sounds again.
    const Vector3 away(3.0f, 0.2f, -10.0f);
    Place(bike, away);
    NewFrame();
    bike.Update();
    EXPECT_FALSE(bike.hitWall);
    EXPECT_FLOAT_EQ(bike.yaw, 0.0f);
    EXPECT_EQ(bike.wallHitInstance->emitter.Position, away);
    Place(bike, start);
    NewFrame();
    bike.Update();
    WallHits(plain, positional);
    EXPECT_EQ(positional, 1);
}

TEST_F(WallContact, TheMovingWallIsProbedHigherAndBothPushesAddUp) {
    Player& bike = *game->player;
    WallSet& walls = *game->walls;
    // The fixed wall's face 0.7 ahead: a push of 0.3.
    const Matrix fixedNear = Matrix::CreateScale(20.0f, 2.0f, 1.0f) * Matrix::CreateTranslation(0.0f, 0.0f, 1.2f);
    // The moving wall's face 0.5 ahead, its bottom at 0.3: above the bike's
    // own height of 0.2, below the moving wall's probe at 0.4.
    auto gateFrom = [](float bottom) {
        return Matrix::CreateScale(20.0f, 1.0f, 1.0f) * Matrix::CreateTranslation(0.0f, bottom, 1.0f);
    };
    auto hit = [&](const Matrix& fixed, const Matrix& gate, Vector3& position) {
        walls.wall->world = fixed;
        walls.movingWall->world = gate;
        Place(bike, Vector3(0.0f, 0.2f, 0.0f));
        const bool result = bike.HitWall();
        position = bike.position;
        return result;
    };
    Vector3 p;
    ASSERT_TRUE(hit(fixedNear, kFarAway, p));
    EXPECT_NEAR(p.z, -0.3f, 1e-5f);
    ASSERT_TRUE(hit(kFarAway, gateFrom(0.3f), p));
    EXPECT_NEAR(p.z, -0.5f, 1e-5f) << "the gate is felt from 0.2 higher";
    EXPECT_FALSE(hit(kFarAway, gateFrom(0.45f), p)) << "but no higher than that";
    // The same box as the fixed wall is not felt: that probe runs at the bike's height.
    walls.wall->world = gateFrom(0.3f);
    walls.movingWall->world = kFarAway;
    Place(bike, Vector3(0.0f, 0.2f, 0.0f));
    EXPECT_FALSE(bike.HitWall());
    // Both at once: the pushes add up.
    ASSERT_TRUE(hit(fixedNear, gateFrom(0.3f), p));
    EXPECT_NEAR(p.z, -0.8f, 1e-5f);
    EXPECT_FLOAT_EQ(p.x, 0.0f);
    EXPECT_FLOAT_EQ(p.y, 0.2f);
}

TEST_F(WallContact, TheDeadBandIsDrawnAtEveryCheckpointEvenWhileThePlayerLeads) {
    Enemy& bike = *game->enemies[0];
    ASSERT_FALSE(game->checkpoints.empty());
    const Vector3 first = game->checkpoints[0]->position;
    constexpr unsigned kSeed = 12345;
    Random::Seed(kSeed);
    const int firstDraw = Random::Next(), secondDraw = Random::Next();

    // The player leads: the band is 5, but the draw was made all the same.
    game->player->lap = 2;
    Random::Seed(kSeed);
    Place(bike, first);
    bike.UpdateCheckpoint();
    ASSERT_EQ(bike.checkpointIndex, 1u);
    ASSERT_EQ(game->player->rank, 1u);
    EXPECT_EQ(bike.steerTolerance, 5);
    EXPECT_EQ(Random::Next(), secondDraw) << "exactly one draw per checkpoint reached";

    // The player behind: the drawn band.
    game->player->lap = 1;
    game->enemies[1]->lap = 2;
    bike.lap = 2;
    bike.checkpointIndex = 0;
    Random::Seed(kSeed);
    bike.UpdateCheckpoint();
    ASSERT_EQ(bike.checkpointIndex, 1u);
    EXPECT_EQ(game->player->rank, 3u);
    EXPECT_EQ(bike.steerTolerance, firstDraw % 30);
    EXPECT_EQ(Random::Next(), secondDraw);

    // Not at a checkpoint: no draw at all.
    Place(bike, Vector3(1000.0f, 0.2f, 1000.0f));
    Random::Seed(kSeed);
    bike.UpdateCheckpoint();
    EXPECT_EQ(Random::Next(), firstDraw);
}
