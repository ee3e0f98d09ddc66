#pragma once
// Keys are read once a frame, so a tap shorter than a frame (a brisk 30 ms
// press on a machine drawing at 20 fps) could fall between two reads and be
// lost. The event pump notes every key that went down since the previous
// pump; such a key reads as down for the whole next frame, even if it is
// already up again.

namespace KeyLatch {
// Called by the event pump before it handles a frame's events: forgets the
// previous frame's presses.
void BeginPoll();
// A key-down event (auto-repeats included: they change nothing) of this scancode.
void NoteDown(int scancode);
// Went down since the last poll began.
bool WentDown(int scancode);
}  // namespace KeyLatch
