// Every model the game loads: present, readable, textures beside it, and
// shaped the way the game places and probes it.

#include "ContentModel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

namespace {

const char* const kModels[] = {
    "Bike/bike001.gltf", "Bike/bike002.gltf", "Bike/bike003.gltf", "Bike/wheel002.gltf",
    "Course/Road/road.gltf", "Course/Ground/ground01.gltf", "Course/Wall/wall.gltf", "Course/Wall/wall02.gltf",
    "Obstacle/WoodBox/WoodBox.gltf", "Obstacle/WoodBox/Fragment1.gltf", "Obstacle/WoodBox/Fragment2.gltf",
    "Obstacle/WoodBox/Fragment3.gltf", "Obstacle/Switch/switchOFF.gltf", "Obstacle/Switch/switchON.gltf",
    "Obstacle/Switch/WallSwitchOFF.gltf", "Obstacle/Switch/WallSwitchON.gltf", "Obstacle/Dash/Dash.gltf",
    "Obstacle/Excavator/excavator.gltf", "Obstacle/Excavator/cable.gltf", "Obstacle/Excavator/ExcavatorArm00.gltf",
    "Sky/sky.gltf",
};

const Vector3 kDown{0, -1, 0};

ContentModel Load(const char* rel) {
    ContentModel m = LoadContentModel(DataPath(rel));
    EXPECT_TRUE(m.ok) << rel << ": " << m.error;
    return m;
}

TEST(ModelContent, EveryModelLoadsWithItsTexturesBesideIt) {
    for (const char* rel : kModels) {
        SCOPED_TRACE(rel);
        ContentModel m = Load(rel);
        ASSERT_TRUE(m.ok);
        EXPECT_GT(m.TriangleCount(), 0u);
        const auto dir = std::filesystem::path(DataPath(rel)).parent_path();
        for (const std::string& uri : m.images) EXPECT_TRUE(std::filesystem::exists(dir / uri)) << uri;
    }
    EXPECT_TRUE(std::filesystem::exists(DataPath("Txt/check.txt")));
    EXPECT_TRUE(std::filesystem::exists(DataPath("Txt/Box.txt")));
}

TEST(ModelContent, ProbedModelsStaySmallForPerFrameRayQueries) {
    // every bike casts rays against these each frame, brute force
    EXPECT_LT(Load("Course/Road/road.gltf").TriangleCount(), 4000u);
    EXPECT_LT(Load("Course/Wall/wall.gltf").TriangleCount(), 6000u);
    EXPECT_LT(Load("Course/Wall/wall02.gltf").TriangleCount(), 200u);
    EXPECT_LT(Load("Obstacle/WoodBox/WoodBox.gltf").TriangleCount(), 200u);
    EXPECT_LT(Load("Obstacle/Dash/Dash.gltf").TriangleCount(), 200u);
}

TEST(ModelContent, DashPanelTopsLieUnderTheBikesAndAboveTheRoad) {
    ContentModel dash = Load("Obstacle/Dash/Dash.gltf");
    ContentModel road = Load("Course/Road/road.gltf");
    struct Panel { Vector3 at; float heading; };
    for (Panel p : {Panel{{-18.5f, 0.05f, 72.0f}, 0.0f}, Panel{{-50.0f, 0.05f, 30.0f}, 180.0f}}) {
        const Matrix world = Matrix::CreateRotationY(p.heading * kDegToRad) * Matrix::CreateTranslation(p.at);
        // the middle and well inside the edges, where a bike rides over it
        for (float dx : {-1.0f, 0.0f, 1.0f})
            for (float dz : {-1.5f, 0.0f, 1.5f}) {
                const Vector3 o{p.at.x + dx, 0.2f, p.at.z + dz};
                RayHit panel = CastRay(dash, world, o, kDown);
                RayHit ground = CastRay(road, Matrix(), o, kDown);
                ASSERT_TRUE(panel.hit) << o.x << ", " << o.z;
                ASSERT_TRUE(ground.hit);
                EXPECT_LT(panel.distance, ground.distance) << "panel hidden under the road";
                EXPECT_GT(ground.distance - panel.distance, 0.01f);
            }
    }
}

TEST(ModelContent, DashArrowsScrollInTheDrivingDirection) {
    // The offset grows in v, so the picture moves towards smaller v: v must
    // fall towards the panel's front (+Z) on its top face.
    ContentModel dash = Load("Obstacle/Dash/Dash.gltf");
    const float top = dash.Max().y;
    float vFront = 0, vBack = 0;
    int nf = 0, nb = 0;
    for (const auto& n : dash.nodes)
        for (size_t i = 0; i < n.positions.size(); ++i)
            if (n.positions[i].y > top - 1e-4f) {
                if (n.positions[i].z > 0) vFront += n.uvs[i].y, ++nf;
                else vBack += n.uvs[i].y, ++nb;
            }
    ASSERT_GT(nf, 0);
    ASSERT_GT(nb, 0);
    EXPECT_LT(vFront / nf, vBack / nb);
}

TEST(ModelContent, SwitchPadsAreHitFromTheBikesAndShowAboveTheRoad) {
    ContentModel road = Load("Course/Road/road.gltf");
    struct Pad { const char* model; Vector3 at; };
    // the floor switch sits at y 0.1; a wall switch at its position raised by 0.1
    const Pad pads[] = {
        {"Obstacle/Switch/switchOFF.gltf", {-50, 0.1f, 60}},     {"Obstacle/Switch/switchON.gltf", {-50, 0.1f, 60}},
        {"Obstacle/Switch/WallSwitchOFF.gltf", {-27, 0.1f, -25}}, {"Obstacle/Switch/WallSwitchON.gltf", {-27, 0.1f, -25}},
        {"Obstacle/Switch/WallSwitchOFF.gltf", {-27, 0.1f, -33.5f}}, {"Obstacle/Switch/WallSwitchON.gltf", {-27, 0.1f, -33.5f}},
    };
    for (const Pad& p : pads) {
        SCOPED_TRACE(p.model);
        ContentModel pad = Load(p.model);
        const Vector3 o{p.at.x, 0.2f, p.at.z};
        RayHit hp = CastRay(pad, Matrix::CreateTranslation(p.at), o, kDown);
        RayHit hr = CastRay(road, Matrix(), o, kDown);
        ASSERT_TRUE(hp.hit);
        ASSERT_TRUE(hr.hit);
        EXPECT_LT(hp.distance, hr.distance);
        // about as wide as the switch's reach of 0.9
        EXPECT_NEAR(pad.Max().x - pad.Min().x, 1.9f, 0.25f);
    }
}

TEST(ModelContent, WoodBoxStandsOnItsOriginAndMeetsTheForwardProbe) {
    ContentModel box = Load("Obstacle/WoodBox/WoodBox.gltf");
    EXPECT_NEAR(box.Min().y, 0.0f, 1e-4f);
    EXPECT_GE(box.Max().y, 0.6f);
    EXPECT_NEAR(box.Min().x + box.Max().x, 0.0f, 1e-4f);
    EXPECT_NEAR(box.Min().z + box.Max().z, 0.0f, 1e-4f);
    // a box resting on the ground 0.4 ahead of a bike is hit within the 0.5 reach
    const float half = box.Max().z;
    RayHit h = CastRay(box, Matrix::CreateTranslation(0, 0, half + 0.4f), {0, 0.2f, 0}, {0, 0, 1});
    ASSERT_TRUE(h.hit);
    EXPECT_NEAR(h.distance, 0.4f, 1e-3f);
}

TEST(ModelContent, WheelsTouchTheRoadAndSpinAboutX) {
    ContentModel wheel = Load("Bike/wheel002.gltf");
    const Vector3 mn = wheel.Min(), mx = wheel.Max();
    const float radius = mx.y;
    EXPECT_NEAR(mn.y, -radius, 1e-3f);
    EXPECT_NEAR(mx.z, radius, 0.02f);
    EXPECT_NEAR(mn.z, -radius, 0.02f);
    EXPECT_LT(mx.x - mn.x, radius);  // narrow along the axle
    // axle 0.23 above a bike at 0.2; the road under the start places
    ContentModel road = Load("Course/Road/road.gltf");
    RayHit h = CastRay(road, Matrix(), {0, 0.2f, -2}, kDown);
    ASSERT_TRUE(h.hit);
    const float roadTop = 0.2f - h.distance;
    EXPECT_NEAR(0.2f + 0.23f - radius, roadTop, 0.01f);
}

TEST(ModelContent, BikesFaceForwardBetweenTheirWheels) {
    struct B { const char* model; float front, rear; };
    for (B b : {B{"Bike/bike001.gltf", 0.53f, -0.56f}, B{"Bike/bike002.gltf", 0.53f, -0.56f},
                B{"Bike/bike003.gltf", 0.68f, -0.63f}}) {
        SCOPED_TRACE(b.model);
        ContentModel m = Load(b.model);
        const Vector3 mn = m.Min(), mx = m.Max();
        EXPECT_NEAR(mn.x + mx.x, 0.0f, 0.1f);           // centred
        EXPECT_GT(mx.z, b.front);                        // nose beyond the front axle
        EXPECT_LT(mn.z, b.rear);                         // tail behind the rear axle
        EXPECT_GT(mn.y, -0.05f - 1e-3f);                 // nothing under the road
        EXPECT_LT(mx.z - mn.z, 2.0f * (b.front - b.rear));
    }
    EXPECT_GT(Load("Bike/bike003.gltf").Max().y, Load("Bike/bike002.gltf").Max().y);
}

TEST(ModelContent, ExcavatorArmSwingsOverTheRoad) {
    ContentModel arm = Load("Obstacle/Excavator/ExcavatorArm00.gltf");
    ContentModel road = Load("Course/Road/road.gltf");
    const Matrix pivot = Matrix::CreateTranslation(-46.2f, 14.779f, 23.25f);
    int overRoad = 0;
    for (float angle = 30; angle <= 150; angle += 10) {
        const Matrix world = Matrix::CreateRotationZ(angle * kDegToRad) * pivot;
        // the arm stays clear of the bikes' heads
        float lowest = 1e9f, lowestX = 0;
        for (const auto& n : arm.nodes)
            for (const Vector3& p : n.positions) {
                Vector3 q = Vector3::Transform(p, n.transform * world);
                if (q.y < lowest) lowest = q.y, lowestX = q.x;
            }
        EXPECT_GT(lowest, 1.5f) << angle;
        RayHit h = CastRay(road, Matrix(), {lowestX, 0.2f, 23.25f}, {0, -1, 0});
        if (h.hit) ++overRoad;
    }
    EXPECT_GE(overRoad, 5);
}

TEST(ModelContent, SkyStaysWithinTheFarPlaneAndTheGroundReachesIt) {
    ContentModel sky = Load("Sky/sky.gltf");
    ContentModel ground = Load("Course/Ground/ground01.gltf");
    const Vector3 mn = sky.Min(), mx = sky.Max();
    // the course lies within 200 units of the origin; the far plane is at 1000
    float radius = 0;
    for (const auto& n : sky.nodes)
        for (const Vector3& p : n.positions) radius = std::max(radius, p.Length());
    EXPECT_LT(radius + 200.0f, 1000.0f);
    EXPECT_LT(mn.y, 0.0f);  // the rim dips below the horizon
    EXPECT_GT(mx.y, 100.0f);
    const Vector3 gmn = ground.Min(), gmx = ground.Max();
    EXPECT_LE(gmn.x, -radius);
    EXPECT_GE(gmx.x, radius);
    EXPECT_LE(gmn.z, -radius);
    EXPECT_GE(gmx.z, radius);
    // sand lies below the road everywhere the bikes go
    ContentModel road = Load("Course/Road/road.gltf");
    RayHit r = CastRay(road, Matrix(), {0, 0.2f, -2}, {0, -1, 0});
    RayHit g = CastRay(ground, Matrix(), {0, 0.2f, -2}, {0, -1, 0});
    ASSERT_TRUE(r.hit);
    ASSERT_TRUE(g.hit);
    EXPECT_GT(g.distance, r.distance + 0.03f);
}

}  // namespace
