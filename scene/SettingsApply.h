#pragma once
// Between the player's settings and the systems they steer: the audio
// manager's volumes and the keyboard's bindings.

#include "framework/platform/KeyBindings.h"

#include <string>

class Settings;

// The settings' keys as scancodes (-1 for a name that is no key).
KeyBindings KeyBindingsOf(const Settings& settings);

// Reads the file at path into settings, says once on standard error what it
// could not use, and falls back to the usual keys when the bound ones cannot
// work together (a key twice, a key the menus keep).
void LoadPlayerSettings(Settings& settings, const std::string& path);

// Music and effects volumes to the mixer, keys to the keyboard.
void ApplyVolumesAndKeys(const Settings& settings);
// The game's own volumes and keys again.
void ResetVolumesAndKeys();
