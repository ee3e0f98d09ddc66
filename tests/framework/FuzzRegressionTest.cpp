// Every input kept under fuzz/regressions/ (each one crashed or broke a
// loader once) and every fuzz seed goes through the same entry points as the
// libFuzzer targets, so this suite's sanitizer build keeps them checked
// without clang. A broken loader promise aborts with the failed check.
#include "FuzzTargets.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {
const fs::path kFuzzDir = fs::path(VORLAN_SOURCE_DIR) / "fuzz";

std::vector<uint8_t> ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<fs::path> Files(const fs::path& dir) {
    std::vector<fs::path> files;
    if (fs::is_directory(dir))
        for (const auto& entry : fs::directory_iterator(dir))
            if (entry.is_regular_file()) files.push_back(entry.path());
    return files;
}

// Runs every regression input and seed of one target; returns how many ran.
size_t RunAll(const char* target, void (*entry)(const uint8_t*, size_t)) {
    size_t count = 0;
    for (const char* kind : {"regressions", "seeds"}) {
        for (const fs::path& file : Files(kFuzzDir / kind / target)) {
            SCOPED_TRACE(file.string());
            const std::vector<uint8_t> bytes = ReadBytes(file);
            // An empty vector's data() may be null; libFuzzer always passes a real pointer.
            const uint8_t none = 0;
            entry(bytes.empty() ? &none : bytes.data(), bytes.size());
            ++count;
        }
    }
    return count;
}

// Seeds only help the fuzzer when they get past the format checks.
void ExpectSeedsLoad(const char* target, bool (*loads)(const uint8_t*, size_t)) {
    const std::vector<fs::path> seeds = Files(kFuzzDir / "seeds" / target);
    ASSERT_FALSE(seeds.empty()) << target;
    for (const fs::path& file : seeds) {
        const std::vector<uint8_t> bytes = ReadBytes(file);
        EXPECT_TRUE(loads(bytes.data(), bytes.size())) << file;
    }
}
}  // namespace

TEST(FuzzRegression, GltfInputsKeepTheLoaderWithinItsPromises) { EXPECT_GT(RunAll("gltf", FuzzGltf), 0u); }
TEST(FuzzRegression, ImageInputsKeepTheDecoderWithinItsPromises) { EXPECT_GT(RunAll("image", FuzzImage), 0u); }
TEST(FuzzRegression, WavInputsKeepTheDecoderWithinItsPromises) { EXPECT_GT(RunAll("wav", FuzzWav), 0u); }
TEST(FuzzRegression, PointFileInputsKeepTheReaderWithinItsPromises) {
    EXPECT_GT(RunAll("pointfile", FuzzPointFile), 0u);
}

TEST(FuzzRegression, RecordsAndGhostInputsKeepTheReadersWithinTheirPromises) {
    EXPECT_GT(RunAll("records", FuzzRecords), 0u);
    EXPECT_GT(RunAll("ghost", FuzzGhost), 0u);
}

TEST(FuzzRegression, GltfSeedsLoad) { ExpectSeedsLoad("gltf", FuzzGltfLoads); }
TEST(FuzzRegression, ImageSeedsLoad) { ExpectSeedsLoad("image", FuzzImageLoads); }
TEST(FuzzRegression, WavSeedsLoad) { ExpectSeedsLoad("wav", FuzzWavLoads); }
TEST(FuzzRegression, CourseInputsKeepTheReaderWithinItsPromises) { EXPECT_GT(RunAll("course", FuzzCourse), 0u); }
TEST(FuzzRegression, CourseSeedsLoad) { ExpectSeedsLoad("course", FuzzCourseLoads); }
TEST(FuzzRegression, CourseDescriptionInputsKeepTheReaderWithinItsPromises) {
    EXPECT_GT(RunAll("coursedesc", FuzzCourseDescription), 0u);
}
TEST(FuzzRegression, CourseDescriptionSeedsLoad) { ExpectSeedsLoad("coursedesc", FuzzCourseDescriptionLoads); }

TEST(FuzzRegression, RaceFileInputsKeepTheReaderWithinItsPromises) {
    EXPECT_GT(RunAll("race", FuzzRaceFile), 0u);
    ExpectSeedsLoad("race", FuzzRaceFileLoads);
}

TEST(FuzzRegression, RecordsAndGhostSeedsLoad) {
    ExpectSeedsLoad("records", FuzzRecordsLoads);
    ExpectSeedsLoad("ghost", FuzzGhostLoads);
}
