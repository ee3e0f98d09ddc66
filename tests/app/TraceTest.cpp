#include "scene/JsonLine.h"
#include "scene/TraceWriter.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <limits>

TEST(JsonLine, NumbersKeepNineSignificantDigits) {
    JsonLine line;
    line.BeginObject()
        .Number("a", 0.2f)
        .Number("b", 0.0f)
        .Number("c", 1.0 / 3.0)
        .Number("d", -123456789.0)
        .Number("nan", std::numeric_limits<double>::quiet_NaN())
        .Vec3("pos", 0, 0.2f, -2)
        .EndObject();
    EXPECT_EQ(line.Text(),
              "{\"a\":0.200000003,\"b\":0,\"c\":0.333333333,\"d\":-123456789,\"nan\":null,\"pos\":[0,0.200000003,-2]}");
    // A float printed with 9 digits reads back as the same float.
    const auto parsed = nlohmann::json::parse(line.Text());
    EXPECT_EQ(static_cast<float>(parsed["a"].get<double>()), 0.2f);
}

TEST(JsonLine, NestsAndEscapes) {
    JsonLine line;
    line.BeginObject()
        .BeginArray("list")
        .BeginObject()
        .String("file", "Data/Sound/\"x\"\\\n")
        .Bool("3d", true)
        .EndObject()
        .BeginObject()
        .EndObject()
        .EndArray()
        .Integer("n", -7)
        .EndObject();
    const auto parsed = nlohmann::json::parse(line.Text());
    EXPECT_EQ(parsed["list"][0]["file"], "Data/Sound/\"x\"\\\n");
    EXPECT_EQ(parsed["list"][0]["3d"], true);
    EXPECT_TRUE(parsed["list"][1].empty());
    EXPECT_EQ(parsed["n"], -7);
}

TEST(TraceWriter, FrameWithoutSceneHasOnlyFrameAndClock) {
    JsonLine line;
    TraceWriter::BuildFrame(line, 12, 192, nullptr);
    EXPECT_EQ(line.Text(), "{\"frame\":12,\"ms\":192}");
}
