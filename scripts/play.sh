#!/usr/bin/env bash
# Builds the game (release) and plays it.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$ROOT/scripts/bootstrap.sh"
cmake --preset release -S "$ROOT" >/dev/null
cmake --build --preset release
cd "$ROOT/build"
exec ./vorlan "$@"
