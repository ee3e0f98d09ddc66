#!/usr/bin/env bash
# Builds the game (release) and plays it: the game, its content generator and
# the content, not the tests (./scripts/test.sh builds those).
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$ROOT/scripts/bootstrap.sh"
cmake --preset release -S "$ROOT" >/dev/null
cmake --build --preset release --target vorlan
cd "$ROOT/build"
exec ./vorlan "$@"
