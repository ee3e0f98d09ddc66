// Course files are untrusted: every kind of fault is refused with one line
// naming the file and the field, the other courses stay playable, and
// nothing outside the course's folder is read. The gameplay hash follows the
// gameplay and nothing of the look.

#include "CourseCopy.h"

#include "scene/CourseChoice.h"
#include "stage/CourseGeometry.h"
#include "stage/course/CourseCatalog.h"
#include "stage/course/CourseReader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;
using nlohmann::json;

namespace {
struct Scan {
    CourseCatalog catalog;
    std::vector<std::string> refusals;
};

Scan ScanUser(const fs::path& user) {
    Scan scan;
    scan.catalog.Scan(kBuiltInCoursesDir, user.string(), CheckCourseGeometry, scan.refusals);
    return scan;
}

class CourseFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        root = fs::temp_directory_path() / ("vorlan-course-files-" + std::to_string(getpid()));
        fs::remove_all(root);
        user = root / "courses";
    }
    void TearDown() override { fs::remove_all(root); }
    fs::path root, user;
};
}  // namespace

TEST_F(CourseFileTest, TheDesertAndACopyOfItArePlayableWithOneGameplayHash) {
    course_copy::CopyDesert(user / "dunes", "dunes", "Dunes");
    const Scan scan = ScanUser(user);
    EXPECT_TRUE(scan.refusals.empty()) << scan.refusals.front();
    ASSERT_EQ(scan.catalog.Ids(), "desert, canyon, riverside, dunes");
    const CourseData& desert = *scan.catalog.Find("desert");
    const CourseData& dunes = *scan.catalog.Find("dunes");
    EXPECT_TRUE(desert.builtIn);
    EXPECT_FALSE(dunes.builtIn);
    EXPECT_EQ(desert.laps, 3);
    EXPECT_EQ(desert.gameplay.checkpointFile, "Data/Txt/check.txt");
    EXPECT_EQ(dunes.gameplay.roadModel, (user / "dunes" / "Course/Road/road.gltf").string());
    EXPECT_EQ(desert.gameplayHash, dunes.gameplayHash);
    // Stepping goes round: the desert, the game's other courses, then the player's.
    EXPECT_EQ(scan.catalog.Step("desert", 1)->id, "canyon");
    EXPECT_EQ(scan.catalog.Step("desert", -1)->id, "dunes");
    EXPECT_EQ(scan.catalog.Step("dunes", 1)->id, "desert");
}

TEST_F(CourseFileTest, TheLookChangesNoHashTheGameplayDoes) {
    course_copy::CopyDesert(user / "base", "base", "Base");
    course_copy::CopyDesert(user / "repainted", "repainted", "Repainted", [](json& c) {
        c["look"]["sun"]["colour"] = json::array({1.0, 0.5, 0.5});
        c["look"]["music"] = "Sound/Title.WAV";
        c["look"]["excavator"]["angle"] = 90;
        c["name"] = "Repainted at night";
    });
    course_copy::CopyDesert(user / "moved", "moved", "Moved",
                            [](json& c) { c["gameplay"]["dashPanels"]["places"][0]["position"][0] = -19.0; });
    course_copy::CopyDesert(user / "longer", "longer", "Longer", [](json& c) { c["laps"] = 4; });
    course_copy::CopyDesert(user / "rebuilt", "rebuilt", "Rebuilt");
    {
        // One byte of a collision model's buffer.
        std::fstream bin(user / "rebuilt" / "Course/Wall/wall.bin", std::ios::in | std::ios::out | std::ios::binary);
        bin.seekp(40);
        bin.put('\x7f');
    }
    const Scan scan = ScanUser(user);
    ASSERT_TRUE(scan.refusals.empty()) << scan.refusals.front();
    const std::string base = scan.catalog.Find("base")->gameplayHash;
    EXPECT_EQ(scan.catalog.Find("repainted")->gameplayHash, base);
    EXPECT_NE(scan.catalog.Find("moved")->gameplayHash, base);
    EXPECT_NE(scan.catalog.Find("longer")->gameplayHash, base);
    EXPECT_NE(scan.catalog.Find("rebuilt")->gameplayHash, base);
}

TEST_F(CourseFileTest, EveryKindOfFaultIsRefusedWithItsFileAndField) {
    struct Case {
        const char* id;
        const char* field;  // expected in the line
        std::function<void(json&, const fs::path&)> spoil;
        const char* text = nullptr;  // the course file's text instead of the JSON
    };
    const auto set = [](const char* pointer, json value) {
        return [pointer, value](json& c, const fs::path&) { c[json::json_pointer(pointer)] = value; };
    };
    std::vector<Case> cases = {
        {"missing", "laps: is missing", [](json& c, const fs::path&) { c.erase("laps"); }},
        {"garbage", "is not JSON", nullptr, "{\"format\": 1, \"id\": \"garbage\" ,,,"},
        {"range", "laps: is out of range", set("/laps", 0)},
        {"notnumber", "gameplay.grid[1].position[2]: is not a number", set("/gameplay/grid/1/position/2", "far")},
        {"infinite", "gameplay.gate.angle: is out of range", set("/gameplay/gate/angle", 1e300)},
        {"swing", "look.excavator.angle: is not a number", set("/look/excavator/angle", "east")},
        {"format", "format: is 2", set("/format", 2)},
        {"absurd", "gameplay.dashPanels.places: has more than",
         [](json& c, const fs::path&) {
             for (int i = 0; i < 40; ++i) c["gameplay"]["dashPanels"]["places"].push_back(c["gameplay"]["dashPanels"]["places"][0]);
         }},
        {"huge", "larger than", nullptr, nullptr},
        {"crossing", "gameplay.checkpoints: the checkpoint line crosses itself",
         [](json&, const fs::path& dir) {
             std::ofstream(dir / "Txt/check.txt") << "4\n0 0.2 10\n10 0.2 30\n10 0.2 10\n0 0.2 30\n";
         }},
        {"few", "gameplay.checkpoints: has fewer than 3",
         [](json&, const fs::path& dir) { std::ofstream(dir / "Txt/check.txt") << "2\n0 0.2 10\n0 0.2 20\n"; }},
        {"countlies", "gameplay.floorSwitch.boxes: has fewer points than its count",
         [](json&, const fs::path& dir) { std::ofstream(dir / "Txt/Box.txt") << "5\n0 1 2\n"; }},
        {"manyboxes", "gameplay.floorSwitch.boxes: has a point count",
         [](json&, const fs::path& dir) { std::ofstream(dir / "Txt/Box.txt") << "99999999999999999999\n"; }},
        {"offgrid", "gameplay.grid[0].position: stands off the course", set("/gameplay/grid/0/position", json::array({1900, 0.2, 1900}))},
        {"offdash", "gameplay.dashPanels.places[1].position: stands off the course",
         set("/gameplay/dashPanels/places/1/position", json::array({-1900, 0.05, 1900}))},
        {"offgate", "gameplay.gate.switches[1]: stands off the course", set("/gameplay/gate/switches/1", json::array({1900, 0, -1900}))},
        {"dotdot", "gameplay.road: leaves", set("/gameplay/road", "../desert/Course/Road/road.gltf")},
        {"absolute", "gameplay.wall: is an absolute path", set("/gameplay/wall", "/etc/passwd.gltf")},
        {"gamefile", "look.sky: leaves", set("/look/sky", "Data/../../Data/Sky/sky.gltf")},
        {"link", "gameplay.ground: leads out of the course's folder",
         [](json& c, const fs::path& dir) {
             fs::create_symlink(fs::absolute("Data/Course/Ground/ground01.gltf"), dir / "elsewhere.gltf");
             c["gameplay"]["ground"] = "elsewhere.gltf";
         }},
        {"bufferout", "gameplay.wall: names a file outside its folder",
         [](json&, const fs::path& dir) {
             json model = course_copy::ReadJson(dir / "Course/Wall/wall.gltf");
             model["buffers"][0]["uri"] = "../../../../desert/wall.bin";
             course_copy::WriteJson(dir / "Course/Wall/wall.gltf", model);
         }},
        {"missingfile", "look.music: names a file that is not there", set("/look/music", "Sound/none.wav")},
        {"badmodel", "gameplay.gate.model: is not a glTF model",
         [](json&, const fs::path& dir) { std::ofstream(dir / "Course/Wall/wall02.gltf") << "hello"; }},
        {"notriangles", "gameplay.floorSwitch.boxModel: has no triangles to collide with",
         [](json&, const fs::path& dir) {
             std::ofstream(dir / "Obstacle/WoodBox/WoodBox.gltf") << R"({"asset":{"version":"2.0"},"scenes":[{"nodes":[]}]})";
         }},
        {"notgltf", "gameplay.dashPanels.model: is not a glTF model (.gltf or .glb)", set("/gameplay/dashPanels/model", "Txt/check.txt")},
        {"badid", "id: may hold only", set("/id", "Bad Id")},
        {"otherfolder", "id: 'elsewhere' is not the name of its folder", set("/id", "elsewhere")},
        {"desert", "id: 'desert' is already used by Data/Courses/desert/course.json", nullptr},
        {"longname", "name: is longer than 40 bytes", set("/name", std::string(41, 'x'))},
    };
    for (Case& c : cases) {
        const fs::path dir = user / c.id;
        course_copy::CopyDesert(dir, c.id, c.id);
        if (c.text) {
            std::ofstream(dir / "course.json") << c.text;
        } else if (std::string(c.id) == "huge") {
            std::ofstream out(dir / "course.json");
            out << "{\"pad\": \"" << std::string(70000, 'x') << "\"}";
        } else if (c.spoil) {
            json course = course_copy::ReadJson(dir / "course.json");
            c.spoil(course, dir);
            course_copy::WriteJson(dir / "course.json", course);
        }
    }
    const Scan scan = ScanUser(user);
    // Only the game's own are left to race.
    EXPECT_EQ(scan.catalog.Ids(), "desert, canyon, riverside");
    EXPECT_EQ(scan.refusals.size(), cases.size());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        const std::string file = (user / c.id / "course.json").string();
        int lines = 0;
        for (const std::string& refusal : scan.refusals) {
            if (refusal.rfind(file + ": ", 0) != 0) continue;
            ++lines;
            EXPECT_NE(refusal.find(c.field), std::string::npos) << refusal;
            EXPECT_EQ(refusal.find('\n'), std::string::npos);
        }
        EXPECT_EQ(lines, 1);
    }
}

TEST(CoursePoints, PointFilesAndTheCheckpointLine) {
    std::vector<CoursePoint> points;
    std::string why;
    EXPECT_TRUE(CourseReader::ParsePoints("3\n1 2 3\n4 5 6\n7 8 9\n", 8, points, why));
    EXPECT_EQ(points.size(), 3u);
    for (const char* bad : {"", "x", "-1", "9", "2\n1 2 3\n", "1\n1 2 nan\n", "1\n1 2 1e9\n", "1\n1 2\n"})
        EXPECT_FALSE(CourseReader::ParsePoints(bad, 8, points, why)) << bad;
    const std::vector<CoursePoint> square = {{0, 0, 0}, {10, 0, 0}, {10, 0, 10}, {0, 0, 10}};
    const std::vector<CoursePoint> eight = {{0, 0, 0}, {10, 0, 10}, {10, 0, 0}, {0, 0, 10}};
    EXPECT_FALSE(CourseReader::LineCrossesItself(square));
    EXPECT_TRUE(CourseReader::LineCrossesItself(eight));
}
