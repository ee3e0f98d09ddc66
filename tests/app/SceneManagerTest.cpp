#include "app/SceneManager.h"
#include "app/Scene_base.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {
struct Log {
    std::vector<std::string> events;
};

class LoggingScene : public Scene_base {
public:
    LoggingScene(Log& log, std::string name) : log(log), name(std::move(name)) {}
    ~LoggingScene() override { log.events.push_back(name + ":deleted"); }
    void Frame() override { log.events.push_back(name + ":frame"); }

private:
    Log& log;
    std::string name;
};

class DefaultFrameScene : public Scene_base {
public:
    explicit DefaultFrameScene(Log& log) : log(log) {}
    void Update() override { log.events.push_back("update"); }
    void Draw() override { log.events.push_back("draw"); }

private:
    Log& log;
};
}  // namespace

TEST(SceneManager, SwitchesAtTheStartOfTheNextFrame) {
    Log log;
    SceneManager manager;
    manager.Frame();  // no scene: nothing happens
    auto* a = new LoggingScene(log, "a");
    manager.SetScene(a);
    EXPECT_EQ(manager.currentScene, nullptr);
    manager.Frame();
    EXPECT_EQ(manager.currentScene, a);
    manager.SetScene(a);  // the scene already current: no deletion
    manager.Frame();
    EXPECT_EQ(log.events, (std::vector<std::string>{"a:frame", "a:frame"}));
}

TEST(SceneManager, OnlyTheLastOfTwoSetScenesBecomesCurrent) {
    Log log;
    {
        SceneManager manager;
        auto* a = new LoggingScene(log, "a");
        auto* b = new LoggingScene(log, "b");
        auto* c = new LoggingScene(log, "c");
        manager.SetScene(a);
        manager.Frame();
        manager.SetScene(b);
        manager.SetScene(c);
        manager.Frame();
        EXPECT_EQ(manager.currentScene, c);
        // b was neither run nor deleted by the manager.
        EXPECT_EQ(log.events, (std::vector<std::string>{"a:frame", "a:deleted", "c:frame"}));
        delete b;
    }
    // The manager deletes its current scene when it goes.
    EXPECT_EQ(log.events.back(), "c:deleted");
}

TEST(SceneManager, NullSceneDeletesTheCurrentOne) {
    Log log;
    SceneManager manager;
    manager.SetScene(new LoggingScene(log, "a"));
    manager.Frame();
    manager.SetScene(nullptr);
    manager.Frame();
    manager.Frame();
    EXPECT_EQ(manager.currentScene, nullptr);
    EXPECT_EQ(log.events, (std::vector<std::string>{"a:frame", "a:deleted"}));
}

TEST(Scene_base, DefaultFrameUpdatesThenDraws) {
    Log log;
    DefaultFrameScene scene(log);
    scene.Frame();
    EXPECT_EQ(log.events, (std::vector<std::string>{"update", "draw"}));
    EXPECT_FALSE(scene.fadeOut);
    EXPECT_EQ(scene.fadeAlpha, 0.0f);
    EXPECT_NE(scene.textureCache, nullptr);
}
