#pragma once
// A real race scene over the generated content: a hidden 1280 x 720 window
// with the device and shaders, the silent audio engine, and a fake platform
// whose keys and clock the test sets. Frames run without GPU submission
// unless a test renders.

#include "FakePlatform.h"
#include "app/Scene_base.h"
#include "framework/Random.h"
#include "framework/audio/AxAudioManager.h"
#include "framework/graphics/AxDirect3D.h"
#include "framework/graphics/AxShaderManager.h"
#include "framework/platform/Platform.h"
#include "framework/platform/WindowBackend.h"
#include "profile/UserFiles.h"
#include "scene/Game.h"
#include "scene/GameSettings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

class GameFixture : public ::testing::Test {
public:
    static constexpr int kWidth = 1280;
    static constexpr int kHeight = 720;
    static constexpr uint32_t kFrameMs = 16;

    void SetUp() override {
        SetHeadless(true);
        SetPlatform(&platform);
        std::string error;
        window = WindowBackend::Create(kWidth, kHeight, "scene test", error);
        ASSERT_NE(window, nullptr) << error;
        ASSERT_TRUE(AxDirect3D::GetInstance().Init(window, kWidth, kHeight, false, error)) << error;
        AxShaderManager& shaders = AxShaderManager::GetInstance();
        shaders.modelShader.cb0.data = cbObject{};
        shaders.modelShader.worldMatrix = Matrix();
        shaders.spriteShader.cb0.data = cbSprite{};
        shaders.cb7Camera.data = cbCamera{};
        shaders.cb8Light.data = cbLight{};
        shaders.Init();
        AxAudioManager::GetInstance().SetFixedStep(true);
        ASSERT_TRUE(AxAudioManager::GetInstance().Init());
        enterLatch = false;
        // A game stepped by a test is nobody's race: it keeps no files
        // (tests of the saving say otherwise).
        UserFiles::SetWritesAllowed(false);
        Random::Seed(1);
        game = std::make_unique<Game>();
        AxDirect3D::GetInstance().SetSubmitEnabled(false);
    }
    void TearDown() override {
        game.reset();
        AxDirect3D::GetInstance().SetSubmitEnabled(true);
        AxAudioManager::GetInstance().Release();
        AxShaderManager::GetInstance().Release();
        AxDirect3D::GetInstance().Release();
        if (window) WindowBackend::Destroy(window);
        window = nullptr;
        SetPlatform(nullptr);
        UserFiles::SetWritesAllowed(true);
    }

    // One frame as the application runs it; the clock then moves 16 ms.
    // Returns the files played in the frame.
    std::vector<std::string> Step() {
        AxAudioManager::GetInstance().Update();
        game->Frame();
        std::vector<std::string> played;
        for (const AxSoundPlayRecord& play : AxAudioManager::GetInstance().GetFramePlays())
            played.push_back(play.file);
        platform.now += kFrameMs;
        return played;
    }
    // Frames until the condition holds (at most limit); the number taken.
    template <class Condition>
    int StepUntil(Condition condition, int limit = 20000) {
        int frames = 0;
        while (!condition() && frames < limit) {
            Step();
            ++frames;
        }
        return frames;
    }
    void Press(Key key) { platform.down.insert(key); }
    void Release(Key key) { platform.down.erase(key); }

    static bool Played(const std::vector<std::string>& files, const std::string& file) {
        return std::find(files.begin(), files.end(), file) != files.end();
    }

    FakePlatform platform;
    void* window = nullptr;
    std::unique_ptr<Game> game;
};
