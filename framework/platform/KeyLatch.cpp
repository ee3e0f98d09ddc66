#include "framework/platform/KeyLatch.h"

#include <SDL2/SDL_scancode.h>

#include <bitset>

namespace KeyLatch {
namespace {
std::bitset<SDL_NUM_SCANCODES> g_pressed;

bool InRange(int scancode) { return scancode >= 0 && scancode < SDL_NUM_SCANCODES; }
}  // namespace

void BeginPoll() { g_pressed.reset(); }

void NoteDown(int scancode) {
    if (InRange(scancode)) g_pressed.set(static_cast<size_t>(scancode));
}

bool WentDown(int scancode) { return InRange(scancode) && g_pressed.test(static_cast<size_t>(scancode)); }
}  // namespace KeyLatch
