#pragma once
// A real race scene over the generated content (the tests run in the build
// directory, next to Data), with the device, the silent audio engine and a
// fake platform; bikes are placed by hand and stage objects stepped directly.

#include "FakePlatform.h"
#include "bike/Bike_base.h"
#include "bike/Enemy.h"
#include "bike/Player.h"
#include "framework/audio/AxAudioManager.h"
#include "framework/audio/AxSoundInstance.h"
#include "framework/graphics/GraphicsTestSupport.h"
#include "scene/Game.h"

#include <memory>
#include <string>

class StageTest : public GraphicsTest {
public:
    void SetUp() override {
        GraphicsTest::SetUp();
        if (HasFatalFailure()) return;
        SetPlatform(&platform);
        ASSERT_TRUE(AxAudioManager::GetInstance().Init());
        game = std::make_unique<Game>();
        // Away from every switch, panel and box, on the road at the start.
        Place(*game->player, Vector3(0.0f, 0.2f, 0.0f));
        Place(*game->enemies[0], Vector3(-2.0f, 0.2f, 0.0f));
        Place(*game->enemies[1], Vector3(-2.0f, 0.2f, -2.0f));
    }
    void TearDown() override {
        game.reset();
        AxAudioManager::GetInstance().Release();
        SetPlatform(nullptr);
        GraphicsTest::TearDown();
    }

    static void Place(Bike_base& bike, const Vector3& position, float yaw = 0.0f, float speed = 0.0f) {
        bike.position = position;
        bike.yaw = yaw;
        bike.speed = speed;
        bike.world = BikeMotion::GetInstance().MakeWorld(yaw, 0.0f, position);
        bike.headingWorld = BikeMotion::GetInstance().MakeHeadingWorld(yaw, position);
    }

    // How often a file whose path ends in name was started this frame (3D or plain).
    static int Plays(const std::string& name, int want3D = -1) {
        int n = 0;
        for (const AxSoundPlayRecord& play : AxAudioManager::GetInstance().GetFramePlays()) {
            const bool nameMatches =
                play.file.size() >= name.size() && play.file.compare(play.file.size() - name.size(), name.size(), name) == 0;
            if (nameMatches && (want3D < 0 || play.is3D == (want3D == 1))) ++n;
        }
        return n;
    }
    static void NewFrame() { AxAudioManager::GetInstance().ClearFramePlays(); }

    FakePlatform platform;
    std::unique_ptr<Game> game;
};
