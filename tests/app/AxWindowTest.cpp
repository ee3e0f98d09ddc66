#include "app/AxWindow.h"
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
