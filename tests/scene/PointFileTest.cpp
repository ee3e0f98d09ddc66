#include "scene/PointFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {
std::string Write(const std::string& name, const std::string& text) {
    const std::filesystem::path path = std::filesystem::temp_directory_path() / ("vorlan-points-" + name);
    std::ofstream(path, std::ios::binary) << text;
    return path.string();
}

std::string Points(int count, int written) {
    std::string text = std::to_string(count) + "\n";
    for (int i = 0; i < written; ++i) text += std::to_string(i) + ".5 0.2 -" + std::to_string(i) + "\n";
    return text;
}
}  // namespace

TEST(PointFile, ReadsCountThenPointsInFileOrder) {
    const auto points = ReadPointFile(Write("ok", "3\n1 2 3\n-4.5\t0.25 6e1\n\n  7 8 9"), 59);
    ASSERT_EQ(points.size(), 3u);
    EXPECT_EQ(points[0], Vector3(1, 2, 3));
    EXPECT_EQ(points[1], Vector3(-4.5f, 0.25f, 60.0f));
    EXPECT_EQ(points[2], Vector3(7, 8, 9));
}

TEST(PointFile, BadFilesGiveNoInventedPoints) {
    EXPECT_TRUE(ReadPointFile("/nonexistent/check.txt", 59).empty());
    EXPECT_TRUE(ReadPointFile(Write("empty", ""), 59).empty());
    EXPECT_TRUE(ReadPointFile(Write("zero", "0\n"), 8).empty());
    EXPECT_TRUE(ReadPointFile(Write("garbage", "\x7f" "ELF garbage\n1 2 3\n"), 59).empty());
    EXPECT_TRUE(ReadPointFile(Write("negative", "-5\n1 2 3\n"), 59).empty());
    // Announced more than written, or cut inside a point: only the complete ones.
    EXPECT_EQ(ReadPointFile(Write("short", Points(10, 4)), 59).size(), 4u);
    EXPECT_EQ(ReadPointFile(Write("cut", "3\n1 2 3\n4 5"), 59).size(), 1u);
    EXPECT_EQ(ReadPointFile(Write("word", "3\n1 2 3\n4 five 6\n7 8 9\n"), 59).size(), 1u);
}

TEST(PointFile, KeepsAtMostTheLimit) {
    const auto many = ReadPointFile(Write("many", Points(100, 100)), 59);
    ASSERT_EQ(many.size(), 59u);
    EXPECT_EQ(many[58], Vector3(58.5f, 0.2f, -58.0f));
    EXPECT_EQ(ReadPointFile(Write("boxes", Points(12, 12)), 8).size(), 8u);
    // An absurd count reads what is there and stops.
    EXPECT_EQ(ReadPointFile(Write("absurd", Points(2147483647, 3)), 59).size(), 3u);
}
