// Gamepads through the platform seam, driven by SDL's virtual joystick: the
// same hot-plug events, mapping and polling a real pad goes through.

#include "framework/platform/Gamepads.h"
#include "framework/platform/Platform.h"
#include "framework/platform/WindowBackend.h"

#include <SDL2/SDL.h>
#include <gtest/gtest.h>

namespace {
class GamepadTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetHeadless(true);
        std::string error;
        window = WindowBackend::Create(320, 180, "gamepad test", error);
        ASSERT_NE(window, nullptr) << error;
        // An offscreen window never has the keyboard focus, and SDL drops pad
        // input of unfocused applications unless told otherwise.
        SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
        // Headless windows leave the pads alone; this test wants them.
        ASSERT_TRUE(Gamepads::Open()) << SDL_GetError();
        WindowBackend::PumpEvents();
        SetGamepadStartPauses(false);
    }
    void TearDown() override {
        if (joystick) SDL_JoystickClose(joystick);
        if (deviceIndex >= 0) SDL_JoystickDetachVirtual(deviceIndex);
        WindowBackend::PumpEvents();
        WindowBackend::Destroy(window);  // closes the pads
        SetGamepadStartPauses(false);
    }

    // Plugs in a standard pad: every button and axis a controller has.
    void Plug() {
        SDL_VirtualJoystickDesc desc{};
        desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
        desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
        desc.naxes = SDL_CONTROLLER_AXIS_MAX;
        desc.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
        desc.button_mask = (1u << SDL_CONTROLLER_BUTTON_MAX) - 1;
        desc.axis_mask = (1u << SDL_CONTROLLER_AXIS_MAX) - 1;
        desc.name = "Test Pad";
        deviceIndex = SDL_JoystickAttachVirtualEx(&desc);
        ASSERT_GE(deviceIndex, 0) << SDL_GetError();
        joystick = SDL_JoystickOpen(deviceIndex);
        ASSERT_NE(joystick, nullptr) << SDL_GetError();
        WindowBackend::PumpEvents();
    }
    void Unplug() {
        SDL_JoystickClose(joystick);
        joystick = nullptr;
        SDL_JoystickDetachVirtual(deviceIndex);
        deviceIndex = -1;
        WindowBackend::PumpEvents();
    }
    void Button(SDL_GameControllerButton button, bool down) {
        ASSERT_EQ(SDL_JoystickSetVirtualButton(joystick, button, down ? 1 : 0), 0) << SDL_GetError();
        WindowBackend::PumpEvents();
    }
    void Axis(SDL_GameControllerAxis axis, int value) {
        SDL_JoystickSetVirtualAxis(joystick, axis, static_cast<Sint16>(value));
        WindowBackend::PumpEvents();
    }
    static bool Down(Key key) { return SdlPlatform().IsKeyDown(key); }
    static int DownCount() {
        int n = 0;
        for (int k = 0; k < kKeyCount; ++k) n += Down(static_cast<Key>(k));
        return n;
    }

    void* window = nullptr;
    int deviceIndex = -1;
    SDL_Joystick* joystick = nullptr;
};
}  // namespace

TEST_F(GamepadTest, PlugAndUnplugWhilePlaying) {
    EXPECT_EQ(Gamepads::Count(), 0);
    Plug();
    EXPECT_EQ(Gamepads::Count(), 1) << "the device-added event opens the pad";
    EXPECT_EQ(DownCount(), 0) << "a pad at rest presses nothing";

    Unplug();
    EXPECT_EQ(Gamepads::Count(), 0);
    Plug();
    EXPECT_EQ(Gamepads::Count(), 1) << "a pad plugged in again is picked up again";
}

TEST_F(GamepadTest, ThrottleFromTheSouthButtonOrTheRightTrigger) {
    Plug();
    Button(SDL_CONTROLLER_BUTTON_A, true);
    EXPECT_TRUE(Down(Key::Z));
    EXPECT_EQ(DownCount(), 1);
    Button(SDL_CONTROLLER_BUTTON_A, false);
    EXPECT_FALSE(Down(Key::Z));

    // A pad's trigger axis runs over the whole range and reads 0 to 32767 as
    // a controller trigger.
    auto trigger = [](int value) { return 2 * value - 32768; };
    Axis(SDL_CONTROLLER_AXIS_TRIGGERRIGHT, trigger(Gamepads::kTriggerThreshold / 2));
    EXPECT_FALSE(Down(Key::Z)) << "a trigger resting lightly does not throttle";
    Axis(SDL_CONTROLLER_AXIS_TRIGGERRIGHT, 32767);
    EXPECT_TRUE(Down(Key::Z));
    Axis(SDL_CONTROLLER_AXIS_TRIGGERLEFT, 32767);
    Axis(SDL_CONTROLLER_AXIS_TRIGGERRIGHT, trigger(0));
    EXPECT_FALSE(Down(Key::Z)) << "the left trigger is not a throttle";
}

TEST_F(GamepadTest, SteerWithTheStickPastItsDeadZoneOrTheDpad) {
    Plug();
    Axis(SDL_CONTROLLER_AXIS_LEFTX, -Gamepads::kStickDeadZone / 2);
    EXPECT_EQ(DownCount(), 0) << "a stick off centre inside the dead zone does not steer";
    Axis(SDL_CONTROLLER_AXIS_LEFTX, -32768);
    EXPECT_TRUE(Down(Key::Left));
    EXPECT_FALSE(Down(Key::Right));
    Axis(SDL_CONTROLLER_AXIS_LEFTX, 32767);
    EXPECT_TRUE(Down(Key::Right));
    EXPECT_FALSE(Down(Key::Left));
    Axis(SDL_CONTROLLER_AXIS_LEFTX, 0);
    Axis(SDL_CONTROLLER_AXIS_LEFTY, 32767);
    EXPECT_EQ(DownCount(), 0) << "the stick's vertical travel steers nothing";

    Button(SDL_CONTROLLER_BUTTON_DPAD_LEFT, true);
    EXPECT_TRUE(Down(Key::Left));
    Button(SDL_CONTROLLER_BUTTON_DPAD_LEFT, false);
    Button(SDL_CONTROLLER_BUTTON_DPAD_RIGHT, true);
    EXPECT_TRUE(Down(Key::Right));
    EXPECT_FALSE(Down(Key::Left));
}

TEST_F(GamepadTest, StartIsEnterOrPauseAsTheSceneSaysAndBackIsEscape) {
    Plug();
    Button(SDL_CONTROLLER_BUTTON_START, true);
    EXPECT_TRUE(Down(Key::Enter));
    EXPECT_FALSE(Down(Key::Pause));
    SetGamepadStartPauses(true);
    EXPECT_TRUE(Down(Key::Pause));
    EXPECT_FALSE(Down(Key::Enter)) << "pausing must not also confirm";
    Button(SDL_CONTROLLER_BUTTON_START, false);
    EXPECT_EQ(DownCount(), 0);

    Button(SDL_CONTROLLER_BUTTON_BACK, true);
    EXPECT_TRUE(Down(Key::Escape));
    EXPECT_EQ(DownCount(), 1);
}

TEST_F(GamepadTest, TwoPadsBothDrive) {
    Plug();
    SDL_Joystick* first = joystick;
    const int firstIndex = deviceIndex;
    joystick = nullptr;
    Plug();
    EXPECT_EQ(Gamepads::Count(), 2);
    SDL_JoystickSetVirtualButton(first, SDL_CONTROLLER_BUTTON_A, 1);
    Button(SDL_CONTROLLER_BUTTON_DPAD_RIGHT, true);
    EXPECT_TRUE(Down(Key::Z));
    EXPECT_TRUE(Down(Key::Right));
    SDL_JoystickClose(first);
    SDL_JoystickDetachVirtual(firstIndex);
    if (deviceIndex > firstIndex) --deviceIndex;  // indices close up behind a detached device
    WindowBackend::PumpEvents();
    EXPECT_EQ(Gamepads::Count(), 1);
    EXPECT_FALSE(Down(Key::Z));
    EXPECT_TRUE(Down(Key::Right));
}

// A button pressed and released between two frames (the pad's events wait in
// SDL's queue) still counts for the next frame, as a tapped key does.
TEST_F(GamepadTest, AButtonTappedBetweenTwoFramesIsSeenOnce) {
    Plug();
    SDL_JoystickSetVirtualButton(joystick, SDL_CONTROLLER_BUTTON_START, 1);
    SDL_GameControllerUpdate();
    SDL_JoystickSetVirtualButton(joystick, SDL_CONTROLLER_BUTTON_START, 0);
    SDL_GameControllerUpdate();
    ASSERT_EQ(SDL_GameControllerGetButton(SDL_GameControllerFromInstanceID(SDL_JoystickInstanceID(joystick)),
                                          SDL_CONTROLLER_BUTTON_START),
              0)
        << "already up again when the frame reads it";
    WindowBackend::PumpEvents();
    EXPECT_TRUE(Down(Key::Enter));
    EXPECT_EQ(DownCount(), 1);
    WindowBackend::PumpEvents();
    EXPECT_FALSE(Down(Key::Enter)) << "the tap lasts one frame";
}
