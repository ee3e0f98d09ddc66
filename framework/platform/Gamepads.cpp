#include "framework/platform/Gamepads.h"

#include <SDL2/SDL.h>

#include <algorithm>
#include <utility>
#include <vector>

namespace Gamepads {
namespace {
bool g_open = false;
std::vector<SDL_GameController*> g_pads;
// Buttons pressed since the last poll, by pad: a tap between two frames.
std::vector<std::pair<SDL_JoystickID, int>> g_tapped;

void Add(int deviceIndex) {
    if (!SDL_IsGameController(deviceIndex)) return;
    // Plugging in produces a device-added event for pads that were already
    // opened at start-up too; one handle per pad is enough.
    const SDL_JoystickID id = SDL_JoystickGetDeviceInstanceID(deviceIndex);
    for (SDL_GameController* pad : g_pads)
        if (SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(pad)) == id) return;
    if (SDL_GameController* pad = SDL_GameControllerOpen(deviceIndex)) g_pads.push_back(pad);
}

void Remove(SDL_JoystickID id) {
    for (auto it = g_pads.begin(); it != g_pads.end(); ++it) {
        if (SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(*it)) == id) {
            SDL_GameControllerClose(*it);
            g_pads.erase(it);
            return;
        }
    }
}

bool Button(SDL_GameController* pad, SDL_GameControllerButton button) {
    if (SDL_GameControllerGetButton(pad, button) != 0) return true;
    const std::pair<SDL_JoystickID, int> tap{SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(pad)), int(button)};
    return std::find(g_tapped.begin(), g_tapped.end(), tap) != g_tapped.end();
}
int Axis(SDL_GameController* pad, SDL_GameControllerAxis axis) { return SDL_GameControllerGetAxis(pad, axis); }

bool PadDown(SDL_GameController* pad, Key key) {
    switch (key) {
        case Key::Z:
            return Button(pad, SDL_CONTROLLER_BUTTON_A) ||
                   Axis(pad, SDL_CONTROLLER_AXIS_TRIGGERRIGHT) > kTriggerThreshold;
        case Key::Left:
            return Button(pad, SDL_CONTROLLER_BUTTON_DPAD_LEFT) ||
                   Axis(pad, SDL_CONTROLLER_AXIS_LEFTX) < -kStickDeadZone;
        case Key::Right:
            return Button(pad, SDL_CONTROLLER_BUTTON_DPAD_RIGHT) ||
                   Axis(pad, SDL_CONTROLLER_AXIS_LEFTX) > kStickDeadZone;
        case Key::Enter: return !GamepadStartPauses() && Button(pad, SDL_CONTROLLER_BUTTON_START);
        case Key::Pause: return GamepadStartPauses() && Button(pad, SDL_CONTROLLER_BUTTON_START);
        case Key::Escape: return Button(pad, SDL_CONTROLLER_BUTTON_BACK);
        case Key::Up: return Button(pad, SDL_CONTROLLER_BUTTON_DPAD_UP);
        case Key::Down: return Button(pad, SDL_CONTROLLER_BUTTON_DPAD_DOWN);
        case Key::Options: return Button(pad, SDL_CONTROLLER_BUTTON_Y) || Button(pad, SDL_CONTROLLER_BUTTON_B);
        case Key::Ghost: return false;
        case Key::Courses: return Button(pad, SDL_CONTROLLER_BUTTON_X);
    }
    return false;
}

// A menu's buttons: the d-pad moves, A and Start take, B and Y go back, Back escapes.
bool PadMenuDown(SDL_GameController* pad, Key key) {
    switch (key) {
        case Key::Left: return Button(pad, SDL_CONTROLLER_BUTTON_DPAD_LEFT);
        case Key::Right: return Button(pad, SDL_CONTROLLER_BUTTON_DPAD_RIGHT);
        case Key::Enter: return Button(pad, SDL_CONTROLLER_BUTTON_A) || Button(pad, SDL_CONTROLLER_BUTTON_START);
        case Key::Escape:
        case Key::Up:
        case Key::Down:
        case Key::Options:
        case Key::Courses: return PadDown(pad, key);
        default: return false;
    }
}
}  // namespace

bool Open() {
    if (g_open) return true;
    if (SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) != 0) return false;
    g_open = true;
    for (int i = 0; i < SDL_NumJoysticks(); ++i) Add(i);
    return true;
}

void Close() {
    if (!g_open) return;
    for (SDL_GameController* pad : g_pads) SDL_GameControllerClose(pad);
    g_pads.clear();
    SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
    g_open = false;
}

bool IsOpen() { return g_open; }

void HandleEvent(const SDL_Event& event) {
    if (!g_open) return;
    if (event.type == SDL_CONTROLLERDEVICEADDED) Add(event.cdevice.which);
    else if (event.type == SDL_CONTROLLERDEVICEREMOVED) Remove(event.cdevice.which);
}

void BeginPoll() { g_tapped.clear(); }

void NoteButtonDown(int instanceId, int button) {
    if (g_open && g_tapped.size() < 64) g_tapped.emplace_back(SDL_JoystickID(instanceId), button);
}

void Update() {
    // SDL only refreshes pads from the event pump while joystick events are
    // wanted; asking directly keeps them current either way.
    if (g_open) SDL_GameControllerUpdate();
}

int Count() { return static_cast<int>(g_pads.size()); }

bool IsDown(Key key) {
    return std::any_of(g_pads.begin(), g_pads.end(), [key](SDL_GameController* pad) { return PadDown(pad, key); });
}

bool IsMenuDown(Key key) {
    return std::any_of(g_pads.begin(), g_pads.end(), [key](SDL_GameController* pad) { return PadMenuDown(pad, key); });
}
}  // namespace Gamepads
