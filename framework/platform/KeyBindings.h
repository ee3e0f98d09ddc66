#pragma once
// Which keyboard keys throttle, steer and pause. Enter, Escape and the menu
// keys stay where they are; gamepads and scripted input are not affected.

#include "framework/platform/Platform.h"

#include <string>

struct KeyBindings {
    // Keyboard scancodes (SDL numbering).
    int throttle = 29;  // Z
    int left = 80;      // Left arrow
    int right = 79;     // Right arrow
    int pause = 19;     // P
};

// The bindings in force; SetKeyBindings takes only a valid set (see Problem).
const KeyBindings& CurrentKeyBindings();
bool SetKeyBindings(const KeyBindings& bindings);

// What is wrong with a set of bindings, empty when nothing: a key bound
// twice, a key that is not a key, Enter or Escape, which stay fixed, or a
// key the menus use (Up and Down, except Up for the throttle; O, G, F11).
std::string KeyBindingProblem(const KeyBindings& bindings);

// Enter (either) and Escape, which cannot be bound.
bool IsFixedScancode(int scancode);

// The bound scancode of Z, Left, Right or Pause; -1 for the other keys.
int BoundScancode(Key key);

// SDL's name of a scancode ("Z", "Left", "Space"), empty for none, and back
// (-1 for a name that is no key).
std::string ScancodeName(int scancode);
int ScancodeFromName(const std::string& name);

// The scancode of the last key pressed on the keyboard since the last call
// (0 when none); the window's event pump notes it.
void NoteKeyPressed(int scancode);
int TakeKeyPressed();

// The keyboard scancode the game's own keys stand for by default, so a
// scripted press can be taken as a key to bind.
int DefaultScancode(Key key);
