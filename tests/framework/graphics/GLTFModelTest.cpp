#include "GltfTestFiles.h"
#include "GraphicsTestSupport.h"

#include "framework/ImageWrite.h"
#include "framework/graphics/AxGLTFModel.h"
#include "framework/graphics/AxModel.h"

#include <filesystem>

namespace {
using nlohmann::json;

class GLTFModelTest : public GraphicsTest {
public:
    std::shared_ptr<AxGLTFModel> Load(GltfBuilder& b, std::string* output = nullptr, const char* name = "m.gltf") {
        path = (TempDir() / name).string();
        WriteFile(path, b.Text());
        ::testing::internal::CaptureStdout();
        auto model = AxLoadGLTFModel(path);
        const std::string text = ::testing::internal::GetCapturedStdout();
        if (output) *output = text;
        return model;
    }
    // One triangle mesh node per call's primitives.
    static void MeshNode(GltfBuilder& b, const json& primitives) {
        b.doc["meshes"].push_back({{"primitives", primitives}});
        b.doc["nodes"].push_back({{"mesh", b.doc["meshes"].size() - 1}});
    }
    std::string path;
};

const std::vector<float> kTriangle = {0, 0, 1, 1, 0, 2, 0, 1, 3};
}  // namespace

TEST(GLTFPathTest, DirectoryIsUpToTheLaterSeparator) {
    EXPECT_EQ(AxGetDirFromPath("Data/Bike/bike.gltf"), "Data/Bike/");
    EXPECT_EQ(AxGetDirFromPath("a\\b/c\\d.gltf"), "a\\b/c\\");
    EXPECT_EQ(AxGetDirFromPath("a/b\\c/d.gltf"), "a/b\\c/");
    EXPECT_EQ(AxGetDirFromPath("model.gltf"), "");
    EXPECT_EQ(AxGetDirFromPath(""), "");
}

TEST_F(GLTFModelTest, MaterialsFactorsTexturesAndDefaults) {
    GltfBuilder b;
    b.doc["images"] = json::array({{{"uri", "base.png"}}, {{"uri", "glow.png"}}});
    b.doc["textures"] = json::array({{{"source", 0}}, {{"source", 1}}, json::object()});
    b.doc["materials"] = json::array({
        {{"name", "paint"},
         {"pbrMetallicRoughness",
          {{"baseColorFactor", {0.5, 0.25, 1, 0.75}}, {"metallicFactor", 0.2}, {"roughnessFactor", 0.4},
           {"baseColorTexture", {{"index", 0}}}, {"metallicRoughnessTexture", {{"index", 2}}}}},
         {"emissiveFactor", {1, 0.5, 0}},
         {"emissiveTexture", {{"index", 1}}}},
        {{"name", "plain"}},
        {{"pbrMetallicRoughness", {{"baseColorTexture", {{"index", 9}}}}}},
    });
    MeshNode(b, json::array({{{"attributes", {{"POSITION", b.Positions(kTriangle)}}}}}));
    std::string out;
    auto m = Load(b, &out);
    ASSERT_TRUE(m) << out;
    EXPECT_EQ(out.rfind("Reading ASCII glTF\n", 0), 0u);  // then the parser's notes on the absent images
    ASSERT_EQ(m->materials.size(), 3u);
    const AxGLTFMaterial& paint = m->materials[0];
    EXPECT_EQ(paint.name, "paint");
    EXPECT_FLOAT_EQ(paint.baseColor[1], 0.25f);
    EXPECT_FLOAT_EQ(paint.baseColor[3], 0.75f);
    EXPECT_FLOAT_EQ(paint.metallic, 0.2f);
    EXPECT_FLOAT_EQ(paint.roughness, 0.4f);
    EXPECT_FLOAT_EQ(paint.emissive[1], 0.5f);
    EXPECT_EQ(paint.baseColorTexture, "base.png");
    EXPECT_EQ(paint.emissiveTexture, "glow.png");
    EXPECT_EQ(paint.metallicRoughnessTexture, "");  // a texture without a source
    const AxGLTFMaterial& plain = m->materials[1];
    EXPECT_FLOAT_EQ(plain.baseColor[0], 1.0f);
    EXPECT_FLOAT_EQ(plain.baseColor[3], 1.0f);
    EXPECT_FLOAT_EQ(plain.metallic, 1.0f);
    EXPECT_FLOAT_EQ(plain.roughness, 1.0f);
    EXPECT_EQ(m->materials[2].baseColorTexture, "");  // index past the textures
}

TEST_F(GLTFModelTest, FileWithoutMaterialsGetsOneDefault) {
    GltfBuilder b;
    MeshNode(b, json::array({{{"attributes", {{"POSITION", b.Positions(kTriangle)}}}}}));
    auto m = Load(b);
    ASSERT_TRUE(m);
    ASSERT_EQ(m->materials.size(), 1u);
    ASSERT_EQ(m->nodes.size(), 1u);
    ASSERT_EQ(m->nodes[0]->subsets.size(), 1u);
    EXPECT_EQ(m->nodes[0]->subsets[0].materialNo, 0);
}

TEST_F(GLTFModelTest, NodeTransformsConvertToLeftHanded) {
    GltfBuilder b;
    b.doc["nodes"] = json::array({
        {{"name", "matrix"}, {"matrix", {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 1, 2, 3, 1}}},
        {{"name", "trs"}, {"translation", {1, 2, 3}}, {"scale", {2, 2, 2}}},
        {{"name", "turn"}, {"rotation", {0, 0.70710678, 0, 0.70710678}}},
    });
    auto m = Load(b);
    ASSERT_TRUE(m);
    ASSERT_EQ(m->nodes.size(), 3u);
    const Matrix& a = m->nodes[0]->localTransform;
    EXPECT_FLOAT_EQ(a.m[3][0], 1);
    EXPECT_FLOAT_EQ(a.m[3][1], 2);
    EXPECT_FLOAT_EQ(a.m[3][2], -3);
    EXPECT_FALSE(m->nodes[0]->isMesh);
    const Matrix& t = m->nodes[1]->localTransform;
    EXPECT_FLOAT_EQ(t.m[0][0], 2);
    EXPECT_FLOAT_EQ(t.m[3][2], -3);
    // A right-handed quarter turn about +Y maps +X to -Z; mirrored in Z it maps +X to +Z.
    const Vector3 x = Vector3::TransformNormal({1, 0, 0}, m->nodes[2]->localTransform);
    EXPECT_NEAR(x.z, 1.0f, 1e-5f);
    EXPECT_NEAR(x.x, 0.0f, 1e-5f);
}

TEST_F(GLTFModelTest, MergeSortsByMaterialFlipsZAndSwapsWinding) {
    GltfBuilder b;
    b.doc["materials"] = json::array({json::object(), json::object(), json::object()});
    const int tri = b.Positions(kTriangle);
    const int quad = b.Positions({0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0});
    const int quadIdx = b.Indices({0, 1, 2, 0, 2, 3});
    const int triIdx = b.Indices({0, 1, 2});
    MeshNode(b, json::array({
                    {{"attributes", {{"POSITION", tri}}}, {"indices", triIdx}, {"material", 2}},
                    {{"attributes", {{"POSITION", quad}}}, {"indices", quadIdx}, {"material", 0}},
                    {{"attributes", {{"POSITION", tri}}}, {"mode", 1}},  // lines are dropped
                }));
    auto m = Load(b);
    ASSERT_TRUE(m);
    const AxGLTFNode& n = *m->nodes[0];
    ASSERT_TRUE(n.isMesh);
    ASSERT_EQ(n.subsets.size(), 2u);
    EXPECT_EQ(n.subsets[0].materialNo, 0);
    EXPECT_EQ(n.subsets[0].faceStart, 0u);
    EXPECT_EQ(n.subsets[0].faceCount, 2u);
    EXPECT_EQ(n.subsets[1].materialNo, 2);
    EXPECT_EQ(n.subsets[1].faceStart, 2u);
    EXPECT_EQ(n.subsets[1].faceCount, 1u);
    ASSERT_EQ(n.vertices.size(), 7u);
    ASSERT_EQ(n.faces.size(), 3u);
    EXPECT_EQ(n.faces[0].idx[0], 0u);
    EXPECT_EQ(n.faces[0].idx[1], 2u);
    EXPECT_EQ(n.faces[0].idx[2], 1u);
    EXPECT_EQ(n.faces[2].idx[0], 4u);
    EXPECT_EQ(n.faces[2].idx[1], 6u);
    EXPECT_EQ(n.faces[2].idx[2], 5u);
    EXPECT_EQ(n.vertices[5].position, Vector3(1, 0, -2));
    EXPECT_EQ(n.vertices[0].color, 0xffffffffu);
}

TEST_F(GLTFModelTest, InterleavedAttributesAndNormalisedColours) {
    GltfBuilder b;
    // Per vertex: position (3 floats), normal (3 floats), colour (4 unsigned bytes), uv (2 unsigned shorts).
    struct Vertex {
        float p[3], n[3];
        uint8_t c[4];
        uint16_t uv[2];
    };
    static_assert(sizeof(Vertex) == 32);
    std::vector<Vertex> v = {
        {{0, 0, 1}, {0, 0, 1}, {255, 0, 51, 255}, {0, 65535}},
        {{1, 0, 2}, {0, 1, 0}, {0, 255, 0, 128}, {65535, 0}},
        {{0, 1, 3}, {1, 0, 0}, {0, 0, 255, 0}, {32768, 32768}},
    };
    const size_t offset = b.Append(v);
    const int view = b.View(offset, v.size() * sizeof(Vertex), sizeof(Vertex));
    const int pos = b.Accessor(view, 0, 5126, 3, "VEC3");
    const int nrm = b.Accessor(view, 12, 5126, 3, "VEC3");
    const int col = b.Accessor(view, 24, 5121, 3, "VEC4", true);
    const int uv = b.Accessor(view, 28, 5123, 3, "VEC2", true);
    MeshNode(b, json::array({{{"attributes", {{"POSITION", pos}, {"NORMAL", nrm}, {"COLOR_0", col}, {"TEXCOORD_0", uv}}}}}));
    auto m = Load(b);
    ASSERT_TRUE(m);
    const AxGLTFNode& n = *m->nodes[0];
    ASSERT_EQ(n.vertices.size(), 3u);
    EXPECT_EQ(n.vertices[1].position, Vector3(1, 0, -2));
    EXPECT_EQ(n.vertices[0].normal, Vector3(0, 0, -1));
    EXPECT_EQ(n.vertices[2].normal, Vector3(1, 0, 0));
    EXPECT_EQ(n.vertices[0].color, 0xff3300ffu);
    EXPECT_EQ(n.vertices[1].color, 0x8000ff00u);
    EXPECT_EQ(n.vertices[0].uv, Vector2(0, 1));
    EXPECT_NEAR(n.vertices[2].uv.x, 0.5f, 1e-4f);
    // No indices: sequential, winding swapped.
    ASSERT_EQ(n.faces.size(), 1u);
    EXPECT_EQ(n.faces[0].idx[1], 2u);
}

TEST_F(GLTFModelTest, FloatColoursVec3GetOpaqueAlphaAndClamp) {
    GltfBuilder b;
    const int pos = b.Positions(kTriangle);
    const std::vector<float> colours = {2.0f, 0.5f, -1.0f, 0, 0, 0, 1, 1, 1};
    const size_t offset = b.Append(colours);
    const int col = b.Accessor(b.View(offset, 36), 0, 5126, 3, "VEC3");
    MeshNode(b, json::array({{{"attributes", {{"POSITION", pos}, {"COLOR_0", col}}}}}));
    auto m = Load(b);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->nodes[0]->vertices[0].color, 0xff007fffu);
}

TEST_F(GLTFModelTest, PrimitivesThatDoNotFitAreSkippedWithAWarning) {
    GltfBuilder b;
    const int good = b.Positions(kTriangle);
    const int badIdx = b.Indices({0, 1, 7});
    const size_t offset = b.Append(std::vector<float>(9, 0.0f));
    const int view = b.View(offset, 36);
    const int tooMany = b.Accessor(view, 0, 5126, 1000000, "VEC3");  // count lies
    const int pastView = b.Accessor(view, 32, 5126, 1, "VEC3");       // offset lies
    const int shortNormals = b.Accessor(view, 0, 5126, 2, "VEC3");
    MeshNode(b, json::array({
                    {{"attributes", {{"POSITION", good}}}, {"indices", badIdx}},
                    {{"attributes", {{"POSITION", tooMany}}}},
                    {{"attributes", {{"POSITION", pastView}}}},
                    {{"attributes", {{"POSITION", good}, {"NORMAL", shortNormals}}}},
                    {{"attributes", {{"POSITION", 99}}}},
                    {{"attributes", {{"NORMAL", good}}}},
                    {{"attributes", {{"POSITION", good}}}, {"material", 5}},
                }));
    std::string out;
    auto m = Load(b, &out);
    ASSERT_TRUE(m) << out;
    const AxGLTFNode& n = *m->nodes[0];
    // Only the last primitive survives, with material 0 instead of a missing one.
    ASSERT_EQ(n.subsets.size(), 1u);
    EXPECT_EQ(n.subsets[0].materialNo, 0);
    EXPECT_EQ(n.vertices.size(), 3u);
    size_t warnings = 0;
    for (size_t at = out.find("Warn: "); at != std::string::npos; at = out.find("Warn: ", at + 1)) ++warnings;
    EXPECT_EQ(warnings, 7u) << out;
}

TEST_F(GLTFModelTest, BinaryFilesLoadTheSame) {
    GltfBuilder b;
    MeshNode(b, json::array({{{"attributes", {{"POSITION", b.Positions(kTriangle)}}}, {"indices", b.Indices({0, 1, 2})}}}));
    const auto path = TempDir() / "m.glb";
    const std::string glb = b.Binary();
    WriteFile(path, glb);
    ::testing::internal::CaptureStdout();
    auto m = AxLoadGLTFModel(path.string());
    std::string out = ::testing::internal::GetCapturedStdout();
    ASSERT_TRUE(m) << out;
    EXPECT_EQ(out, "Reading binary glTF\n");
    ASSERT_EQ(m->nodes.size(), 1u);
    EXPECT_EQ(m->nodes[0]->vertices.size(), 3u);
    EXPECT_EQ(m->nodes[0]->faces.size(), 1u);
    // Cut short anywhere, it fails without reading past the end.
    for (size_t cut : {size_t(0), size_t(11), size_t(20), glb.size() / 2, glb.size() - 4}) {
        WriteFile(path, glb.substr(0, cut));
        ::testing::internal::CaptureStdout();
        EXPECT_FALSE(AxLoadGLTFModel(path.string())) << cut;
        out = ::testing::internal::GetCapturedStdout();
        EXPECT_NE(out.find("Failed to parse glTF"), std::string::npos) << cut;
    }
}

TEST_F(GLTFModelTest, BrokenFilesFailCleanly) {
    const auto dir = TempDir();
    ::testing::internal::CaptureStdout();
    EXPECT_FALSE(AxLoadGLTFModel((dir / "missing.gltf").string()));
    std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("Err: "), std::string::npos);
    EXPECT_NE(out.find("Failed to parse glTF\n"), std::string::npos);

    GltfBuilder b;
    MeshNode(b, json::array({{{"attributes", {{"POSITION", b.Positions(kTriangle)}}}}}));
    const std::string text = b.Text();
    WriteFile(dir / "half.gltf", text.substr(0, text.size() / 2));
    WriteFile(dir / "junk.glb", std::string("glTF\x02\0\0\0\xff\xff\xff\x7f", 12) + std::string(40, '\x01'));
    for (const char* name : {"half.gltf", "junk.glb"}) {
        ::testing::internal::CaptureStdout();
        EXPECT_FALSE(AxLoadGLTFModel((dir / name).string())) << name;
        out = ::testing::internal::GetCapturedStdout();
        EXPECT_NE(out.find("Failed to parse glTF"), std::string::npos);
    }
    EXPECT_EQ(out.rfind("Reading binary glTF\n", 0), 0u);

    AxModel model;
    ::testing::internal::CaptureStdout();
    EXPECT_FALSE(model.Load((dir / "half.gltf").string()));
    ::testing::internal::GetCapturedStdout();
    EXPECT_TRUE(model.nodes.empty());
    EXPECT_TRUE(model.materials.empty());
}

TEST_F(GLTFModelTest, ModelLoadResolvesTexturesBesideTheFileOrWhite) {
    GltfBuilder b;
    b.doc["images"] = json::array({{{"uri", "red.png"}}, {{"uri", "absent.png"}}});
    b.doc["textures"] = json::array({{{"source", 0}}, {{"source", 1}}});
    b.doc["materials"] = json::array({{{"pbrMetallicRoughness", {{"baseColorTexture", {{"index", 0}}},
                                                                 {"metallicRoughnessTexture", {{"index", 1}}}}}}});
    MeshNode(b, json::array({{{"attributes", {{"POSITION", b.Positions(kTriangle)}}}}}));
    const auto dir = TempDir();
    const uint8_t red[4] = {255, 0, 0, 255};
    ASSERT_TRUE(WritePng((dir / "red.png").string(), 1, 1, red));
    WriteFile(dir / "m.gltf", b.Text());

    AxModel model;
    ::testing::internal::CaptureStdout();
    ASSERT_TRUE(model.Load((dir / "m.gltf").string()));
    ::testing::internal::GetCapturedStdout();
    ASSERT_EQ(model.materials.size(), 1u);
    const auto& white = AxDirect3D::GetInstance().whiteTex;
    const AxMaterial& mat = model.materials[0];
    ASSERT_TRUE(mat.baseColorTex);
    EXPECT_NE(mat.baseColorTex, white);
    EXPECT_EQ(mat.baseColorTex->filePath, (dir / "m.gltf").parent_path().string() + "//red.png");
    EXPECT_EQ(mat.metallicRoughnessTex, white);
    EXPECT_EQ(mat.emissiveTex, white);
    ASSERT_EQ(model.nodes.size(), 1u);
    ASSERT_TRUE(model.nodes[0].mesh);
    EXPECT_EQ(model.nodes[0].mesh->positions.size(), 3u);
    EXPECT_EQ(model.nodes[0].mesh->faces.size(), 1u);
    EXPECT_EQ(model.nodes[0].mesh->vertexBuffer.bufSize, 3u * 36u);
    EXPECT_EQ(model.nodes[0].mesh->indexBuffer.bufSize, 12u);

    // Without a directory the textures are looked for as "/" + name: white here.
    const auto cwd = std::filesystem::current_path();
    std::filesystem::current_path(dir);
    AxModel bare;
    ::testing::internal::CaptureStdout();
    EXPECT_TRUE(bare.Load("m.gltf"));
    ::testing::internal::GetCapturedStdout();
    std::filesystem::current_path(cwd);
    ASSERT_EQ(bare.materials.size(), 1u);
    EXPECT_EQ(bare.materials[0].baseColorTex, white);
}

TEST_F(GLTFModelTest, ThirdPartySamples) {
    const std::filesystem::path samples = VORLAN_GLTF_SAMPLES;
    ASSERT_TRUE(std::filesystem::exists(samples)) << "the samples live in the repository: " << samples;
    struct Expect {
        const char* file;
        size_t meshNode, vertices, faces;
    };
    for (const Expect& e : {Expect{"Box.gltf", 1, 24, 12}, Expect{"TriangleWithoutIndices.gltf", 0, 3, 1},
                            Expect{"Triangle.gltf", 0, 3, 1}, Expect{"SimpleSkin.gltf", 0, 10, 8},
                            Expect{"BoxTextured.gltf", 2, 24, 12}}) {
        ::testing::internal::CaptureStdout();
        auto m = AxLoadGLTFModel((samples / e.file).string());
        const std::string out = ::testing::internal::GetCapturedStdout();
        ASSERT_TRUE(m) << e.file << out;
        ASSERT_GT(m->nodes.size(), e.meshNode) << e.file;
        const AxGLTFNode& n = *m->nodes[e.meshNode];
        EXPECT_TRUE(n.isMesh) << e.file;
        EXPECT_EQ(n.vertices.size(), e.vertices) << e.file;
        EXPECT_EQ(n.faces.size(), e.faces) << e.file;
        for (const AxMeshFace& f : n.faces)
            for (uint32_t i : f.idx) ASSERT_LT(i, n.vertices.size()) << e.file;
    }
    ::testing::internal::CaptureStdout();
    auto box = AxLoadGLTFModel((samples / "Box.gltf").string());
    ::testing::internal::GetCapturedStdout();
    ASSERT_TRUE(box);
    float lo = 1e9f, hi = -1e9f;
    for (const AxMeshVertex& v : box->nodes[1]->vertices) lo = std::min(lo, v.position.z), hi = std::max(hi, v.position.z);
    EXPECT_FLOAT_EQ(lo, -0.5f);
    EXPECT_FLOAT_EQ(hi, 0.5f);
}
