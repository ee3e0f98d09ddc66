#pragma once
// The state a race's outcome can depend on, as one 64-bit hash: what a race
// file claims after every 60th update and at the finish, and what the
// verifier works out again. The list of what it covers is in one place,
// StateHash.cpp.

#include <cstdint>

class Game;

uint64_t RaceStateHash(const Game& game);
