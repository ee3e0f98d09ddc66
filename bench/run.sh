#!/usr/bin/env bash
# The frame budget on this machine, as the game's own --stats reports it:
#   race          rendered frames of an autopilot race (title, countdown, racing)
#   raceNoRender  a whole autopilot race, logic and draw calls without GPU work
#   empty         clear and present only
#   floor         one full-screen pass of the model program: the least a 3D frame costs
#   raceHalf      the rendered race at --render-scale 0.5
#   capped        900 updates of an autopilot race as a player gets them: the real
#                 clock, 16 ms updates, pictures at the display's pace with the
#                 render scale on auto (no display headless: 60 a second at most);
#                 with the wall time, updates and drawn pictures per second, and the
#                 race clock at the last frame against the frames raced x 16 ms
#   paced60, paced144  the same at a simulated 60 Hz and 144 Hz display
#                 (--simulate-display), scale on auto, read from --frame-log:
#                 pictures and updates per second, the scale chosen (last and
#                 smallest), and how evenly the game time shown advances: the
#                 share of pictures whose shown time moved on by the time between
#                 their presents within 1 ms, and the worst difference
#   verify        vorlan-moto-verify on the autopilot race of raceNoRender, kept as a
#                 race file with --save-run: the median of five runs' CPU seconds
#                 (start-up included), the race's updates, and how many times
#                 faster than the race itself (updates x 16 ms) it checks
# Prints one JSON line {"course":ID,"race":STATS,"raceNoRender":STATS,"empty":STATS,"floor":STATS,
# "raceHalf":STATS,"capped":{...},"paced60":{...},"paced144":{...}}.
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
# Measured without the player's settings, records or ghost (a fresh profile
# folder): the same work on every machine, whatever render scale a player chose.
profile=(--profile "$WORK/profile")
stats() { "$@" --stats | tail -n 1; }
common=(./vorlan --headless --uncapped --fixed-clock --autopilot --seed 1 --course "$COURSE" --input "$WORK/start.txt" "${profile[@]}")
race=$(stats "${common[@]}" --frames "$FRAMES")
noRender=$(stats "${common[@]}" --no-render --frames 6000 --save-run "$WORK/race.run")
# CPU seconds of each of five runs (bash's own clock, user + system), the median.
TIMEFORMAT='%U %S'
verify=$(for i in 1 2 3 4 5; do
    { time ./vorlan-moto-verify "$WORK/race.run" >/dev/null 2>&1; } 2>&1 | awk '{ print $1 + $2 }'
  done | sort -n | awk -v updates="$(awk '/^end / { print $2 }' "$WORK/race.run")" '
    { t[NR] = $1 }
    END {
      cpu = t[int((NR + 1) / 2)]
      printf "{\"cpuSeconds\":%.3f,\"updates\":%d,\"timesFaster\":%.0f}", cpu, updates, updates * 0.016 / (cpu > 0 ? cpu : 0.001)
    }')
empty=$(stats ./vorlan --headless --uncapped --reference empty --frames 300 "${profile[@]}")
floor=$(stats ./vorlan --headless --uncapped --reference floor --frames "$((FRAMES / 4 > 30 ? FRAMES / 4 : 30))" "${profile[@]}")
raceHalf=$(stats "${common[@]}" --frames "$FRAMES" --render-scale 0.5)

# As a player runs it: real clock, capped. Wall time from the shell's clock.
t0=$(date +%s%N)
cappedStats=$(./vorlan --headless --render-scale auto --autopilot --seed 1 --course "$COURSE" --input "$WORK/start.txt" --frames 900 --stats "${profile[@]}" \
  --trace "$WORK/capped.jsonl" --frame-log "$WORK/capped.txt" | tail -n 1)
cappedScale=$(awk '!/^#/ { s = $5 } END { print s + 0 }' "$WORK/capped.txt")
t1=$(date +%s%N)
capped=$(awk -v stats="$cappedStats" -v wallNs="$((t1 - t0))" -v scale="$cappedScale" '
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
    printf "{\"stats\":%s,\"wallSeconds\":%.2f,\"loopSeconds\":%.2f,\"updatesPerSecond\":%.1f,\"drawnPerSecond\":%.1f,\"scale\":%s,\"raceClockMs\":%d,\"racedFramesMs\":%d}",
      stats, wallNs / 1e9, loop, frames / loop, drawn / loop, scale, clock, raced * 16
  }' "$WORK/capped.jsonl")
# Paced to a simulated display, the scale on auto: the frame log tells how
# evenly the pictures show the game's time.
paced() {
  ./vorlan --headless --simulate-display "$1" --render-scale auto "${profile[@]}" --autopilot --seed 1 --course "$COURSE" --input "$WORK/start.txt" \
    --frames 900 --frame-log "$WORK/paced$1.txt" > /dev/null
  awk '
    /^#/ { next }
    {
      n++; updates += (n > 1 ? $2 : 0)
      if (n == 1) { first = $1; minScale = $5 }
      if (n > 1) {
        d = ($1 - lastPresent) - ($4 - lastShown); if (d < 0) d = -d
        if (d <= 1.0) even++
        if (d > worst) worst = d
      }
      if ($5 < minScale) minScale = $5
      lastPresent = $1; lastShown = $4; scale = $5
    }
    END {
      s = (lastPresent - first) / 1000
      printf "{\"pictures\":%d,\"picturesPerSecond\":%.1f,\"updatesPerSecond\":%.2f,\"scale\":%.3f,\"minScale\":%.3f,\"evenWithin1ms\":%.4f,\"worstMs\":%.2f}",
        n, (n - 1) / s, updates / s, scale, minScale, even / (n - 1), worst
    }' "$WORK/paced$1.txt"
}
paced60=$(paced 60)
paced144=$(paced 144)
printf '{"course":"%s","race":%s,"raceNoRender":%s,"verify":%s,"empty":%s,"floor":%s,"raceHalf":%s,"capped":%s,"paced60":%s,"paced144":%s}\n' \
  "$COURSE" "$race" "$noRender" "$verify" "$empty" "$floor" "$raceHalf" "$capped" "$paced60" "$paced144"
