// The path drawing reads traces the leaderboard's sandboxed verifier wrote:
// a frame that does not hold what a frame holds is refused with its line,
// and a good one draws on the map.

#include "tools/pathmap/PathMap.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {
std::string Frame(const std::string& pos0, const std::string& extra = "") {
    return R"({"mode":0,"timer":{"countdown":0},"bikes":[{"pos":)" + pos0 + extra +
           R"(},{"pos":[1,0,1]},{"pos":[2,0,2]}]})";
}

bool Draw(const std::string& trace, pathmap::Map& map, std::string& error) {
    std::istringstream in(trace);
    std::array<pathmap::BikeStats, 3> stats;
    return pathmap::DrawTrace(in, map, stats, error);
}

pathmap::Map Blank() {
    pathmap::Map map;
    map.width = map.height = 32;
    map.rgba.assign(32 * 32 * 4, 0);
    map.x0 = -16, map.z1 = 16, map.ppu = 1;
    return map;
}
}  // namespace

TEST(PathMap, RefusesWhatIsNotAFrameAndDrawsWhatIs) {
    pathmap::Map map = Blank();
    std::string error;
    // Title frames without bikes are passed over; the frames draw the lines.
    ASSERT_TRUE(Draw("{\"mode\":1}\n" + Frame("[0,0,0]") + "\n" + Frame("[5,0,0]", R"(,"lap":2,"hitWall":true)") + "\n",
                     map, error))
        << error;
    const size_t drawn = std::count_if(map.rgba.begin(), map.rgba.end(), [](uint8_t v) { return v != 0; });
    EXPECT_GT(drawn, 40u);
    EXPECT_EQ(map.rgba[(16 * 32 + 18) * 4], 255) << "the player's line from (0,0) to (5,0) is white";

    const std::pair<std::string, std::string> bad[] = {
        {"{\"mode\":0,", "line 1: not a JSON object"},
        {Frame("[0,0,0]") + "\n[1,2]", "line 2: not a JSON object"},
        {Frame("\"here\""), "line 1: bikes[0].pos: not a place"},
        {Frame("[1e300,0,0]"), "line 1: bikes[0].pos: not a place"},
        {Frame("[0,0]"), "line 1: bikes[0].pos: not a place"},
        {Frame("[0,0,0]", R"(,"lap":"two")"), "line 1: bikes[0]: lap or hitWall of the wrong type"},
        {Frame("[0,0,0]", R"(,"hitWall":1)"), "line 1: bikes[0]: lap or hitWall of the wrong type"},
        {R"({"bikes":[{"pos":[0,0,0]},{"pos":[0,0,0]},{}]})", "line 1: bikes[2].pos: not a place"},
    };
    for (const auto& [trace, why] : bad) {
        pathmap::Map m = Blank();
        error.clear();
        EXPECT_FALSE(Draw(trace, m, error)) << trace;
        EXPECT_EQ(error, why) << trace;
    }

    // The map's sidecar must place it in the world.
    const fs::path dir = fs::temp_directory_path() / ("vorlan-pathmap-" + std::to_string(getpid()));
    fs::create_directories(dir);
    const std::string png = (dir / "map.png").string();
    std::ofstream(png, std::ios::binary) << pathmap::EncodePng(Blank());
    for (const std::string& sidecar :
         {std::string(R"({"x0":-16,"z1":16})"), std::string(R"({"x0":-16,"z1":16,"pixelsPerUnit":-1})"),
          std::string("not json")}) {
        std::ofstream(dir / "map.json") << sidecar;
        pathmap::Map m;
        EXPECT_FALSE(pathmap::LoadMap(png, m, error)) << sidecar;
        EXPECT_NE(error.find("x0, z1 and pixelsPerUnit"), std::string::npos) << error;
    }
    std::ofstream(dir / "map.json") << R"({"x0":-16,"z1":16,"pixelsPerUnit":1})";
    pathmap::Map m;
    EXPECT_TRUE(pathmap::LoadMap(png, m, error)) << error;
    EXPECT_EQ(m.width, 32);
    fs::remove_all(dir);
}
