#pragma once
// The shared courses screen over the title: C (a gamepad's X) opens it and
// asks the server for its list, Up and Down choose, Enter downloads and
// installs the chosen course, C or Escape close it. It reads its own fixed
// keys and shows what the online client last heard.

#include "framework/platform/Platform.h"

#include <string>

class AxTexture;
class OnlineLink;

class CoursesScreen {
public:
    // Once a frame. canOpen: the title is showing and waiting.
    void Update(IPlatform& platform, bool canOpen, OnlineLink* online);
    void Draw(AxTexture* atlas, const OnlineLink* online) const;

    bool HoldsEscape() const { return open || escapeHeld; }
    bool OwnsKeys() const { return open || openAtFrameStart; }

    // The text of a line of the list (tests read it): "LITTLE LOOP  BY RIDER  3 LAPS".
    static std::string EntryLine(const std::string& name, const std::string& author, int laps);

    bool open = false;
    int line = 0;

private:
    bool Pressed(Key key) const { return down[static_cast<int>(key)] && !before[static_cast<int>(key)]; }
    bool down[kKeyCount] = {};
    bool before[kKeyCount] = {};
    bool escapeHeld = false;
    bool openAtFrameStart = false;
};
