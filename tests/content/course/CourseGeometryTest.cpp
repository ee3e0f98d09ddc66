// The course as the bikes meet it: downward rays onto the road, the fence,
// the gate, and the coordinate files, all read from the generated Data.

#include "ContentModel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

namespace {

constexpr float kBikeY = 0.2f;
const Vector3 kDown{0, -1, 0};

struct Points {
    bool ok = false;
    int count = -1;
    std::vector<Vector3> p;
};

// Same reading as the game: a count, then "%f %f %f" per point.
Points ReadPoints(const std::string& path) {
    Points out;
    std::FILE* f = std::fopen(path.c_str(), "r");
    if (!f) return out;
    if (std::fscanf(f, "%d\n", &out.count) == 1) {
        for (int i = 0; i < out.count && i < 1000; ++i) {
            Vector3 v;
            if (std::fscanf(f, "%f %f %f\n", &v.x, &v.y, &v.z) != 3) break;
            out.p.push_back(v);
        }
        out.ok = int(out.p.size()) == out.count;
    }
    std::fclose(f);
    return out;
}

class CourseGeometry : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        road = new ContentModel(LoadContentModel(DataPath("Course/Road/road.gltf")));
        wall = new ContentModel(LoadContentModel(DataPath("Course/Wall/wall.gltf")));
        gate = new ContentModel(LoadContentModel(DataPath("Course/Wall/wall02.gltf")));
    }
    static void TearDownTestSuite() {
        delete road;
        delete wall;
        delete gate;
    }
    void SetUp() override {
        ASSERT_TRUE(road->ok) << road->error;
        ASSERT_TRUE(wall->ok) << wall->error;
        ASSERT_TRUE(gate->ok) << gate->error;
    }
    static bool OnRoad(float x, float z) {
        RayHit h = CastRay(*road, Matrix(), {x, kBikeY, z}, kDown);
        return h.hit && h.distance < kBikeY;
    }
    static ContentModel* road;
    static ContentModel* wall;
    static ContentModel* gate;
};
ContentModel* CourseGeometry::road = nullptr;
ContentModel* CourseGeometry::wall = nullptr;
ContentModel* CourseGeometry::gate = nullptr;

TEST_F(CourseGeometry, RoadLiesJustBelowTheBikesAtEveryFixedPlace) {
    const Vector3 places[] = {{-2, 0, -2}, {0, 0, -2}, {2, 0, -2}, {0, 0, 0},  // start places, finish
                              {-18.5f, 0, 72}, {-50, 0, 30},                   // dash panels
                              {-50, 0, 60},                                    // floor switch
                              {-27, 0, -25}, {-27, 0, -33.5f}};                // wall switches
    for (const Vector3& p : places) {
        RayHit h = CastRay(*road, Matrix(), {p.x, kBikeY, p.z}, kDown);
        ASSERT_TRUE(h.hit) << p.x << ", " << p.z;
        EXPECT_GT(h.distance, 0.0f);
        EXPECT_LT(h.distance, 0.1f) << "road top too far below the bikes at " << p.x << ", " << p.z;
        EXPECT_GT(h.normal.y, 0.99f);
        // the pads and panels are 1.5 to 2 units across: the whole of them lies on the road
        for (float dx : {-2.0f, 2.0f})
            for (float dz : {-2.0f, 2.0f}) EXPECT_TRUE(OnRoad(p.x + dx, p.z + dz)) << p.x + dx << ", " << p.z + dz;
    }
}

TEST_F(CourseGeometry, EveryCheckpointIsOnTheRoadAndTheLapHasRaceLength) {
    Points cps = ReadPoints(DataPath("Txt/check.txt"));
    ASSERT_TRUE(cps.ok);
    ASSERT_GE(cps.count, 8);
    ASSERT_LE(cps.count, 58);  // the slot after the last one must stay free for the finish
    float lap = 0;
    Vector3 prev{0, kBikeY, 0};
    for (const Vector3& c : cps.p) {
        EXPECT_TRUE(OnRoad(c.x, c.z)) << c.x << ", " << c.z;
        const float step = (Vector3{c.x, 0, c.z} - Vector3{prev.x, 0, prev.z}).Length();
        // consecutive targets close enough that the bike is never sent across the infield
        EXPECT_LT(step, 25.0f) << c.x << ", " << c.z;
        lap += step;
        prev = c;
    }
    // the bikes target the origin after the last listed point
    lap += Vector3{prev.x, 0, prev.z}.Length();
    EXPECT_GT(lap, 430.0f);
    EXPECT_LT(lap, 700.0f);
    // the first target must not already be in reach from the grid
    EXPECT_GT((Vector3{cps.p[0].x, 0, cps.p[0].z} - Vector3{0, 0, -2}).Length(), 20.0f);
}

TEST_F(CourseGeometry, FenceEnclosesTheStartAndFacesTheTrack) {
    Points cps = ReadPoints(DataPath("Txt/check.txt"));
    ASSERT_TRUE(cps.ok);
    std::vector<Vector3> from = {{-2, kBikeY, -2}, {0, kBikeY, -2}, {2, kBikeY, -2}};
    for (const Vector3& c : cps.p) from.push_back({c.x, kBikeY, c.z});
    for (const Vector3& o : from)
        for (int i = 0; i < 72; ++i) {
            const float a = float(i) * 5.0f * kDegToRad;
            const Vector3 dir{std::sin(a), 0, std::cos(a)};
            RayHit h = CastRay(*wall, Matrix(), o, dir);
            ASSERT_TRUE(h.hit) << "a bike at " << o.x << ", " << o.z << " could leave heading " << i * 5;
            // the push-out only works against a front face turned to the bike
            EXPECT_LT(dir.Dot(h.normal), 0.0f) << o.x << ", " << o.z << " heading " << i * 5;
            EXPECT_GT(h.distance, 2.5f);
        }
}

TEST_F(CourseGeometry, FenceStandsAtBothProbeHeights) {
    // the fixed wall is probed at the bike's height, the gate 0.2 higher
    for (float y : {0.2f, 0.4f}) {
        RayHit h = CastRay(*wall, Matrix(), {0, y, -2}, {1, 0, 0});
        ASSERT_TRUE(h.hit);
        h = CastRay(*wall, Matrix(), {0, y, -2}, {-1, 0, 0});
        ASSERT_TRUE(h.hit);
    }
}

TEST_F(CourseGeometry, GateAlwaysBlocksPartOfTheRoadAndLeavesAWayThrough) {
    // The game places the gate with rotation (90 degrees about Y), then
    // translation (-18, 0, -30), then a slide along world Z.
    const Matrix base = Matrix::CreateRotationY(90.0f * kDegToRad) * Matrix::CreateTranslation(-18, 0, -30);
    // the road's extent across the bottom straight at the gate
    float zMin = 1e9f, zMax = -1e9f;
    for (float z = -45; z <= -15; z += 0.05f)
        if (OnRoad(-18, z)) zMin = std::min(zMin, z), zMax = std::max(zMax, z);
    ASSERT_LT(zMin, -33.5f);
    ASSERT_GT(zMax, -25.0f);
    for (int k = -30; k <= 35; ++k) {
        const float offset = float(k) * 0.1f;
        const Matrix world = base * Matrix::CreateTranslation(0, 0, offset);
        int blocked = 0;
        float run = 0, longest = 0;
        for (float z = zMin; z <= zMax; z += 0.05f) {
            bool hit = false;
            for (Vector3 dir : {Vector3{1, 0, 0}, Vector3{-1, 0, 0}}) {
                Vector3 o{dir.x > 0 ? -26.0f : -10.0f, 0.4f, z};
                RayHit h = CastRay(*gate, world, o, dir);
                if (h.hit && h.distance < 8.0f) {
                    hit = true;
                    EXPECT_LT(dir.Dot(h.normal), -0.5f) << "gate face turned away at offset " << offset;
                }
            }
            if (hit) {
                ++blocked;
                run = 0;
            } else {
                run += 0.05f;
                longest = std::max(longest, run);
            }
        }
        EXPECT_GT(blocked * 0.05f, 3.0f) << "gate blocks too little at offset " << offset;
        EXPECT_GT(longest, 2.0f) << "no way through the gate at offset " << offset;
    }
}

TEST_F(CourseGeometry, BoxesHangOverTheRoadWithinTheReaderLimit) {
    Points boxes = ReadPoints(DataPath("Txt/Box.txt"));
    ASSERT_TRUE(boxes.ok);
    ASSERT_GE(boxes.count, 1);
    ASSERT_LE(boxes.count, 8);
    for (const Vector3& b : boxes.p) {
        EXPECT_GT(b.y, 1.5f);
        EXPECT_TRUE(OnRoad(b.x, b.z)) << b.x << ", " << b.z;
        // they land on the west straight between the floor switch and the excavator
        EXPECT_NEAR(b.x, -50.0f, 5.0f);
        EXPECT_LT(b.z, 60.0f);
        EXPECT_GT(b.z, 5.0f);
        // not on top of the southbound dash panel
        EXPECT_FALSE(std::fabs(b.x + 50) < 2.2f && std::fabs(b.z - 30) < 2.7f);
    }
}

}  // namespace
