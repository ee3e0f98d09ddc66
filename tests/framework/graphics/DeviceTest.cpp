#include "GraphicsTestSupport.h"

#include <epoxy/gl.h>

namespace {
std::vector<uint8_t> ReadBuffer(const AxBuffer& b) {
    std::vector<uint8_t> bytes(b.bufSize);
    glBindBuffer(GL_COPY_READ_BUFFER, b.buffer);
    glGetBufferSubData(GL_COPY_READ_BUFFER, 0, b.bufSize, bytes.data());
    glBindBuffer(GL_COPY_READ_BUFFER, 0);
    return bytes;
}
}  // namespace

using DeviceTest = GraphicsTest;

TEST_F(DeviceTest, TargetsWhiteTextureAndPoolAfterInit) {
    AxDirect3D& d = AxDirect3D::GetInstance();
    ASSERT_TRUE(d.backBuffer && d.zBuffer && d.whiteTex);
    EXPECT_EQ(d.backBuffer->desc.Width, 64u);
    EXPECT_EQ(d.backBuffer->desc.Height, 64u);
    EXPECT_TRUE(d.backBuffer->rtv && d.backBuffer->srv);
    ASSERT_TRUE(d.zBuffer->dsv && d.zBuffer->srv);
    EXPECT_EQ(d.zBuffer->dsv->format, AxFormat::D32_FLOAT);
    EXPECT_EQ(d.zBuffer->srv->format, AxFormat::R32_FLOAT);
    EXPECT_FALSE(d.zBuffer->rtv);
    EXPECT_TRUE(d.whiteTex->srv);
    EXPECT_FALSE(d.whiteTex->rtv || d.whiteTex->dsv);
    EXPECT_EQ(d.whiteTex->desc.Width, 1u);
    for (int k = 0; k < AxDirect3D::kPoolBuffers; ++k) {
        EXPECT_EQ(d.tempVertexBuffers[k].bufSize, 80u << k);
        EXPECT_EQ(d.tempVertexBuffers[k].bufUsage, static_cast<unsigned>(AX_USAGE_DYNAMIC));
    }
    EXPECT_EQ(d.overflowVertexBuffer.bufSize, 0u);
    d.ClearBackBuffer(0, 0, 1, 1);
    EXPECT_TRUE(Near(Pixel(0, 0), 0, 0, 255, 0));
}

TEST_F(DeviceTest, PoolChoiceSkipsExactFitAndGrowsOverflow) {
    AxDirect3D& d = AxDirect3D::GetInstance();
    AxShaderManager::GetInstance().spriteShader.Begin(false, true);
    std::vector<uint8_t> vertices(60000, 0);
    d.DrawVertexBuffer(AxTopology::TriangleStrip, 4, vertices.data(), 20);
    EXPECT_EQ(d.lastDrawBuffer, &d.tempVertexBuffers[1]);
    d.DrawVertexBuffer(AxTopology::TriangleList, 2500, vertices.data(), 20);  // 50000 bytes
    EXPECT_EQ(d.lastDrawBuffer, &d.overflowVertexBuffer);
    EXPECT_EQ(d.overflowVertexBuffer.bufSize, 50000u);
    d.DrawVertexBuffer(AxTopology::TriangleList, 2000, vertices.data(), 20);  // 40000 bytes
    EXPECT_EQ(d.lastDrawBuffer, &d.tempVertexBuffers[9]);
    d.DrawVertexBuffer(AxTopology::TriangleList, 3000, vertices.data(), 20);  // 60000 bytes
    EXPECT_EQ(d.lastDrawBuffer, &d.overflowVertexBuffer);
    EXPECT_EQ(d.overflowVertexBuffer.bufSize, 60000u);
    // Submission off still makes the same choice.
    d.SetSubmitEnabled(false);
    d.DrawVertexBuffer(AxTopology::TriangleStrip, 4, vertices.data(), 20);
    EXPECT_EQ(d.lastDrawBuffer, &d.tempVertexBuffers[1]);
    d.SetSubmitEnabled(true);
    AxShaderManager::GetInstance().spriteShader.End();
}

TEST_F(DeviceTest, BufferCreateRulesAndWriteData) {
    AxBuffer cb;
    EXPECT_FALSE(cb.Create(AX_BIND_CONSTANT_BUFFER, 100, AX_USAGE_DYNAMIC));
    EXPECT_EQ(cb.buffer, 0u);
    EXPECT_EQ(cb.bufSize, 0u);
    EXPECT_TRUE(cb.Create(AX_BIND_CONSTANT_BUFFER, 96, AX_USAGE_DYNAMIC));
    EXPECT_EQ(cb.bufSize, 96u);
    EXPECT_EQ(cb.bufUsage, static_cast<unsigned>(AX_USAGE_DYNAMIC));

    std::vector<uint8_t> data(96);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i + 1);
    cb.WriteData(data.data(), data.size());
    EXPECT_EQ(ReadBuffer(cb), data);
    // Too large a source zero-fills instead of overrunning.
    std::vector<uint8_t> big(200, 7);
    cb.WriteData(big.data(), big.size());
    EXPECT_EQ(ReadBuffer(cb), std::vector<uint8_t>(96, 0));
    cb.WriteData(data.data(), data.size());
    cb.WriteData(nullptr, 16);
    EXPECT_EQ(ReadBuffer(cb), std::vector<uint8_t>(96, 0));

    // Default usage takes a short source without reading past it.
    AxBuffer vb;
    ASSERT_TRUE(vb.Create(AX_BIND_VERTEX_BUFFER, 16, AX_USAGE_DEFAULT));
    const uint8_t four[4] = {9, 8, 7, 6};
    vb.WriteData(four, 4);
    EXPECT_EQ(ReadBuffer(vb)[0], 9);
    EXPECT_EQ(ReadBuffer(vb)[3], 6);

    AxBuffer staging;
    ASSERT_TRUE(staging.Create(AX_BIND_VERTEX_BUFFER, 32, AX_USAGE_STAGING));
    EXPECT_EQ(staging.bindFlags, 0u);
    staging.Release();
    EXPECT_EQ(staging.buffer, 0u);
    EXPECT_EQ(staging.bufSize, 0u);
    EXPECT_EQ(staging.bufUsage, 0u);
    EXPECT_FALSE(staging.Create(AX_BIND_VERTEX_BUFFER, 0, AX_USAGE_DEFAULT));
}

TEST_F(DeviceTest, FailedInitLeavesNothingBehind) {
    AxShaderManager::GetInstance().Release();
    AxDirect3D& d = AxDirect3D::GetInstance();
    d.Release();
    std::string error;
    EXPECT_FALSE(d.Init(window, 0, 0, false, error));
    EXPECT_EQ(error, "スワップチェイン作成失敗");
    EXPECT_FALSE(d.IsInitialised());
    EXPECT_FALSE(d.backBuffer || d.zBuffer || d.whiteTex);
    EXPECT_FALSE(AxGLContextAlive());
    error.clear();
    EXPECT_FALSE(d.Init(nullptr, 64, 64, false, error));
    EXPECT_EQ(error, "Direct3D11デバイス作成失敗");
    // A later Init on the same window works again.
    ASSERT_TRUE(d.Init(window, kWidth, kHeight, false, error)) << error;
    AxShaderManager::GetInstance().Init();
}

TEST_F(DeviceTest, StateFactoriesAndDefaults) {
    AxDirect3D& d = AxDirect3D::GetInstance();
    AxDepthStencilStatePtr depth = d.CreateDepthStencilState(true, false);
    ASSERT_TRUE(depth);
    EXPECT_TRUE(depth->depthEnable);
    EXPECT_FALSE(depth->depthWrite);
    EXPECT_FALSE(d.CreateRasterizerState(7, AX_FILL_SOLID, true, false));
    EXPECT_FALSE(d.CreateSamplerState(2, 4, 5, false));
    AxSamplerStatePtr s = d.CreateSamplerState(2, 4, 1, true);
    ASSERT_TRUE(s);
    EXPECT_NE(s->sampler, 0u);
    // The defaults set by Init: anisotropic wrap / clamp, no culling, depth LESS_EQUAL with writes.
    ASSERT_TRUE(d.GetSampler(0) && d.GetSampler(1));
    // Anisotropic x4 on hardware; trilinear on the software rasteriser the tests run on.
    EXPECT_TRUE(d.softwareRasteriser);
    EXPECT_EQ(d.GetSampler(0)->filterType, 1);
    EXPECT_EQ(d.GetSampler(1)->filterType, 1);
    auto anisotropic = d.CreateSamplerState(2, 4, 0, false);
    ASSERT_TRUE(anisotropic);
    EXPECT_EQ(anisotropic->maxAnisotropy, 4);
    EXPECT_EQ(d.GetSampler(0)->addressMode, 0);
    EXPECT_EQ(d.GetSampler(1)->addressMode, 1);
    ASSERT_TRUE(d.GetRasterizerState());
    EXPECT_EQ(d.GetRasterizerState()->cullMode, AX_CULL_NONE);
    ASSERT_TRUE(d.GetDepthStencilState());
    EXPECT_TRUE(d.GetDepthStencilState()->depthEnable && d.GetDepthStencilState()->depthWrite);
    GLint func = 0;
    glGetIntegerv(GL_DEPTH_FUNC, &func);
    EXPECT_EQ(func, GL_LEQUAL);
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
}

TEST_F(DeviceTest, ReleaseWithoutCurrentContextMakesNoCalls) {
    AxShaderManager::GetInstance().Release();
    // The window going first takes the context's surface; Release must cope.
    WindowBackend::Destroy(window);
    window = nullptr;
    AxDirect3D::GetInstance().Release();
    EXPECT_FALSE(AxDirect3D::GetInstance().IsInitialised());
}
