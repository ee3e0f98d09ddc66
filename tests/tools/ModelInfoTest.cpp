// The model inspector on third-party sample files and on broken ones.

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

namespace {
struct Info {
    int status = -1;
    nlohmann::json json;
};

Info Inspect(const fs::path& file) {
    const std::string command = std::string(VORLAN_BINARY_DIR) + "/vorlan-modelinfo '" + file.string() + "' 2>/dev/null";
    Info info;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return info;
    std::string out;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    const int raw = pclose(pipe);
    info.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    while (!out.empty() && out.back() == '\n') out.pop_back();
    const std::string last = out.substr(out.rfind('\n') == std::string::npos ? 0 : out.rfind('\n') + 1);
    info.json = nlohmann::json::parse(last, nullptr, false);
    return info;
}

fs::path Sample(const char* name) { return fs::path(VORLAN_GLTF_SAMPLES) / name; }

struct Totals {
    int meshNodes = 0, vertices = 0, faces = 0;
};
Totals Count(const nlohmann::json& json) {
    Totals t;
    for (const auto& node : json["nodes"]) {
        if (node["mesh"].is_null()) continue;
        ++t.meshNodes;
        t.vertices += node["mesh"]["vertices"].get<int>();
        t.faces += node["mesh"]["faces"].get<int>();
    }
    return t;
}
}  // namespace

TEST(ModelInfo, ReportsThirdPartySamples) {
    ASSERT_TRUE(fs::exists(VORLAN_GLTF_SAMPLES)) << "the samples are part of the tree: tests/data/gltf-samples";
    const struct { const char* file; int meshNodes, vertices, faces; } cases[] = {
        {"Box.gltf", 1, 24, 12},
        {"BoxTextured.gltf", 1, 24, 12},
        {"BoxVertexColors.gltf", 1, 24, 12},
        {"Triangle.gltf", 1, 3, 1},
        {"TriangleWithoutIndices.gltf", 1, 3, 1},
        {"SimpleMeshes.gltf", 2, 6, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const Info info = Inspect(Sample(c.file));
        ASSERT_EQ(info.status, 0);
        ASSERT_TRUE(info.json.value("ok", false));
        const Totals t = Count(info.json);
        EXPECT_EQ(t.meshNodes, c.meshNodes);
        EXPECT_EQ(t.vertices, c.vertices);
        EXPECT_EQ(t.faces, c.faces);
    }
    // The unit box: bounds of +-0.5 on every axis, one subset over all faces.
    const Info box = Inspect(Sample("Box.gltf"));
    for (const auto& node : box.json["nodes"]) {
        if (node["mesh"].is_null()) continue;
        for (int axis = 0; axis < 3; ++axis) {
            EXPECT_NEAR(node["mesh"]["min"][axis].get<double>(), -0.5, 1e-6);
            EXPECT_NEAR(node["mesh"]["max"][axis].get<double>(), 0.5, 1e-6);
        }
        ASSERT_EQ(node["mesh"]["subsets"].size(), 1u);
        EXPECT_EQ(node["mesh"]["subsets"][0]["faceCount"], 12);
    }
    // Nodes without meshes (cameras, skins, animations) are passed over, not fatal.
    for (const char* file : {"Cameras.gltf", "MultipleScenes.gltf", "SimpleSkin.gltf", "AnimatedTriangle.gltf"}) {
        const Info info = Inspect(Sample(file));
        EXPECT_EQ(info.status, 0) << file;
        EXPECT_TRUE(info.json.value("ok", false)) << file;
    }
}

TEST(ModelInfo, BrokenFilesFailCleanly) {
    const fs::path dir = fs::temp_directory_path() / "vorlan-modelinfo-test";
    fs::create_directories(dir);
    std::ofstream(dir / "garbage.gltf") << "this is not json {";
    std::ofstream(dir / "garbage.glb", std::ios::binary) << "glTF\x02\x00\x00\x00\xff\xff";
    std::string box;
    if (fs::exists(Sample("Box.gltf"))) {
        std::ifstream in(Sample("Box.gltf"));
        std::stringstream text;
        text << in.rdbuf();
        box = text.str();
    } else {
        box = "{\"asset\":{\"version\":\"2.0\"},\"nodes\":[{\"mesh\":0}]}";
    }
    std::ofstream(dir / "truncated.gltf") << box.substr(0, box.size() / 2);
    for (const char* name : {"garbage.gltf", "garbage.glb", "truncated.gltf", "missing.gltf"}) {
        const Info info = Inspect(dir / name);
        EXPECT_EQ(info.status, 1) << name;
        ASSERT_TRUE(info.json.is_object()) << name;
        EXPECT_EQ(info.json["ok"], false) << name;
    }
    fs::remove_all(dir);
}
