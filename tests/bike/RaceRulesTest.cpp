// The player's rank and its sounds, the controls' conditions, the finish,
// and the engines' pitches.

#include "scene/GameFixture.h"

#include "bike/Enemy.h"
#include "bike/EngineSound.h"
#include "bike/Player.h"
#include "framework/audio/AxSoundInstance.h"
#include "scene/RaceTimer.h"

namespace {
class RaceRules : public GameFixture {
protected:
    void SetUp() override {
        GameFixture::SetUp();
        p = game->player;
        a = game->enemies[0];
        b = game->enemies[1];
        game->mode = 0;
        game->raceTimer->countdown = 0;
    }
    void Laps(uint32_t pl, uint32_t al, uint32_t bl) { p->lap = pl, a->lap = al, b->lap = bl; }
    // One player update; the sounds it played.
    std::vector<std::string> PlayerFrame() {
        AxAudioManager::GetInstance().ClearFramePlays();
        p->Update();
        std::vector<std::string> files;
        for (const auto& play : AxAudioManager::GetInstance().GetFramePlays()) files.push_back(play.file);
        return files;
    }
    Player* p = nullptr;
    Enemy* a = nullptr;
    Enemy* b = nullptr;
};
}  // namespace

TEST_F(RaceRules, RankTiers) {
    Laps(3, 2, 2);
    EXPECT_EQ(p->GetRank(), 1u);
    Laps(1, 2, 3);
    EXPECT_EQ(p->GetRank(), 3u);
    Laps(2, 1, 3);
    EXPECT_EQ(p->GetRank(), 2u);
    p->rank = 3;
    Laps(2, 2, 1);  // level with exactly one rival: the rank stands
    EXPECT_EQ(p->GetRank(), 3u);

    Laps(2, 2, 2);
    p->checkpointIndex = 5, a->checkpointIndex = 4, b->checkpointIndex = 6;
    EXPECT_EQ(p->GetRank(), 2u);
    a->checkpointIndex = 5;
    p->rank = 1;
    EXPECT_EQ(p->GetRank(), 1u);

    b->checkpointIndex = 5;  // all level: the nearest to its target leads
    p->toCheckpoint = {0, 0, 3}, a->toCheckpoint = {4, 0, 0}, b->toCheckpoint = {0, 0, 2};
    EXPECT_EQ(p->GetRank(), 2u);
    p->toCheckpoint = {0, 0, 1};
    EXPECT_EQ(p->GetRank(), 1u);
    p->toCheckpoint = {0, 0, 5};
    EXPECT_EQ(p->GetRank(), 3u);
    p->toCheckpoint = {0, 0, 4};  // equal to a rival's distance
    EXPECT_EQ(p->GetRank(), 3u);

    p->lap = 4;  // finished: frozen
    Laps(4, 9, 9);
    EXPECT_EQ(p->GetRank(), 3u);
}

TEST_F(RaceRules, RankSoundsRespectTheCooldown) {
    // The bikes sit far from every checkpoint so that only the laps decide.
    p->position = a->position = b->position = {500, 0.2f, 500};
    Laps(2, 3, 1);
    p->lapSounded = 2;
    p->rank = p->prevRank = 2;
    EXPECT_TRUE(PlayerFrame().empty());
    a->lap = 1;  // 2 -> 1
    auto played = PlayerFrame();
    EXPECT_TRUE(Played(played, "Data/Sound/rankUp.wav"));
    a->lap = 3;  // 1 -> 2 within the cooldown: silent, and not owed later
    int sounds = 0;
    for (int i = 0; i < 60; ++i) sounds += int(PlayerFrame().size());
    EXPECT_EQ(sounds, 0);
    EXPECT_EQ(p->prevRank, 2u);
    b->lap = 4;  // 2 -> 3 after the cooldown
    EXPECT_TRUE(Played(PlayerFrame(), "Data/Sound/rankDown.wav"));
}

TEST_F(RaceRules, SteeringNeedsSpeedAndTheStart) {
    Press(Key::Right);
    p->speed = 0;
    p->Update();
    EXPECT_EQ(p->yaw, 0.0f);
    game->raceTimer->countdown = 1;
    p->speed = 0.3f;
    p->Update();
    EXPECT_EQ(p->yaw, 0.0f);
    game->raceTimer->countdown = 0;
    p->Update();
    EXPECT_EQ(p->yaw, 1.5f);
    Press(Key::Left);  // both cancel in the heading
    p->Update();
    EXPECT_EQ(p->yaw, 1.5f);
}

TEST_F(RaceRules, AfterTheFinishThePlayerRidesOnByItself) {
    Press(Key::Z);
    Press(Key::Left);
    p->lap = 3;
    p->lapSounded = 3;
    p->speed = 0.4f;
    p->checkpointIndex = static_cast<uint32_t>(game->checkpoints.size());  // heading for the line
    p->position = {0, 0.2f, -10};
    auto played = PlayerFrame();
    EXPECT_EQ(p->lap, 4u);
    EXPECT_TRUE(Played(played, "Data/Sound/goal.wav"));
    EXPECT_FALSE(Played(played, "Data/Sound/lap1.wav"));
    const uint32_t rank = p->rank;
    for (int i = 0; i < 60; ++i) EXPECT_FALSE(Played(PlayerFrame(), "Data/Sound/goal.wav"));
    EXPECT_EQ(p->speed, 0.2f);
    EXPECT_EQ(p->rank, rank);
}

TEST_F(RaceRules, EnginePitchFollowsSpeed) {
    EngineSound& engine = *game->engineSound;
    p->speed = 0;
    a->speed = 0;
    b->speed = 0.4f;
    engine.Update();
    EXPECT_EQ(engine.instances[0]->GetPitch(), 0.0f);  // never below the recorded pitch
    EXPECT_FLOAT_EQ(engine.instances[1]->GetPitch(), -0.05f);
    EXPECT_FLOAT_EQ(engine.instances[2]->GetPitch(), 0.35f);
    // The positional engines follow their bikes every frame.
    a->world = Matrix::CreateTranslation(7, 0.2f, 9);
    engine.Update();
    EXPECT_EQ(engine.instances[1]->emitter.Position, Vector3(7, 0.2f, 9));
    EXPECT_EQ(AxAudioManager::GetInstance().listener.Position, p->world.Translation());
}
