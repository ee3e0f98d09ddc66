#include "GraphicsTestSupport.h"

#include "framework/ImageWrite.h"
#include "framework/graphics/AxMesh.h"

#include <epoxy/gl.h>

using TextureTest = GraphicsTest;

namespace {
std::vector<uint8_t> Texels(const AxTexture& t) {
    std::vector<uint8_t> rgba(static_cast<size_t>(t.desc.Width) * t.desc.Height * 4);
    glActiveTexture(GL_TEXTURE0 + AxDirect3D::kScratchTextureUnit);
    glBindTexture(GL_TEXTURE_2D, t.srv->texture->name);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    glBindTexture(GL_TEXTURE_2D, 0);
    return rgba;
}
}  // namespace

TEST_F(TextureTest, PngLoadsWithItsSizeAndTopRowFirst) {
    const std::string path = (TempDir() / "three.png").string();
    const std::vector<uint8_t> pixels = {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255,
                                         1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    ASSERT_TRUE(WritePng(path, 3, 2, pixels.data()));
    AxTexture t;
    ASSERT_TRUE(t.Load(path));
    EXPECT_EQ(t.desc.Width, 3u);
    EXPECT_EQ(t.desc.Height, 2u);
    EXPECT_EQ(t.desc.MipLevels, 1u);
    EXPECT_EQ(t.desc.Format, AxFormat::R8G8B8A8_UNORM);
    EXPECT_EQ(t.filePath, path);
    EXPECT_TRUE(t.srv);
    EXPECT_FALSE(t.rtv || t.dsv);
    EXPECT_EQ(Texels(t), pixels);

    AxTexture mipped;
    ASSERT_TRUE(mipped.Load(path, false, false, true));
    EXPECT_EQ(mipped.desc.MipLevels, 2u);
    AxTexture target;
    ASSERT_TRUE(target.Load(path, true));
    EXPECT_TRUE(target.rtv);

    t.Release();
    EXPECT_FALSE(t.srv);
    EXPECT_EQ(t.filePath, "");
    EXPECT_EQ(t.desc.Width, 3u);  // the description stays
}

TEST_F(TextureTest, TgaLoadsToo) {
    // Uncompressed 32-bit, 2 x 1, origin top-left; pixels stored BGRA.
    std::string tga(18, '\0');
    tga[2] = 2;
    tga[12] = 2;
    tga[14] = 1;
    tga[16] = 32;
    tga[17] = 0x28;
    tga += std::string("\x00\x00\xff\xff\xff\x00\x00\xff", 8);
    const auto path = TempDir() / "two.tga";
    WriteFile(path, tga);
    AxTexture t;
    ASSERT_TRUE(t.Load(path.string()));
    EXPECT_EQ(t.desc.Width, 2u);
    const std::vector<uint8_t> texels = Texels(t);
    EXPECT_EQ(texels[0], 255);
    EXPECT_EQ(texels[6], 255);
}

TEST_F(TextureTest, BadFilesFailWithoutViews) {
    const auto dir = TempDir();
    const std::string good = (dir / "good.png").string();
    const uint8_t px[4] = {1, 2, 3, 4};
    ASSERT_TRUE(WritePng(good, 1, 1, px));
    std::ifstream in(good, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    WriteFile(dir / "cut.png", bytes.substr(0, 30));
    WriteFile(dir / "junk.png", std::string(100, 'x'));
    WriteFile(dir / "empty.png", "");

    AxTexture t;
    EXPECT_FALSE(t.Load(""));
    for (const char* name : {"cut.png", "junk.png", "empty.png", "missing.png"}) {
        ASSERT_TRUE(t.Load(good));
        EXPECT_FALSE(t.Load((dir / name).string())) << name;
        EXPECT_FALSE(t.srv || t.rtv || t.dsv) << name;
        EXPECT_EQ(t.filePath, "") << name;
    }
}

TEST_F(TextureTest, ViewsFollowTheFormatRules) {
    AxTexture depth;
    AxTexture2DDesc d;
    d.Width = d.Height = 8;
    d.Format = AxFormat::R32_TYPELESS;
    d.BindFlags = AX_BIND_DEPTH_STENCIL | AX_BIND_SHADER_RESOURCE;
    ASSERT_TRUE(depth.Create(d));
    ASSERT_TRUE(depth.dsv && depth.srv);
    EXPECT_EQ(depth.dsv->format, AxFormat::D32_FLOAT);
    EXPECT_EQ(depth.srv->format, AxFormat::R32_FLOAT);
    d.Format = AxFormat::R24G8_TYPELESS;
    ASSERT_TRUE(depth.Create(d));
    EXPECT_EQ(depth.dsv->format, AxFormat::D24_UNORM_S8_UINT);
    EXPECT_EQ(depth.srv->format, AxFormat::R24_UNORM_X8_TYPELESS);
    d.Format = AxFormat::R16_TYPELESS;
    ASSERT_TRUE(depth.Create(d));
    EXPECT_EQ(depth.dsv->format, AxFormat::D16_UNORM);
    EXPECT_EQ(depth.srv->format, AxFormat::R16_UNORM);
    // A colour format cannot be a depth target.
    d.Format = AxFormat::R8G8B8A8_UNORM;
    EXPECT_FALSE(depth.Create(d));
    EXPECT_FALSE(depth.srv || depth.dsv);

    AxTexture plain;
    EXPECT_FALSE(plain.Create(0, 4, AxFormat::R8G8B8A8_UNORM, 1));
    EXPECT_FALSE(plain.Create(1 << 30, 4, AxFormat::R8G8B8A8_UNORM, 1));
    ASSERT_TRUE(plain.Create(4, 4, AxFormat::R8G8B8A8_UNORM, 1));
    EXPECT_TRUE(plain.srv);
    EXPECT_FALSE(plain.rtv || plain.dsv);
}

TEST_F(TextureTest, OpaqueOnlyWhenEveryTexelHasFullAlpha) {
    const std::string solid = (TempDir() / "solid.png").string();
    const std::string holed = (TempDir() / "holed.png").string();
    const uint8_t solidPixels[8] = {10, 20, 30, 255, 40, 50, 60, 255};
    const uint8_t holedPixels[8] = {10, 20, 30, 255, 40, 50, 60, 254};
    ASSERT_TRUE(WritePng(solid, 2, 1, solidPixels));
    ASSERT_TRUE(WritePng(holed, 2, 1, holedPixels));
    AxTexture t;
    ASSERT_TRUE(t.Load(solid));
    EXPECT_TRUE(t.opaque);
    ASSERT_TRUE(t.Load(holed));
    EXPECT_FALSE(t.opaque) << "one texel short of full alpha";
    EXPECT_FALSE(t.Load((TempDir() / "missing.png").string()));
    EXPECT_FALSE(t.opaque);

    AxSubresourceData data;
    data.pSysMem = solidPixels;
    data.SysMemPitch = 8;
    ASSERT_TRUE(t.Create(2, 1, AxFormat::R8G8B8A8_UNORM, 1, &data));
    EXPECT_TRUE(t.opaque);
    data.pSysMem = holedPixels;
    ASSERT_TRUE(t.Create(2, 1, AxFormat::R8G8B8A8_UNORM, 1, &data));
    EXPECT_FALSE(t.opaque);
    ASSERT_TRUE(t.Create(2, 1, AxFormat::R8G8B8A8_UNORM, 1, nullptr));
    EXPECT_FALSE(t.opaque) << "contents unknown";
    EXPECT_TRUE(AxDirect3D::GetInstance().whiteTex->opaque);
    t.Release();
    EXPECT_FALSE(t.opaque);

    AxMesh mesh;
    std::vector<AxMeshVertex> vertices(3);
    ASSERT_TRUE(mesh.Create(vertices, {}, {}));
    EXPECT_TRUE(mesh.opaqueColors);
    vertices[1].color = 0xfeffffffu;
    ASSERT_TRUE(mesh.Create(vertices, {}, {}));
    EXPECT_FALSE(mesh.opaqueColors);
}
