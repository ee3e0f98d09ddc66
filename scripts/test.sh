#!/usr/bin/env bash
# Builds the game, every test and the libFuzzer targets in one clang build
# with AddressSanitizer and UndefinedBehaviorSanitizer, runs all tests, then
# fuzzes the content loaders and the player's files briefly.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$ROOT/scripts/bootstrap.sh"
cd "$ROOT"
cmake --preset asan >/dev/null
cmake --build --preset asan
ctest --preset asan -j2 "$@"
"$ROOT/scripts/fuzz.sh" 10
