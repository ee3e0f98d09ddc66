#!/usr/bin/env bash
# The frame budget on this machine, as the game's own --stats reports it:
#   race          rendered frames of an autopilot race (title, countdown, racing)
#   raceNoRender  a whole autopilot race, logic and draw calls without GPU work
#   empty         clear and present only
#   floor         one full-screen pass of the model program: the least a 3D frame costs
#   raceHalf      the rendered race at --render-scale 0.5
#   capped        900 frames of an autopilot race as a player gets them: the real
#                 clock, capped at 16 ms a frame, frames left undrawn while behind;
#                 with the wall time, updates and drawn frames per second, and the
#                 race clock at the last frame against the frames raced x 16 ms
# Prints one JSON line {"course":ID,"race":STATS,"raceNoRender":STATS,"empty":STATS,"floor":STATS,
# "raceHalf":STATS,"capped":{...}}.
#   bench/run.sh [BUILD_DIR] [RENDERED_FRAMES] [COURSE]   (COURSE: a built-in course id, desert by default)
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${1:-$ROOT/build}"
FRAMES="${2:-600}"
COURSE="${3:-desert}"
WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT
cd "$BUILD"
printf '5 5 Enter\n' > "$WORK/start.txt"
# Measured without the player's records or ghost: the same work on every machine.
export XDG_DATA_HOME="$WORK/data"
stats() { "$@" --stats | tail -n 1; }
common=(./vorlan --headless --uncapped --fixed-clock --autopilot --seed 1 --course "$COURSE" --input "$WORK/start.txt")
race=$(stats "${common[@]}" --frames "$FRAMES")
noRender=$(stats "${common[@]}" --no-render --frames 6000)
empty=$(stats ./vorlan --headless --uncapped --reference empty --frames 300)
floor=$(stats ./vorlan --headless --uncapped --reference floor --frames "$((FRAMES / 4 > 30 ? FRAMES / 4 : 30))")
raceHalf=$(stats "${common[@]}" --frames "$FRAMES" --render-scale 0.5)

# As a player runs it: real clock, capped. Wall time from the shell's clock.
t0=$(date +%s%N)
cappedStats=$(./vorlan --headless --autopilot --seed 1 --course "$COURSE" --input "$WORK/start.txt" --frames 900 --stats \
  --trace "$WORK/capped.jsonl" | tail -n 1)
t1=$(date +%s%N)
capped=$(awk -v stats="$cappedStats" -v wallNs="$((t1 - t0))" '
  # Frames raced: countdown at 0. The clock shown: minutes and milliseconds.
  match($0, /"countdown":[0-9]+,"time":-?[0-9]+,"minutes":[0-9]+/) {
    split(substr($0, RSTART, RLENGTH), f, /[:,]/)
    if (f[2] == 0) { raced++; clock = f[6] * 60000 + f[4] }
  }
  END {
    match(stats, /"loadMs":[0-9.]+/); loadMs = substr(stats, RSTART + 9, RLENGTH - 9)
    match(stats, /"drawn":[0-9]+/); drawn = substr(stats, RSTART + 8, RLENGTH - 8)
    match(stats, /"frames":[0-9]+/); frames = substr(stats, RSTART + 9, RLENGTH - 9)
    loop = wallNs / 1e9 - loadMs / 1000
    printf "{\"stats\":%s,\"wallSeconds\":%.2f,\"loopSeconds\":%.2f,\"updatesPerSecond\":%.1f,\"drawnPerSecond\":%.1f,\"raceClockMs\":%d,\"racedFramesMs\":%d}",
      stats, wallNs / 1e9, loop, frames / loop, drawn / loop, clock, raced * 16
  }' "$WORK/capped.jsonl")
printf '{"course":"%s","race":%s,"raceNoRender":%s,"empty":%s,"floor":%s,"raceHalf":%s,"capped":%s}\n' \
  "$COURSE" "$race" "$noRender" "$empty" "$floor" "$raceHalf" "$capped"
