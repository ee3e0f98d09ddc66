#include "race/StateHash.h"

#include "bike/Enemy.h"
#include "bike/Player.h"
#include "framework/Random.h"
#include "scene/Game.h"
#include "scene/RaceTimer.h"
#include "stage/Course.h"
#include "stage/DashPanel.h"
#include "stage/ObstacleManager.h"
#include "stage/WallSet.h"

#include <cstring>

namespace {
// FNV-1a over the values' bytes: floats by their bits, so the hash tells any
// difference in the last bit, and no value's text form is involved.
class Hash {
public:
    Hash& U(uint64_t v) {
        for (int i = 0; i < 8; ++i) Byte(static_cast<unsigned char>(v >> (8 * i)));
        return *this;
    }
    Hash& F(float v) {
        uint32_t bits = 0;
        std::memcpy(&bits, &v, sizeof bits);
        return U(bits);
    }
    Hash& V(const Vector3& v) { return F(v.x).F(v.y).F(v.z); }
    Hash& B(bool v) { return U(v ? 1 : 0); }
    uint64_t value = 14695981039346656037ull;

private:
    void Byte(unsigned char c) {
        value ^= c;
        value *= 1099511628211ull;
    }
};

void AddBike(Hash& h, const Bike_base& bike) {
    h.V(bike.position).F(bike.yaw).F(bike.lean).F(bike.speed).F(bike.maxSpeed);
    h.U(bike.lap).U(bike.checkpointIndex).U(static_cast<uint32_t>(bike.steerTolerance));
    h.B(bike.accelerating).B(bike.hitWall);
}
}  // namespace

uint64_t RaceStateHash(const Game& game) {
    Hash h;
    // The bikes, in the order the race updates them, and the player's rank.
    const Bike_base* bikes[3] = {game.player, game.enemies[0], game.enemies[1]};
    for (const Bike_base* bike : bikes) {
        h.B(bike != nullptr);
        if (bike) AddBike(h, *bike);
    }
    h.U(game.player ? game.player->rank : 0);
    // The countdown (the race clock's time is the HUD's, not the race's).
    h.U(static_cast<uint32_t>(game.Countdown()));
    // Sand under each bike.
    if (game.course)
        for (bool sand : game.course->onSand) h.B(sand);
    // The floor switch, the excavator's arm, the boxes and their fragments.
    if (const ObstacleManager* o = game.obstacles) {
        h.B(o->switchOn).B(o->activationLatched).F(o->ArmAngle()).B(o->ArmMoving());
        for (size_t i = 0; i < o->boxes.size(); ++i) {
            h.V(o->BoxPosition(i)).F(o->boxes[i]->fallSpeed);
            h.B(i < ObstacleManager::kMaxBoxes && o->boxActive[i]);
        }
        h.U(o->fragments.size());
    }
    // The gate and its two switches.
    if (const WallSet* w = game.walls; w && w->movingWall)
        h.F(w->movingWall->offset).B(w->movingWall->raising).B(w->movingWall->lowering).B(w->switchOn[0]).B(
            w->switchOn[1]);
    // Which bikes stand on each dash panel.
    for (const DashPanel* panel : game.dashPanels)
        for (bool on : panel->bikeOnPanel) h.B(on);
    // The random generator: the computer bikes' next steering draws.
    const RandomState random = Random::State();
    for (int32_t word : random.words) h.U(static_cast<uint32_t>(word));
    h.U(static_cast<uint32_t>(random.front)).U(static_cast<uint32_t>(random.rear));
    return h.value;
}
