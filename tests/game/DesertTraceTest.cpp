// The desert read from its course file races exactly as the desert did when
// its places were constants: the same drives give the same trace, field for
// field, with only "courseId" and "online" added. The fixture holds, per 100 frames, a
// hash of the trace lines made before the course became a file (the drives
// scrape the fence, ride the sand, smash boxes and meet the gate both ways).

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {
uint64_t Fnv(uint64_t h, const std::string& bytes) {
    for (unsigned char c : bytes) {
        h ^= c;
        h *= 1099511628211ull;
    }
    return h;
}

std::map<std::string, std::vector<std::string>> ReadFixture(const fs::path& path) {
    std::map<std::string, std::vector<std::string>> blocks;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream words(line);
        std::string name, hash;
        words >> name;
        while (words >> hash) blocks[name].push_back(hash);
    }
    return blocks;
}

struct Drive {
    const char* name;
    int seed;
    long frames;  // the autopilot race runs long enough to lower the gate again
};

void PrintTo(const Drive& drive, std::ostream* out) { *out << drive.name; }

// One test per drive, so ctest runs the drives side by side.
class DesertTraces : public ::testing::TestWithParam<Drive> {};

const Drive kDrives[] = {{"auto", 3, 6000},   {"walls", 4, 3000},  {"sand", 5, 3000},  {"straight", 6, 3000},
                         {"zigzag", 7, 3000}, {"random", 8, 3000}, {"circle", 9, 3000}};
}  // namespace

TEST(DesertTraceFixture, HoldsEveryDriveAndFrame) {
    const auto fixture = ReadFixture(fs::path(VORLAN_SOURCE_DIR) / "tests" / "game" / "data" / "desert-traces.txt");
    ASSERT_EQ(fixture.size(), std::size(kDrives));
    for (const Drive& drive : kDrives) {
        ASSERT_TRUE(fixture.count(drive.name)) << drive.name;
        EXPECT_GE(fixture.at(drive.name).size(), static_cast<size_t>(drive.frames / 100)) << drive.name;
    }
}

TEST_P(DesertTraces, EveryFieldIsAsBeforeTheCourseBecameAFile) {
    const Drive& drive = GetParam();
    const fs::path data = fs::path(VORLAN_SOURCE_DIR) / "tests" / "game" / "data";
    const auto fixture = ReadFixture(data / "desert-traces.txt");
    const std::string name = drive.name;
    const fs::path dir = fs::temp_directory_path() / ("vorlan-desert-traces-" + name);
    fs::remove_all(dir);
    fs::create_directories(dir);
    std::ofstream(dir / "auto.txt") << "5 5 Enter\n";
    const std::string quote = "\"courseId\":\"desert\"";
    const fs::path input = name == "auto" ? dir / "auto.txt" : data / "drives" / (name + ".txt");
    const fs::path trace = dir / (name + ".jsonl");
    const fs::path home = dir / "home";
    const std::string command = "cd " + std::string(VORLAN_BINARY_DIR) + " && XDG_DATA_HOME=" + home.string() +
                                " ./vorlan --headless --no-render --fixed-clock --uncapped --seed " +
                                std::to_string(drive.seed) + (name == "auto" ? " --autopilot" : "") +
                                " --frames " + std::to_string(drive.frames) + " --input " + input.string() +
                                " --trace " + trace.string() + " >/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const std::vector<std::string>& expected = fixture.at(name);
    std::ifstream in(trace);
    std::string line;
    long frame = 0;
    uint64_t h = 14695981039346656037ull;
    size_t mismatches = 0;
    while (std::getline(in, line)) {
        const size_t at = line.find("," + quote);
        ASSERT_NE(at, std::string::npos) << "frame " << frame << " has no courseId";
        line.erase(at, quote.size() + 1);
        // The online client's field, last on the line, is no game field either.
        const size_t online = line.rfind(",\"online\":");
        ASSERT_NE(online, std::string::npos) << "frame " << frame << " has no online field";
        line.erase(online, line.size() - 1 - online);
        h = Fnv(h, line + "\n");
        if (frame % 100 == 99) {
            const size_t block = static_cast<size_t>(frame / 100);
            ASSERT_LT(block, expected.size());
            char hex[17];
            std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(h));
            if (expected[block] != hex && mismatches++ == 0)
                ADD_FAILURE() << "frames " << block * 100 << " to " << frame << " differ";
            h = 14695981039346656037ull;
        }
        ++frame;
    }
    EXPECT_EQ(frame, drive.frames);
    EXPECT_EQ(mismatches, 0u);
    fs::remove_all(dir);
}

INSTANTIATE_TEST_SUITE_P(Drives, DesertTraces, ::testing::ValuesIn(kDrives),
                         [](const auto& info) { return std::string(info.param.name); });
