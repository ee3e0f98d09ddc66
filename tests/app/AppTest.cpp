// The real App loop in this process, with a counting scene.

#include "app/App.h"
#include "app/SceneManager.h"
#include "app/Scene_base.h"
#include "framework/Random.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {
struct Counts {
    int updates = 0;
    int draws = 0;
    int randInConstructor = 0;
    int randInFirstUpdate = 0;
};
Counts g_counts;

class CountingScene : public Scene_base {
public:
    CountingScene() { g_counts.randInConstructor = Random::Next(); }
    void Update() override {
        if (g_counts.updates++ == 0) g_counts.randInFirstUpdate = Random::Next();
    }
    void Draw() override { ++g_counts.draws; }
};

int FirstRandAfterSeed(unsigned seed) { return RandomGenerator(seed).Next(); }
}  // namespace

TEST(App, EscapeEndsTheLoopBeforeThatFrameRunsAndSeedComesAfterTheScene) {
    const auto keys = std::filesystem::temp_directory_path() / "vorlan-app-test-keys.txt";
    std::ofstream(keys) << "5 5 Escape\n";
    const int defaultSeedFirst = FirstRandAfterSeed(1);  // where the generator stands before any seed
    Random::Seed(1);

    App& app = App::GetInstance();
    app.options.headless = true;
    app.options.noRender = true;
    app.options.fixedClock = true;
    app.options.frames = 100;
    app.options.seed = 42;
    app.options.inputFile = keys.string();
    app.makeScene = [] { return new CountingScene; };
    EXPECT_EQ(app.Run(), 0);

    EXPECT_EQ(g_counts.updates, 5);  // frames 0..4; frame 5 ends in its message step
    EXPECT_EQ(g_counts.draws, 5);
    EXPECT_EQ(app.window.hWnd, nullptr);
    EXPECT_EQ(g_counts.randInConstructor, defaultSeedFirst);
    EXPECT_EQ(g_counts.randInFirstUpdate, FirstRandAfterSeed(42));
    std::filesystem::remove(keys);
}
