#include "StageTestSupport.h"

#include "stage/DashPanel.h"
#include "stage/FloorSwitch.h"
#include "stage/ObstacleManager.h"

namespace {

class SwitchTest : public StageTest {
public:
    FloorSwitch& Switch() { return *game->obstacles->floorSwitch; }
    // As the obstacle manager drives it: the result becomes `on`.
    bool Step() {
        NewFrame();
        const bool pressed = Switch().Update();
        Switch().on = pressed;
        return pressed;
    }
    // Player `distance` along +X from the pad, moved to the origin for the
    // reach test so that the measured distance is exactly the one given.
    void PlacePlayerAt(float distance) {
        Switch().world = Matrix();
        Place(*game->player, Vector3(distance, 0.0f, 0.0f));
    }
};

TEST_F(SwitchTest, ReachIsStrictAndTheLatchClearsOnlyOutsideIt) {
    const float reach = game->player->radius + Switch().radius;
    EXPECT_FLOAT_EQ(reach, 1.3f);
    PlacePlayerAt(reach);
    EXPECT_FALSE(Step());
    EXPECT_FALSE(Switch().bikeInside[0]);

    PlacePlayerAt(1.29f);
    EXPECT_TRUE(Step());
    EXPECT_EQ(Plays("boxswitch.wav", 0), 1);
    EXPECT_TRUE(Switch().bikeInside[0]);
    EXPECT_TRUE(Step());  // held: no second click
    EXPECT_EQ(Plays("boxswitch.wav"), 0);

    // On the edge the latch stays: coming back in does not click.
    PlacePlayerAt(reach);
    EXPECT_FALSE(Step());
    EXPECT_TRUE(Switch().bikeInside[0]);
    PlacePlayerAt(1.29f);
    Step();
    EXPECT_EQ(Plays("boxswitch.wav"), 0);

    PlacePlayerAt(1.31f);
    EXPECT_FALSE(Step());
    EXPECT_FALSE(Switch().bikeInside[0]);
    PlacePlayerAt(1.29f);
    Step();
    EXPECT_EQ(Plays("boxswitch.wav", 0), 1);
}

TEST_F(SwitchTest, BikesArrivingTogetherBothClickALateArrivalClicksAfterRelease) {
    const Vector3 centre = Switch().world.Translation();
    Place(*game->player, centre + Vector3(0.5f, 0.0f, 0.0f));
    Place(*game->enemies[1], centre + Vector3(-0.5f, 0.0f, 0.0f));
    EXPECT_TRUE(Step());
    EXPECT_EQ(Plays("boxswitch.wav", 0), 1);
    ASSERT_EQ(Plays("boxswitch.wav", 1), 1);
    EXPECT_EQ(AxAudioManager::GetInstance().GetFramePlays().back().pos, centre);

    // The first computer bike arrives while the switch is held: no click, no latch.
    Place(*game->enemies[0], centre);
    EXPECT_TRUE(Step());
    EXPECT_EQ(Plays("boxswitch.wav"), 0);
    EXPECT_FALSE(Switch().bikeInside[1]);
    // It keeps the switch held alone, still silent; it clicks once it has
    // let the switch go and comes back.
    Place(*game->player, Vector3(0.0f, 0.2f, 0.0f));
    Place(*game->enemies[1], Vector3(-2.0f, 0.2f, -2.0f));
    EXPECT_TRUE(Step());
    EXPECT_EQ(Plays("boxswitch.wav"), 0);
    Place(*game->enemies[0], Vector3(-2.0f, 0.2f, 0.0f));
    EXPECT_FALSE(Step());
    Place(*game->enemies[0], centre);
    EXPECT_TRUE(Step());
    EXPECT_EQ(Plays("boxswitch.wav", 1), 1);
}

class DashTest : public StageTest {
public:
    void Step() {
        NewFrame();
        for (DashPanel* panel : game->dashPanels) panel->Update();
    }
};

TEST_F(DashTest, SeenInOneFrameBoostedInTheNextEverySecondFrameWhileOver) {
    ASSERT_EQ(game->dashPanels.size(), 2u);
    DashPanel& panel = *game->dashPanels[0];
    Place(*game->player, Vector3(-18.5f, 0.2f, 72.0f), 0.0f, 0.3f);
    for (int f = 0; f < 6; ++f) {
        game->player->speed = 0.3f;
        Step();
        if (f % 2 == 0) {
            EXPECT_EQ(Plays("dash.wav", 0), 1) << f;
            EXPECT_TRUE(panel.bikeOnPanel[0]);
            EXPECT_FLOAT_EQ(game->player->speed, 0.3f);
        } else {
            EXPECT_EQ(Plays("dash.wav"), 0) << f;
            EXPECT_FALSE(panel.bikeOnPanel[0]);
            EXPECT_FLOAT_EQ(game->player->speed, 0.7f);
        }
    }
    EXPECT_NEAR(panel.uvOffset.y, 0.3f, 1e-5f);

    // The turned panel finds a computer bike at its unchanged place, heard there.
    Place(*game->player, Vector3(0.0f, 0.2f, 0.0f));
    Place(*game->enemies[0], Vector3(-50.0f, 0.2f, 30.0f), 90.0f, 0.2f);
    Step();
    ASSERT_EQ(Plays("dash.wav", 1), 1);
    EXPECT_EQ(AxAudioManager::GetInstance().GetFramePlays().back().pos, Vector3(-50.0f, 0.05f, 30.0f));
    Step();
    EXPECT_FLOAT_EQ(game->enemies[0]->speed, 0.7f);
    EXPECT_FALSE(game->dashPanels[1]->bikeOnPanel[0]);
}

}  // namespace
