#pragma once
// A hidden offscreen window with the device and shaders up, and helpers to
// read pixels and write small files.

#include "framework/graphics/AxDirect3D.h"
#include "framework/graphics/AxShaderManager.h"
#include "framework/platform/Platform.h"
#include "framework/platform/WindowBackend.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

class GraphicsTest : public ::testing::Test {
public:
    static constexpr int kWidth = 64;
    static constexpr int kHeight = 64;

    void SetUp() override {
        SetHeadless(true);
        std::string error;
        window = WindowBackend::Create(kWidth, kHeight, "graphics test", error);
        ASSERT_NE(window, nullptr) << error;
        ASSERT_TRUE(AxDirect3D::GetInstance().Init(window, kWidth, kHeight, false, error)) << error;
        // The singletons outlive a test when several run in one process.
        AxShaderManager& shaders = AxShaderManager::GetInstance();
        shaders.modelShader.cb0.data = cbObject{};
        shaders.modelShader.cb1.data = cbMaterial{};
        shaders.modelShader.worldMatrix = Matrix();
        shaders.effectShader.cb0.data = cbPerObject{};
        shaders.spriteShader.cb0.data = cbSprite{};
        shaders.cb7Camera.data = cbCamera{};
        shaders.cb8Light.data = cbLight{};
        shaders.Init();
        AxDirect3D::GetInstance().ClearBackBuffer(0, 0, 1, 1);
        AxDirect3D::GetInstance().ClearDepthStencil(1, 0);
    }
    void TearDown() override {
        AxShaderManager::GetInstance().Release();
        AxDirect3D::GetInstance().Release();
        if (window) WindowBackend::Destroy(window);
        window = nullptr;
    }

    struct Rgba {
        int r, g, b, a;
    };
    // x from the left, y from the top.
    Rgba Pixel(int x, int y) {
        std::vector<uint8_t> rgba;
        int w = 0, h = 0;
        EXPECT_TRUE(AxDirect3D::GetInstance().ReadBackBuffer(rgba, w, h));
        const size_t i = (static_cast<size_t>(y) * w + x) * 4;
        return {rgba[i], rgba[i + 1], rgba[i + 2], rgba[i + 3]};
    }
    static bool Near(Rgba p, int r, int g, int b, int tolerance = 3) {
        return std::abs(p.r - r) <= tolerance && std::abs(p.g - g) <= tolerance && std::abs(p.b - b) <= tolerance;
    }

    static std::filesystem::path TempDir() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::filesystem::path dir = std::filesystem::temp_directory_path() / "vorlan-graphics-tests" /
                                    (std::string(info->test_suite_name()) + "." + info->name());
        static std::filesystem::path cleared;
        if (cleared != dir) std::filesystem::remove_all(dir);  // leftovers of an earlier run
        cleared = dir;
        std::filesystem::create_directories(dir);
        return dir;
    }
    static void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
        std::ofstream out(path, std::ios::binary);
        out << bytes;
    }

    void* window = nullptr;
};

inline std::ostream& operator<<(std::ostream& os, const GraphicsTest::Rgba& p) {
    return os << "(" << p.r << ", " << p.g << ", " << p.b << ", " << p.a << ")";
}
