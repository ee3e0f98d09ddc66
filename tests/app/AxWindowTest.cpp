#include "app/AxWindow.h"
#include "framework/platform/KeyBindings.h"
#include "framework/platform/Platform.h"
#include "framework/platform/WindowBackend.h"

#include <SDL2/SDL.h>
#include <gtest/gtest.h>

namespace {
class AxWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetHeadless(true);
        ASSERT_TRUE(window.Create(1280, 720, "Vorlan Moto", "Window"));
        window.ProcessMessage();  // settle the events of creation
    }
    static void PushKey(SDL_Scancode code) {
        SDL_Event event{};
        event.type = SDL_KEYDOWN;
        event.key.keysym.scancode = code;
        event.key.keysym.sym = SDL_GetKeyFromScancode(code);
        SDL_PushEvent(&event);
    }
    AxWindow window;
};
}  // namespace

TEST_F(AxWindowTest, ClientAreaIsExactlyTheRequestedSize) {
    int width = 0, height = 0;
    WindowBackend::ClientSize(window.hWnd, width, height);
    EXPECT_EQ(width, 1280);
    EXPECT_EQ(height, 720);
    EXPECT_STREQ(SDL_GetWindowTitle(static_cast<SDL_Window*>(window.hWnd)), "Vorlan Moto");
}

TEST_F(AxWindowTest, OtherKeysLeaveTheWindowAlone) {
    for (SDL_Scancode code : {SDL_SCANCODE_Z, SDL_SCANCODE_RETURN, SDL_SCANCODE_LEFT, SDL_SCANCODE_F4}) PushKey(code);
    EXPECT_TRUE(window.ProcessMessage());
    EXPECT_NE(window.hWnd, nullptr);
}

TEST_F(AxWindowTest, EscapeClosesTheWindowAtOnce) {
    PushKey(SDL_SCANCODE_ESCAPE);
    window.ProcessMessage();
    EXPECT_EQ(window.hWnd, nullptr);
    window.Release();  // harmless once gone
    EXPECT_EQ(window.hWnd, nullptr);
}

TEST_F(AxWindowTest, CloseRequestClosesTheWindow) {
    SDL_Event event{};
    event.type = SDL_QUIT;
    SDL_PushEvent(&event);
    window.ProcessMessage();
    EXPECT_EQ(window.hWnd, nullptr);
}

TEST_F(AxWindowTest, EscapeIsLeftToASceneThatTakesItAndKeyPressesAreNotedForBinding) {
    TakeKeyPressed();
    window.escapeCloses = false;
    PushKey(SDL_SCANCODE_ESCAPE);
    EXPECT_TRUE(window.ProcessMessage());
    EXPECT_NE(window.hWnd, nullptr);
    EXPECT_EQ(TakeKeyPressed(), SDL_SCANCODE_ESCAPE);
    EXPECT_EQ(TakeKeyPressed(), 0) << "taken once";
    PushKey(SDL_SCANCODE_W);
    window.ProcessMessage();
    EXPECT_EQ(TakeKeyPressed(), SDL_SCANCODE_W);
    window.escapeCloses = true;
    PushKey(SDL_SCANCODE_ESCAPE);
    window.ProcessMessage();
    EXPECT_EQ(window.hWnd, nullptr);
}

TEST(KeyBindings, RefuseKeysBoundTwiceFixedKeysAndNonKeys) {
    struct Restore {
        ~Restore() { SetKeyBindings(KeyBindings()); }
    } restore;
    EXPECT_EQ(KeyBindingProblem(KeyBindings()), "");
    EXPECT_EQ(ScancodeFromName("Z"), SDL_SCANCODE_Z);
    EXPECT_EQ(ScancodeFromName("left"), SDL_SCANCODE_LEFT);
    EXPECT_EQ(ScancodeFromName("Space"), SDL_SCANCODE_SPACE);
    EXPECT_EQ(ScancodeFromName("No Such Key"), -1);
    EXPECT_EQ(ScancodeFromName(""), -1);
    EXPECT_EQ(ScancodeName(SDL_SCANCODE_LSHIFT), "Left Shift");
    EXPECT_EQ(ScancodeName(-5), "");
    EXPECT_EQ(ScancodeName(100000), "");

    KeyBindings b;
    b.left = b.throttle;
    EXPECT_NE(KeyBindingProblem(b).find("twice"), std::string::npos);
    EXPECT_FALSE(SetKeyBindings(b));
    for (int fixed : {SDL_SCANCODE_RETURN, SDL_SCANCODE_KP_ENTER, SDL_SCANCODE_ESCAPE}) {
        b = KeyBindings();
        b.pause = fixed;
        EXPECT_FALSE(SetKeyBindings(b)) << fixed;
    }
    b = KeyBindings();
    b.right = 0;
    EXPECT_FALSE(SetKeyBindings(b));
    b.right = -1;
    EXPECT_FALSE(SetKeyBindings(b));
    EXPECT_EQ(CurrentKeyBindings().right, SDL_SCANCODE_RIGHT) << "a refused set changes nothing";

    // The menus keep Up and Down (Up may throttle), O, G and F11.
    for (int taken : {SDL_SCANCODE_UP, SDL_SCANCODE_DOWN, SDL_SCANCODE_O, SDL_SCANCODE_G, SDL_SCANCODE_F11}) {
        b = KeyBindings();
        b.left = taken;
        EXPECT_NE(KeyBindingProblem(b).find("menus"), std::string::npos) << taken;
    }
    b = KeyBindings();
    b.throttle = SDL_SCANCODE_UP;
    EXPECT_TRUE(SetKeyBindings(b));
    b.throttle = SDL_SCANCODE_G;
    EXPECT_FALSE(SetKeyBindings(b));
    b.throttle = SDL_SCANCODE_W;
    ASSERT_TRUE(SetKeyBindings(b));
    EXPECT_EQ(BoundScancode(Key::Z), SDL_SCANCODE_W);
    EXPECT_EQ(BoundScancode(Key::Pause), SDL_SCANCODE_P);
    EXPECT_EQ(BoundScancode(Key::Enter), -1);
}
