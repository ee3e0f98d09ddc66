#include "GraphicsTestSupport.h"

#include <limits>

namespace {
class SpriteTest : public GraphicsTest {
public:
    void SetUp() override {
        GraphicsTest::SetUp();
        const uint8_t white[4] = {255, 255, 255, 255};
        AxSubresourceData data{white, 4, 0};
        ASSERT_TRUE(whiteTex.Create(1, 1, AxFormat::R8G8B8A8_UNORM, 1, &data));
    }
    void TearDown() override {
        whiteTex.Release();
        GraphicsTest::TearDown();
    }
    AxSpriteShader& Sprites() { return AxShaderManager::GetInstance().spriteShader; }
    AxTexture whiteTex;
};
const float kRed[4] = {1, 0, 0, 1};
}  // namespace

TEST_F(SpriteTest, ProjectionIsPixelsAroundTheCentre) {
    AxDirect3D& d = AxDirect3D::GetInstance();
    d.SetViewport(0, 0, 1280, 720);
    Sprites().Begin(false, true);
    EXPECT_FLOAT_EQ(Sprites().projection.m[0][0], 1.0f / 640.0f);
    EXPECT_FLOAT_EQ(Sprites().projection.m[1][1], 1.0f / 360.0f);
    EXPECT_FLOAT_EQ(Sprites().projection.m[2][2], 1.0f);
    EXPECT_FLOAT_EQ(Sprites().projection.m[3][3], 1.0f);
    EXPECT_FLOAT_EQ(Sprites().projection.m[3][0], 0.0f);
    Sprites().End();
    d.SetViewport(0, 0, kWidth, kHeight);
}

TEST_F(SpriteTest, PivotsPlaceTheRectangle) {
    AxDirect3D& d = AxDirect3D::GetInstance();
    struct Case {
        float pivot[2];
        int inX, inY, outX, outY;  // image pixels, top row first
    } cases[] = {
        {{0, 0}, 40, 24, 24, 40},
        {{0.5f, 0.5f}, 25, 38, 41, 32},
        {{1, 1}, 24, 40, 40, 24},
    };
    for (const Case& c : cases) {
        d.ClearBackBuffer(0, 0, 1, 1);
        Sprites().DrawTex(&whiteTex, 0, 0, 16, 16, nullptr, kRed, c.pivot);
        EXPECT_TRUE(Near(Pixel(c.inX, c.inY), 255, 0, 0, 0)) << c.pivot[0] << Pixel(c.inX, c.inY);
        EXPECT_TRUE(Near(Pixel(c.outX, c.outY), 0, 0, 255, 0)) << c.pivot[0] << Pixel(c.outX, c.outY);
    }
    // The caller's transform moves the rectangle; the colour stays for later calls.
    d.ClearBackBuffer(0, 0, 1, 1);
    Sprites().cb0.data.g_mTransform = Matrix::CreateTranslation(-16, 16, 0);
    Sprites().cb0.dirty = true;
    const float centre[2] = {0.5f, 0.5f};
    Sprites().DrawTex(&whiteTex, 0, 0, 8, 8, nullptr, nullptr, centre);
    EXPECT_TRUE(Near(Pixel(16, 16), 255, 0, 0, 0)) << Pixel(16, 16);
    EXPECT_TRUE(Near(Pixel(32, 32), 0, 0, 255, 0)) << Pixel(32, 32);
}

TEST_F(SpriteTest, SourceRectanglesAndUprightImages) {
    // Texels left to right: red, green, blue, white; a second row of black.
    const uint8_t texels[] = {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 255, 255, 255,
                              0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255};
    AxTexture sheet;
    AxSubresourceData data{texels, 16, 0};
    ASSERT_TRUE(sheet.Create(4, 2, AxFormat::R8G8B8A8_UNORM, 1, &data));
    const AxRect second{1, 0, 1, 1};
    const float centre[2] = {0.5f, 0.5f};
    Sprites().DrawTex(&sheet, 0, 0, 16, 16, &second, nullptr, centre);
    EXPECT_TRUE(Near(Pixel(26, 26), 0, 255, 0, 0)) << Pixel(26, 26);
    EXPECT_TRUE(Near(Pixel(37, 37), 0, 255, 0, 0)) << Pixel(37, 37);
    // The whole sheet: its top row shows at the top.
    AxDirect3D::GetInstance().ClearBackBuffer(0, 0, 1, 1);
    Sprites().DrawTex(&sheet, 0, 0, 32, 16, nullptr, nullptr, centre);
    EXPECT_TRUE(Near(Pixel(17, 26), 255, 0, 0, 0)) << Pixel(17, 26);
    EXPECT_TRUE(Near(Pixel(17, 37), 0, 0, 0, 0)) << Pixel(17, 37);

    AxTexture wide;
    ASSERT_TRUE(wide.Create(256, 64, AxFormat::R8G8B8A8_UNORM, 1));
    const AxRect cell{64, 0, 64, 64};
    Sprites().DrawTex(&wide, 0, 0, 64, 64, &cell, nullptr, centre);
    EXPECT_FLOAT_EQ(Sprites().lastUV[0], 0.25f);
    EXPECT_FLOAT_EQ(Sprites().lastUV[1], 0.0f);
    EXPECT_FLOAT_EQ(Sprites().lastUV[2], 0.5f);
    EXPECT_FLOAT_EQ(Sprites().lastUV[3], 1.0f);
}

TEST_F(SpriteTest, LowAlphaIsDiscardedAndColourAlphaBlends) {
    const uint8_t texels[] = {255, 255, 255, 20, 255, 255, 255, 255};  // alpha 0.078 and 1
    AxTexture t;
    AxSubresourceData data{texels, 8, 0};
    ASSERT_TRUE(t.Create(2, 1, AxFormat::R8G8B8A8_UNORM, 1, &data));
    const float half[4] = {1, 1, 1, 0.5f};
    const float centre[2] = {0.5f, 0.5f};
    Sprites().DrawTex(&t, 0, 0, 32, 16, nullptr, half, centre);
    EXPECT_TRUE(Near(Pixel(20, 32), 0, 0, 255, 0)) << Pixel(20, 32);
    EXPECT_TRUE(Near(Pixel(44, 32), 128, 128, 255, 1)) << Pixel(44, 32);
}

TEST_F(SpriteTest, DrawTexOutsideBeginRestoresStates) {
    AxDirect3D& d = AxDirect3D::GetInstance();
    const AxDepthStencilStatePtr depth = d.CreateDepthStencilState(true, false);
    const AxRasterizerStatePtr raster = d.CreateRasterizerState(AX_CULL_BACK, AX_FILL_SOLID, true, false);
    const AxSamplerStatePtr sampler = d.CreateSamplerState(1, 0, 1, false);
    d.SetDepthStencilState(depth, 3);
    d.SetRasterizerState(raster);
    d.SetSampler(0, sampler);
    const float pivot[2] = {0, 0};
    Sprites().DrawTex(&whiteTex, 0, 0, 8, 8, nullptr, kRed, pivot);
    EXPECT_TRUE(Near(Pixel(36, 28), 255, 0, 0, 0)) << Pixel(36, 28);
    unsigned ref = 0;
    EXPECT_EQ(d.GetDepthStencilState(&ref), depth);
    EXPECT_EQ(ref, 3u);
    EXPECT_EQ(d.GetRasterizerState(), raster);
    EXPECT_EQ(d.GetSampler(0), sampler);
    EXPECT_FALSE(Sprites().isBegin);
    EXPECT_FALSE(Sprites().savedDepthState || Sprites().savedRasterizerState || Sprites().savedSampler);

    // Begin twice, End once: sprite mode ends and the states come back once.
    Sprites().Begin(true, true);
    EXPECT_EQ(d.GetDepthStencilState(), Sprites().noDepthState);
    EXPECT_EQ(d.GetSampler(0), Sprites().linearSampler);
    Sprites().Begin(false, false);
    EXPECT_EQ(d.GetSampler(0), Sprites().linearSampler);
    Sprites().End();
    EXPECT_EQ(d.GetDepthStencilState(), depth);
    EXPECT_EQ(d.GetSampler(0), sampler);
    Sprites().End();
    EXPECT_EQ(d.GetRasterizerState(), raster);

    // Without disabling depth the current depth state stays.
    Sprites().Begin(false, false);
    EXPECT_EQ(d.GetDepthStencilState(), depth);
    EXPECT_EQ(d.GetSampler(0), Sprites().pointSampler);
    Sprites().End();
    Sprites().DrawTex(nullptr, 0, 0, 8, 8, nullptr, nullptr, pivot);
    EXPECT_FALSE(Sprites().isBegin);
}

// The 3D scene at half size is stretched with linear filtering onto the back
// buffer; what is drawn after it (the 2D screens) stays at full size.
TEST_F(SpriteTest, RenderScaleDrawsTheSceneSmallAndTheScreensAtFullSize) {
    AxDirect3D& d = AxDirect3D::GetInstance();
    const float corner[2] = {0, 0};
    const float kGreen[4] = {0, 1, 0, 1};
    ASSERT_TRUE(d.SetRenderScale(0.5f));
    d.BeginScene3D();
    int vx, vy, vw, vh;
    d.GetViewport(vx, vy, vw, vh);
    EXPECT_EQ(vw, kWidth / 2);
    EXPECT_EQ(vh, kHeight / 2);
    d.ClearBackBuffer(0, 0, 1, 1);
    Sprites().Begin(false, true);
    Sprites().DrawTex(&whiteTex, 0, -16, 1, 32, nullptr, kRed, corner);  // scene column 16 of 32
    Sprites().End();
    d.EndScene3D();
    d.GetViewport(vx, vy, vw, vh);
    EXPECT_EQ(vw, kWidth);
    Sprites().Begin(false, true);
    Sprites().DrawTex(&whiteTex, -16, -32, 1, 64, nullptr, kGreen, corner);  // image column 16 of 64
    Sprites().End();

    // The scene's one-pixel line covers two image columns and fades into its
    // neighbours: scaled up, filtered.
    EXPECT_TRUE(Near(Pixel(28, 20), 0, 0, 255)) << Pixel(28, 20).r;
    EXPECT_GT(Pixel(32, 20).r, 150);
    EXPECT_GT(Pixel(33, 20).r, 150);
    EXPECT_GT(Pixel(31, 20).r, 30);
    EXPECT_LT(Pixel(31, 20).r, 130);
    // The screen's line is one sharp column.
    EXPECT_TRUE(Near(Pixel(16, 20), 0, 255, 0)) << Pixel(16, 20).g;
    EXPECT_TRUE(Near(Pixel(15, 20), 0, 0, 255));
    EXPECT_TRUE(Near(Pixel(17, 20), 0, 0, 255));
    // Screenshots keep the window's size.
    std::vector<uint8_t> rgba;
    int w = 0, h = 0;
    ASSERT_TRUE(d.ReadBackBuffer(rgba, w, h));
    EXPECT_EQ(w, kWidth);
    EXPECT_EQ(h, kHeight);

    // Back to full size: the scene is drawn straight into the back buffer.
    ASSERT_TRUE(d.SetRenderScale(1.0f));
    d.BeginScene3D();
    d.GetViewport(vx, vy, vw, vh);
    EXPECT_EQ(vw, kWidth);
    d.EndScene3D();
    for (float bad : {0.0f, -0.5f, 1.5f, std::numeric_limits<float>::quiet_NaN()}) {
        EXPECT_FALSE(d.SetRenderScale(bad)) << bad;
        EXPECT_EQ(d.RenderScale(), 1.0f);
    }
}
