#include "StageTestSupport.h"

#include "stage/WallSet.h"
#include "stage/WallSwitch.h"

namespace {

const Vector3 kFirstSwitch(-27.0f, 0.2f, -25.0f);
const Vector3 kSecondSwitch(-27.0f, 0.2f, -33.5f);

class WallTest : public StageTest {
public:
    WallSet& Walls() { return *game->walls; }
    MovingWall& Gate() { return *game->walls->movingWall; }
    int Step() {
        NewFrame();
        Walls().Update();
        return Plays("movewall.wav", 1);
    }
    void Away(Bike_base& bike) { Place(bike, Vector3(0.0f, 0.2f, 0.0f)); }
};

TEST_F(WallTest, AHeldSwitchTriggersOnceAndTheGateStopsAtItsEnds) {
    EXPECT_EQ(Gate().world.Translation().z, -30.0f);
    Place(*game->player, kFirstSwitch);
    int sounds = 0;
    for (int f = 0; f < 40; ++f) sounds += Step();
    EXPECT_EQ(sounds, 1);
    EXPECT_TRUE(Walls().switchOn[0]);
    EXPECT_TRUE(Gate().raising);
    EXPECT_FLOAT_EQ(Gate().offset, 3.5f);
    EXPECT_FLOAT_EQ(Gate().world.Translation().z, -26.5f);
    EXPECT_EQ(Walls().switches[0]->on, true);

    // Leave and come back: the second trigger lowers it to -3.0.
    Away(*game->player);
    Step();
    EXPECT_FALSE(Walls().switchOn[0]);
    Place(*game->player, kFirstSwitch);
    sounds = 0;
    int frames = 0;
    for (; frames < 60 && Gate().offset > -3.0f; ++frames) sounds += Step();
    EXPECT_EQ(sounds, 1);
    EXPECT_EQ(frames, 33);
    for (int f = 0; f < 5; ++f) sounds += Step();
    EXPECT_EQ(sounds, 1);
    EXPECT_TRUE(Gate().lowering);
    EXPECT_FLOAT_EQ(Gate().world.Translation().z, -33.0f);
}

TEST_F(WallTest, TheOtherSwitchReversesAtOnceAndTwoPressesInOneFrameCountOnce) {
    Place(*game->player, kFirstSwitch);
    EXPECT_EQ(Step(), 1);
    Step();
    Step();
    const float risen = Gate().offset;
    EXPECT_NEAR(risen, 0.6f, 1e-5f);
    Place(*game->enemies[0], kSecondSwitch);
    EXPECT_EQ(Step(), 1);
    EXPECT_TRUE(Gate().lowering);
    EXPECT_NEAR(Gate().offset, risen - 0.2f, 1e-5f);

    // Both released, then both pressed anew in one frame: a single reversal.
    Away(*game->player);
    Away(*game->enemies[0]);
    Step();
    Place(*game->player, kFirstSwitch);
    Place(*game->enemies[1], kSecondSwitch);
    const float before = Gate().offset;
    EXPECT_EQ(Step(), 1);
    EXPECT_TRUE(Gate().raising);
    EXPECT_NEAR(Gate().offset, before + 0.2f, 1e-5f);
    EXPECT_TRUE(Walls().switchOn[0] && Walls().switchOn[1]);
}

TEST_F(WallTest, AGateTurnedOntoAnyRoadSlidesAcrossIt) {
    // Turned to the road it stands across, the gate slides towards its own
    // left; on an axis exactly along it, elsewhere along the turned left.
    const struct {
        float angle;
        Vector3 left;
    } turns[] = {{90.0f, {0, 0, 1}}, {270.0f, {0, 0, -1}}, {0.0f, {-1, 0, 0}}, {180.0f, {1, 0, 0}}, {135.0f, {0.7071068f, 0, 0.7071068f}}};
    const Vector3 at(73.608f, 0.0f, -79.25f);
    for (const auto& turn : turns) {
        SCOPED_TRACE(turn.angle);
        MovingWall gate(*game->modelCache, "Data/Course/Wall/wall02.gltf", Matrix::CreateTranslation(at), turn.angle);
        gate.Update(true);
        for (int f = 0; f < 30; ++f) gate.Update(false);
        const Vector3 moved = gate.world.Translation() - at;
        EXPECT_NEAR(moved.x, turn.left.x * 3.5f, 1e-4f);
        EXPECT_NEAR(moved.z, turn.left.z * 3.5f, 1e-4f);
        if (turn.left.x == 0.0f) EXPECT_EQ(gate.world.Translation().x, at.x);
        if (turn.left.z == 0.0f) EXPECT_EQ(gate.world.Translation().z, at.z);
        gate.Update(true);
        for (int f = 0; f < 40; ++f) gate.Update(false);
        EXPECT_NEAR((gate.world.Translation() - at).Dot(turn.left), -3.0f, 1e-4f);
    }
}

}  // namespace
