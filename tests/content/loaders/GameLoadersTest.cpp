// Every file the game loads, read with the game's own loaders.

#include "../../framework/graphics/GraphicsTestSupport.h"
#include "framework/graphics/AxModel.h"
#include "framework/graphics/AxModelCache.h"
#include "framework/audio/AxAudioManager.h"
#include "framework/audio/AxSoundEffect.h"
#include "framework/graphics/AxTexture.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fstream>

namespace {
const char* const kModels[] = {
    "Data/Bike/bike001.gltf",
    "Data/Bike/bike002.gltf",
    "Data/Bike/bike003.gltf",
    "Data/Bike/wheel002.gltf",
    "Data/Course/Road/road.gltf",
    "Data/Course/Ground/ground01.gltf",
    "Data/Course/Wall/wall.gltf",
    "Data/Course/Wall/wall02.gltf",
    "Data/Obstacle/WoodBox/WoodBox.gltf",
    "Data/Obstacle/WoodBox/Fragment1.gltf",
    "Data/Obstacle/WoodBox/Fragment2.gltf",
    "Data/Obstacle/WoodBox/Fragment3.gltf",
    "Data/Obstacle/Switch/switchOFF.gltf",
    "Data/Obstacle/Switch/switchON.gltf",
    "Data/Obstacle/Switch/WallSwitchOFF.gltf",
    "Data/Obstacle/Switch/WallSwitchON.gltf",
    "Data/Obstacle/Dash/Dash.gltf",
    "Data/Obstacle/Excavator/excavator.gltf",
    "Data/Obstacle/Excavator/cable.gltf",
    "Data/Obstacle/Excavator/ExcavatorArm00.gltf",
    "Data/Sky/sky.gltf",
};

const char* const kTextures[] = {
    "Data/Texture/name.png",       "Data/Texture/push.png",       "Data/Texture/NewUI.png",
    "Data/Texture/sg.png",         "Data/Texture/Number.png",     "Data/Texture/Rank/rank1.png",
    "Data/Texture/Rank/rank2.png", "Data/Texture/Rank/rank3.png", "Data/Texture/black.png",
    "Data/Texture/WhiteSmoke.png", "Data/Texture/SandSmoke.png",  "Data/Texture/shadow.png",
};

// Sounds that also play positionally must be mono.
const struct { const char* path; bool positional; } kSounds[] = {
    {"Data/Sound/press.wav", false},       {"Data/Sound/bikehit.wav", true},
    {"Data/Sound/BGM.wav", false},         {"Data/Sound/Title.WAV", false},
    {"Data/Sound/count.wav", false},       {"Data/Sound/goal.wav", false},
    {"Data/Sound/lap1.wav", false},        {"Data/Sound/rankUp.wav", false},
    {"Data/Sound/rankDown.wav", false},    {"Data/Sound/dash.wav", true},
    {"Data/Sound/dart.wav", true},         {"Data/Sound/excavator.wav", true},
    {"Data/Sound/Wall/wallhit.wav", true}, {"Data/Sound/Wall/movewall.wav", true},
    {"Data/Sound/Wall/wallswitch.wav", true}, {"Data/Sound/Box/boxhit.wav", true},
    {"Data/Sound/Box/boxfall.wav", true},  {"Data/Sound/Box/boxswitch.wav", true},
    {"Data/Sound/Engine/low00.WAV", true}, {"Data/Sound/Engine/low01.WAV", true},
    {"Data/Sound/Engine/low02.WAV", true},
};

class GameLoaders : public GraphicsTest {};
}  // namespace

TEST_F(GameLoaders, EveryModelLoadsWithTrianglesAndItsTextures) {
    AxModelCache cache;
    for (const char* path : kModels) {
        SCOPED_TRACE(path);
        AxModel* model = cache.GetModel(path);
        ASSERT_NE(model, nullptr);
        size_t faces = 0;
        for (const auto& node : model->nodes) {
            if (!node.mesh) continue;
            faces += node.mesh->faces.size();
            for (const auto& face : node.mesh->faces)
                for (uint32_t index : face.idx) ASSERT_LT(index, node.mesh->positions.size());
        }
        EXPECT_GT(faces, 0u);
        EXPECT_FALSE(model->materials.empty());
        // Every image the file names lies beside it and decodes.
        std::ifstream file(path);
        const auto json = nlohmann::json::parse(file);
        for (const auto& image : json.value("images", nlohmann::json::array())) {
            const std::string uri = image.value("uri", "");
            ASSERT_FALSE(uri.empty()) << "images are files beside the model";
            AxTexture texture;
            EXPECT_TRUE(texture.Load((std::filesystem::path(path).parent_path() / uri).string())) << uri;
        }
    }
}

TEST_F(GameLoaders, EveryTextureLoadsAtItsSize) {
    for (const char* path : kTextures) {
        SCOPED_TRACE(path);
        AxTexture texture;
        ASSERT_TRUE(texture.Load(path));
        EXPECT_GT(texture.desc.Width, 0u);
        EXPECT_GT(texture.desc.Height, 0u);
    }
    AxTexture black;
    ASSERT_TRUE(black.Load("Data/Texture/black.png"));
    EXPECT_EQ(black.desc.Width, 1280u);
    EXPECT_EQ(black.desc.Height, 720u);
}

TEST(GameSounds, EverySoundLoadsAndPositionalOnesAreMono) {
    SetHeadless(true);
    AxAudioManager& audio = AxAudioManager::GetInstance();
    ASSERT_TRUE(audio.Init());
    for (const auto& sound : kSounds) {
        SCOPED_TRACE(sound.path);
        auto effect = std::make_shared<AxSoundEffect>();
        ASSERT_TRUE(effect->Load(sound.path));
        EXPECT_GT(effect->Duration(), 0.1);
        if (sound.positional) {
            EXPECT_EQ(effect->Channels(), 1);
        }
        auto instance = effect->CreateInstance(sound.positional);
        ASSERT_NE(instance, nullptr);
        EXPECT_TRUE(instance->HasVoice());
    }
    audio.Release();
}
