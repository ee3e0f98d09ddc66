#include "GltfTestFiles.h"
#include "GraphicsTestSupport.h"

#include "framework/ImageWrite.h"
#include "framework/graphics/AxModelCache.h"
#include "framework/graphics/AxTextureCache.h"

using ResourceCacheTest = GraphicsTest;

TEST_F(ResourceCacheTest, SamePathSameObjectOtherSpellingOtherObject) {
    const auto dir = TempDir();
    const uint8_t px[4] = {1, 2, 3, 4};
    ASSERT_TRUE(WritePng((dir / "a.png").string(), 1, 1, px));
    AxTextureCache cache;
    AxTexture* first = cache.GetTexture((dir / "a.png").string());
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->srv);
    EXPECT_EQ(cache.GetTexture((dir / "a.png").string()), first);
    AxTexture* doubled = cache.GetTexture(dir.string() + "//a.png");
    EXPECT_NE(doubled, first);
    EXPECT_TRUE(doubled->srv);
    EXPECT_EQ(cache.Size(), 2u);
}

TEST_F(ResourceCacheTest, FailedLoadsAreCachedWithoutRetry) {
    const auto dir = TempDir();
    AxTextureCache textures;
    const std::string missing = (dir / "later.png").string();
    AxTexture* t = textures.GetTexture(missing);
    ASSERT_NE(t, nullptr);
    EXPECT_FALSE(t->srv);
    // Even once the file appears, the empty object is what the path gives.
    const uint8_t px[4] = {1, 2, 3, 4};
    ASSERT_TRUE(WritePng(missing, 1, 1, px));
    EXPECT_EQ(textures.GetTexture(missing), t);
    EXPECT_FALSE(t->srv);

    AxModelCache models;
    ::testing::internal::CaptureStdout();
    AxModel* m = models.GetModel((dir / "none.gltf").string());
    AxModel* again = models.GetModel((dir / "none.gltf").string());
    const std::string out = ::testing::internal::GetCapturedStdout();
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(again, m);
    EXPECT_TRUE(m->nodes.empty() && m->materials.empty());
    // Loaded once: one failure report.
    EXPECT_EQ(out.find("Failed to parse glTF"), out.rfind("Failed to parse glTF"));
}

TEST_F(ResourceCacheTest, ModelsAreSharedAndFreedWithTheCache) {
    GltfBuilder b;
    const int pos = b.Positions({0, 0, 0, 1, 0, 0, 0, 1, 0});
    b.doc["meshes"].push_back({{"primitives", nlohmann::json::array({{{"attributes", {{"POSITION", pos}}}}})}});
    b.doc["nodes"].push_back({{"mesh", 0}});
    const auto path = TempDir() / "tri.gltf";
    WriteFile(path, b.Text());
    std::weak_ptr<AxMesh> mesh;
    {
        AxModelCache cache;
        ::testing::internal::CaptureStdout();
        AxModel* m = cache.GetModel(path.string());
        EXPECT_EQ(cache.GetModel(path.string()), m);
        ::testing::internal::GetCapturedStdout();
        ASSERT_EQ(m->nodes.size(), 1u);
        mesh = m->nodes[0].mesh;
        EXPECT_FALSE(mesh.expired());
    }
    EXPECT_TRUE(mesh.expired());
}
