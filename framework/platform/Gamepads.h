#pragma once
// Game controllers through SDL, plugged and unplugged while the game runs.
// The platform asks them "down at this moment" beside the keyboard.

#include "framework/platform/Platform.h"

union SDL_Event;

namespace Gamepads {
// Opens the controller subsystem and every pad already plugged in. False when
// SDL has no controller support here; the game then simply has none.
bool Open();
// Closes every pad and the subsystem.
void Close();
bool IsOpen();
// Takes the hot-plug events (device added, removed); ignores the rest.
void HandleEvent(const SDL_Event& event);
// Brings the pads' state up to this moment; the event pump calls it.
void Update();
// As the keyboard's latch: the event pump forgets the previous frame's
// presses, then notes each button-down event; such a button reads as held
// for the next frame even if it is already up again.
void BeginPoll();
void NoteButtonDown(int instanceId, int button);
int Count();
// Whether any pad holds the control that stands for key.
bool IsDown(Key key);
// The same for a menu's fixed buttons (see IPlatform::IsMenuKeyDown).
bool IsMenuDown(Key key);

// The stick must leave this much of its travel before it steers, and the
// trigger must pass this much before it throttles (of 32767).
constexpr int kStickDeadZone = 10000;
constexpr int kTriggerThreshold = 8000;
}  // namespace Gamepads
