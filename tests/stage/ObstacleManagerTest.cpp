#include "StageTestSupport.h"

#include "bike/CollisionHelper.h"
#include "scene/PointFile.h"
#include "stage/Excavator.h"
#include "stage/FloorSwitch.h"
#include "stage/ObstacleManager.h"

#include <cmath>

namespace {

class ObstacleTest : public StageTest {
public:
    ObstacleManager& Obstacles() { return *game->obstacles; }

    // One manager update as the scene makes it, with this frame's sounds kept.
    void Step() {
        NewFrame();
        Obstacles().Update(*game->modelCache);
    }
    // A frame with the player on the floor switch, then the player back at the start.
    void PressOnce() {
        Place(*game->player, game->obstacles->floorSwitch->position + Vector3(0.0f, 0.1f, 0.0f));
        Step();
        Place(*game->player, Vector3(0.0f, 0.2f, 0.0f));
    }
    void RunUntilArmRests() {
        for (int i = 0; i < 200 && Obstacles().ArmMoving(); ++i) Step();
    }
    // Puts the bike 0.3 short of the box's face, heading straight at it.
    void PlaceBefore(Bike_base& bike, const WoodBox& box, float speed) {
        const Vector3 from(box.position.x, 0.2f, box.position.z - 5.0f);
        float distance = 0.0f;
        Vector3 normal;
        ASSERT_TRUE(CollisionHelper::GetInstance().RayToModel(box.model, box.world, from, Vector3(0, 0, 1), distance,
                                                              normal));
        Place(bike, from + Vector3(0.0f, 0.0f, distance - 0.3f), 0.0f, speed);
    }
    void LandAllBoxes() {
        for (WoodBox* box : Obstacles().boxes) box->Lift(0.0f);
        PressOnce();
        RunUntilArmRests();
    }
};

TEST(BoxFileTest, CountOnlyFileGivesNoPointsAndTheRealFileAtMostEight) {
    const auto dir = std::filesystem::temp_directory_path() / "vorlan-stage-box";
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "zero.txt") << "0";
    EXPECT_TRUE(ReadPointFile((dir / "zero.txt").string(), ObstacleManager::kMaxBoxes).empty());
    std::ofstream(dir / "many.txt") << "10\n" << std::string(10 * 6, ' ') + "1 2 3\n4 5 6\n7 8 9 1 1 1 2 2 2 3 3 3 4 4 4 5 5 5 6 6 6 7 7 7\n";
    const auto points = ReadPointFile((dir / "many.txt").string(), ObstacleManager::kMaxBoxes);
    ASSERT_EQ(points.size(), 8u);
    EXPECT_EQ(points[1], Vector3(4, 5, 6));
    std::filesystem::remove_all(dir);
}

TEST_F(ObstacleTest, BuildsFromTheBoxFileAndDropsTheLoadFragment) {
    const auto file = ReadPointFile(game->courseData.gameplay.boxFile, ObstacleManager::kMaxBoxes);
    ASSERT_EQ(Obstacles().boxes.size(), file.size());
    ASSERT_FALSE(file.empty());
    for (size_t i = 0; i < file.size(); ++i) {
        EXPECT_EQ(Obstacles().BoxPosition(i), file[i]);
        EXPECT_FALSE(Obstacles().boxActive[i]);
    }
    ASSERT_EQ(Obstacles().fragments.size(), 1u);
    Step();
    EXPECT_TRUE(Obstacles().fragments.empty());
    EXPECT_FLOAT_EQ(Obstacles().ArmAngle(), 30.0f);
}

TEST_F(ObstacleTest, NothingMovesOrBreaksBeforeTheFirstPress) {
    ObstacleManager& o = Obstacles();
    for (WoodBox* box : o.boxes) box->Lift(0.0f);  // reachable from the road height
    for (size_t i = 0; i < o.boxes.size(); ++i) {
        PlaceBefore(*game->player, *o.boxes[i], 0.4f);
        for (int f = 0; f < 3; ++f) Step();
        EXPECT_FLOAT_EQ(game->player->speed, 0.4f);
        EXPECT_EQ(o.boxes[i]->position.y, 0.0f);
        EXPECT_EQ(Plays("boxhit.wav"), 0);
    }
    EXPECT_TRUE(o.fragments.empty());
    EXPECT_FALSE(o.ArmMoving());
}

TEST_F(ObstacleTest, ABoxOnTheGroundLandsSilentlyAHighOneSoundsOnce) {
    ObstacleManager& o = Obstacles();
    ASSERT_GE(o.boxes.size(), 2u);
    o.boxes[0]->Lift(0.0f);
    o.boxes[1]->Lift(5.0f);
    const Vector3 ground = o.boxes[0]->position, high = o.boxes[1]->position;
    auto soundsAt = [](const Vector3& p) {
        int n = 0;
        for (const AxSoundPlayRecord& play : AxAudioManager::GetInstance().GetFramePlays())
            if (play.file.ends_with("boxfall.wav") && play.is3D && play.pos.x == p.x && play.pos.z == p.z) ++n;
        return n;
    };
    PressOnce();
    EXPECT_TRUE(o.boxActive[0] && o.boxActive[1]);
    int groundSounds = 0, highSounds = 0, landingFrame = -1, soundFrame = -1;
    for (int f = 0; f < 60; ++f) {
        const float before = o.boxes[1]->position.y;
        Step();
        groundSounds += soundsAt(ground);
        if (soundsAt(high)) {
            ++highSounds;
            soundFrame = f;
        }
        if (before > 0.0f && o.boxes[1]->position.y == 0.0f) landingFrame = f;
    }
    EXPECT_EQ(groundSounds, 0);
    EXPECT_EQ(highSounds, 1);
    EXPECT_EQ(soundFrame, landingFrame);
    EXPECT_GT(landingFrame, 20);  // 5.0 takes about 31 frames to fall
    EXPECT_EQ(o.boxes[0]->position.y, 0.0f);
    EXPECT_EQ(o.boxes[1]->fallSpeed, 0.0f);
}

TEST_F(ObstacleTest, SmashCutsSpeedThrowsTwentyFragmentsAndLiftsTheBox) {
    ObstacleManager& o = Obstacles();
    LandAllBoxes();
    Step();
    ASSERT_TRUE(o.fragments.empty());
    const struct { float before, after; } cases[] = {{0.4f, 0.1f}, {0.25f, 0.05f}, {0.1f, -0.1f}};
    for (size_t i = 0; i < 3; ++i) {
        WoodBox& box = *o.boxes[i];
        PlaceBefore(*game->player, box, cases[i].before);
        const size_t fragmentsBefore = o.fragments.size();
        Step();
        EXPECT_NEAR(game->player->speed, cases[i].after, 1e-6f) << i;
        EXPECT_EQ(Plays("boxhit.wav", 0), 1);
        EXPECT_EQ(Plays("boxhit.wav", 1), 0);
        EXPECT_FALSE(o.boxActive[i]);
        EXPECT_EQ(box.position.y, ObstacleManager::kLiftHeight);
        EXPECT_EQ(o.fragments.size(), fragmentsBefore + 20);
        // Waiting: another frame in front of it does nothing.
        Step();
        EXPECT_EQ(Plays("boxhit.wav"), 0);
    }
    game->player->Move();
    EXPECT_EQ(game->player->speed, 0.0f);
    // Fragments fall out of sight within 91 frames.
    for (int f = 0; f < 95; ++f) Step();
    EXPECT_TRUE(o.fragments.empty());
}

TEST_F(ObstacleTest, PlayerWinsABoxOverAComputerBikeInTheSameFrame) {
    ObstacleManager& o = Obstacles();
    LandAllBoxes();
    PlaceBefore(*game->player, *o.boxes[0], 0.4f);
    PlaceBefore(*game->enemies[0], *o.boxes[0], 0.4f);
    Step();
    EXPECT_NEAR(game->player->speed, 0.1f, 1e-6f);
    EXPECT_FLOAT_EQ(game->enemies[0]->speed, 0.4f);
    EXPECT_EQ(Plays("boxhit.wav", 0), 1);
    EXPECT_EQ(Plays("boxhit.wav", 1), 0);
    EXPECT_EQ(o.fragments.size(), 20u);

    // A computer bike alone is heard at the box, on the ground.
    PlaceBefore(*game->enemies[1], *o.boxes[1], 0.4f);
    const Vector3 at = o.boxes[1]->position;
    Step();
    ASSERT_EQ(Plays("boxhit.wav", 1), 1);
    const AxSoundPlayRecord& play = AxAudioManager::GetInstance().GetFramePlays().back();
    EXPECT_EQ(play.pos, Vector3(at.x, 0.0f, at.z));
    EXPECT_NEAR(game->enemies[1]->speed, 0.1f, 1e-6f);
}

TEST_F(ObstacleTest, SwingLastsOneHundredTwentyOneUpdatesAndRepeatsWhileHeld) {
    ObstacleManager& o = Obstacles();
    PressOnce();  // update 1 of the swing
    EXPECT_EQ(Plays("excavator.wav", 1), 1);
    EXPECT_TRUE(o.switchOn);
    int updates = 1, sounds = 1;
    float lowest = 1000.0f, highest = -1000.0f;
    while (o.ArmMoving() && updates < 500) {
        Step();
        ++updates;
        sounds += Plays("excavator.wav");
        lowest = std::min(lowest, o.ArmAngle());
        highest = std::max(highest, o.ArmAngle());
    }
    EXPECT_EQ(updates, 121);
    EXPECT_EQ(sounds, 1);
    EXPECT_FLOAT_EQ(lowest, 30.0f);
    EXPECT_FLOAT_EQ(highest, 150.0f);
    Step();
    EXPECT_FLOAT_EQ(o.ArmAngle(), 30.0f);  // at rest without a press

    // Held: swing after swing, each with its own sound.
    Place(*game->player, game->obstacles->floorSwitch->position);
    int starts = 0;
    for (int f = 0; f < 243; ++f) {
        Step();
        starts += Plays("excavator.wav");
    }
    EXPECT_EQ(starts, 3);
    EXPECT_TRUE(o.ArmMoving());
}

TEST_F(ObstacleTest, ASmashedBoxWaitsAtNineUntilAPressAfterTheSwing) {
    ObstacleManager& o = Obstacles();
    for (WoodBox* box : o.boxes) box->Lift(0.0f);
    PressOnce();
    ASSERT_TRUE(o.ArmMoving());
    PlaceBefore(*game->enemies[0], *o.boxes[0], 0.3f);
    Step();
    ASSERT_FALSE(o.boxActive[0]);
    Place(*game->enemies[0], Vector3(-2.0f, 0.2f, 0.0f));
    RunUntilArmRests();
    for (int f = 0; f < 30; ++f) Step();
    EXPECT_FALSE(o.boxActive[0]);
    EXPECT_EQ(o.boxes[0]->position.y, 9.0f);

    PressOnce();
    EXPECT_TRUE(o.boxActive[0]);
    int landed = -1;
    for (int f = 0; f < 60 && landed < 0; ++f) {
        Step();
        if (o.boxes[0]->position.y == 0.0f) landed = f;
    }
    // About 42 frames from 9.0 with 0.01 per frame per frame.
    EXPECT_NEAR(landed, 40, 2);
}

TEST_F(ObstacleTest, WithoutBoxesTheSwitchStillSwingsTheArm) {
    ObstacleManager& o = Obstacles();
    for (WoodBox* box : o.boxes) delete box;
    o.boxes.clear();
    PressOnce();
    EXPECT_TRUE(o.ArmMoving());
    EXPECT_EQ(Plays("excavator.wav", 1), 1);
}

}  // namespace
