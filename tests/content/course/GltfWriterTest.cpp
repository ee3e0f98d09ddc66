// The generator's writer against the loader's conversion: what the mesh
// builder makes in game coordinates must come back unchanged, facing the same way.

#include "ContentModel.h"
#include "model/GltfWriter.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

std::filesystem::path TempDir() {
    auto dir = std::filesystem::temp_directory_path() / ("vorlan-writer-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    std::filesystem::create_directories(dir);
    return dir;
}

TEST(GltfWriter, ShapesComeBackWithOutwardFrontFacesAfterTheMirror) {
    gen::Mesh mesh;
    const int a = mesh.AddMaterial(gen::Mat("A", {0.5f, 0.4f, 0.3f, 1}, 0.7f, "a.png"));
    const int b = mesh.AddMaterial(gen::Mat("B", {1, 1, 1, 1}));
    const Vector3 centre{1, 2, 3};
    mesh.Box(a, centre - Vector3{0.5f, 1, 2}, centre + Vector3{0.5f, 1, 2});
    mesh.Cylinder(b, centre + Vector3{3, 0, 0}, centre + Vector3{3, 0, 2}, 0.5f, 12);
    mesh.Beam(b, centre + Vector3{-3, 0, 0}, centre + Vector3{-5, 1, 1}, 0.3f, 0.4f);
    const auto path = TempDir() / "shape.gltf";
    ASSERT_TRUE(gen::WriteGltf(path, mesh));
    ContentModel m = LoadContentModel(path.string());
    ASSERT_TRUE(m.ok) << m.error;
    ASSERT_EQ(m.nodes.size(), 1u);
    ASSERT_EQ(m.images.size(), 1u);
    EXPECT_EQ(m.images[0], "a.png");
    size_t expected = 0;
    for (const auto& p : mesh.Primitives()) expected += p.indices.size() / 3;
    EXPECT_EQ(m.TriangleCount(), expected);
    // same place in game coordinates
    EXPECT_NEAR(m.Min().z, centre.z - 2, 1e-5f);
    EXPECT_NEAR(m.Max().z, centre.z + 2, 1e-5f);
    // rays from outside hit every shape on a face turned towards them
    const Vector3 targets[] = {centre, centre + Vector3{3, 0, 1}, centre + Vector3{-4, 0.5f, 0.5f}};
    for (const Vector3& t : targets)
        for (Vector3 dir : {Vector3{1, 0, 0}, Vector3{-1, 0, 0}, Vector3{0, 0, 1}, Vector3{0, 0, -1}, Vector3{0, -1, 0}}) {
            RayHit h = CastRay(m, Matrix(), t - dir * 10.0f, dir);
            ASSERT_TRUE(h.hit);
            EXPECT_LT(dir.Dot(h.normal), 0.0f) << t.x << " " << dir.x << "," << dir.y << "," << dir.z << " hit at " << h.distance;
        }
    std::filesystem::remove_all(path.parent_path());
}

}  // namespace
