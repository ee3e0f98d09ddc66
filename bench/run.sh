#!/usr/bin/env bash
# The frame budget on this machine, as the game's own --stats reports it:
#   race          rendered frames of an autopilot race (title, countdown, racing)
#   raceNoRender  a whole autopilot race, logic and draw calls without GPU work
#   empty         clear and present only
#   floor         one full-screen pass of the model program: the least a 3D frame costs
# Prints one JSON line {"race":STATS,"raceNoRender":STATS,"empty":STATS,"floor":STATS}.
#   bench/run.sh [BUILD_DIR] [RENDERED_FRAMES]
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${1:-$ROOT/build}"
FRAMES="${2:-600}"
WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT
cd "$BUILD"
printf '5 5 Enter\n' > "$WORK/start.txt"
# Measured without the player's records or ghost: the same work on every machine.
export XDG_DATA_HOME="$WORK/data"
stats() { "$@" --stats | tail -n 1; }
common=(./vorlan --headless --uncapped --fixed-clock --autopilot --seed 1 --input "$WORK/start.txt")
race=$(stats "${common[@]}" --frames "$FRAMES")
noRender=$(stats "${common[@]}" --no-render --frames 6000)
empty=$(stats ./vorlan --headless --uncapped --reference empty --frames 300)
floor=$(stats ./vorlan --headless --uncapped --reference floor --frames "$((FRAMES / 4 > 30 ? FRAMES / 4 : 30))")
printf '{"race":%s,"raceNoRender":%s,"empty":%s,"floor":%s}\n' "$race" "$noRender" "$empty" "$floor"
