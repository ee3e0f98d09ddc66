#!/usr/bin/env bash
# Plays one race headless (fixed clock, seed 1, autopilot, Enter at frame 5)
# and saves the title, countdown, mid-race and result screens and the bikes'
# path map into docs/, the pictures the README shows:
#   scripts/screenshots.sh [BUILD_DIR]
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${1:-$ROOT/build}"
WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT
cd "$BUILD"
printf '5 5 Enter\n' > "$WORK/start.txt"
run=(./vorlan --headless --no-render --fixed-clock --uncapped --autopilot --seed 1 --input "$WORK/start.txt")

# Each run keeps its settings and records in a fresh profile folder of its
# own, never the player's, and starts from the game's own settings.

# A logic-only run finds the frame the player finishes.
"${run[@]}" --profile "$WORK/first" --frames 9000 --trace "$WORK/trace.jsonl" >/dev/null
finish=$(python3 -c '
import json, sys
for line in open(sys.argv[1]):
    f = json.loads(line)
    if f.get("bikes") and f["bikes"][0]["lap"] >= 4:
        print(f["frame"]); break
' "$WORK/trace.jsonl")
[ -n "$finish" ] || { echo "screenshots: the player did not finish" >&2; exit 1; }

"${run[@]}" --profile "$WORK/second" --frames $((finish + 91)) \
  --screenshot "3:$ROOT/docs/title.png" \
  --screenshot "280:$ROOT/docs/countdown.png" \
  --screenshot "1500:$ROOT/docs/race.png" \
  --screenshot "$((finish + 90)):$ROOT/docs/result.png" >/dev/null
head -n $((finish + 1)) "$WORK/trace.jsonl" > "$WORK/race.jsonl"
./vorlan-pathmap "$WORK/race.jsonl" "$ROOT/docs/race-paths.png" course-map.png
# Seed 3 against the first run's records: the ghost of the seed-1 race beside
# the player just after lap 1 (with the split), and a new record at the end.
ghost_run=(./vorlan --headless --no-render --fixed-clock --uncapped --autopilot --seed 3 --input "$WORK/start.txt")
"${ghost_run[@]}" --profile "$WORK/first" --frames 4070 \
  --screenshot "1640:$ROOT/docs/ghost.png" \
  --screenshot "4069:$ROOT/docs/records.png" >/dev/null
# The options screen over the title, the second line chosen.
printf '5 5 O\n15 15 Down\n' > "$WORK/options.txt"
./vorlan --headless --no-render --fixed-clock --uncapped --seed 1 --input "$WORK/options.txt" --frames 31 \
  --profile "$WORK/options" \
  --screenshot "30:$ROOT/docs/options.png" >/dev/null
# The courses made from descriptions: title, mid-race and result of each,
# and its map with the bikes' paths.
for course in riverside canyon; do
  "${run[@]}" --profile "$WORK/$course-first" --course "$course" --frames 9000 --trace "$WORK/$course.jsonl" >/dev/null
  finish=$(python3 -c '
import json, sys
for line in open(sys.argv[1]):
    f = json.loads(line)
    if f.get("bikes") and f["bikes"][0]["lap"] >= 4:
        print(f["frame"]); break
' "$WORK/$course.jsonl")
  [ -n "$finish" ] || { echo "screenshots: the player did not finish $course" >&2; exit 1; }
  "${run[@]}" --profile "$WORK/$course-second" --course "$course" --frames $((finish + 91)) \
    --screenshot "3:$ROOT/docs/$course-title.png" \
    --screenshot "1500:$ROOT/docs/$course-race.png" \
    --screenshot "$((finish + 90)):$ROOT/docs/$course-result.png" >/dev/null
  head -n $((finish + 1)) "$WORK/$course.jsonl" > "$WORK/$course-race.jsonl"
  ./vorlan-pathmap "$WORK/$course-race.jsonl" "$ROOT/docs/$course-paths.png" "course-map-$course.png"
done
# Each course's excavator as the player meets it, the arm halfway up with the
# player's bike 30 m from it, and Riverside's gate sliding after a bike
# pressed one of its switches.
for course in riverside canyon; do
  read -r arm gate < <(python3 -c '
import json, math, sys
course = json.load(open("Data/Courses/" + sys.argv[2] + "/course.json"))
hinge = course["gameplay"]["excavator"]["hinge"]
arm = gate = None
for line in open(sys.argv[1]):
    f = json.loads(line)
    p = f["bikes"][0]["pos"]
    if arm is None and f["obstacles"]["armMoving"] and f["obstacles"]["armAngle"] >= 60 and math.hypot(p[0] - hinge[0], p[2] - hinge[2]) < 32:
        arm = f["frame"]
    if gate is None and any(f["walls"]["switchOn"]):
        gate = f["frame"] + 8
print(arm, gate)
' "$WORK/$course.jsonl" "$course")
  [ "$arm" != None ] || { echo "screenshots: no swinging arm at $course" >&2; exit 1; }
  shots=(--screenshot "$arm:$ROOT/docs/$course-excavator.png")
  last=$arm
  if [ "$course" = riverside ]; then
    [ "$gate" != None ] || { echo "screenshots: no moving gate at riverside" >&2; exit 1; }
    shots+=(--screenshot "$gate:$ROOT/docs/riverside-gate.png")
    last=$(( gate > arm ? gate : arm ))
  fi
  "${run[@]}" --profile "$WORK/$course-third" --course "$course" --frames $((last + 1)) "${shots[@]}" >/dev/null
done
echo "screenshots: docs/title.png docs/countdown.png docs/race.png docs/result.png docs/race-paths.png" \
  "docs/ghost.png docs/records.png docs/options.png" \
  "docs/{riverside,canyon}-{title,race,result,paths}.png docs/{riverside,canyon}-excavator.png docs/riverside-gate.png"
