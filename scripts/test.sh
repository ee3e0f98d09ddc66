#!/usr/bin/env bash
# Builds the game and every test with AddressSanitizer and
# UndefinedBehaviorSanitizer, then runs all tests.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$ROOT/scripts/bootstrap.sh"
cd "$ROOT"
cmake --preset asan >/dev/null
cmake --build --preset asan
ctest --preset asan -j2 "$@"
