#!/usr/bin/env bash
# Makes the race files of tests/data/runs again: scripted drives on every
# course and difficulty (vorlan-racedrive, the game's own simulation) that
# scrape the fences, ride the sand, press the floor switch and the gate's
# switches, meet the boxes and the excavator's arm, bump the computer bikes,
# coast, pause and race on a clock that jitters like a real one. Each file
# holds its own expected state hashes; the tests verify every one.
#   scripts/make-race-corpus.sh [BUILD_DIR]
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${1:-$ROOT/build}"
OUT="$ROOT/tests/data/runs"
cmake --build "$BUILD" --target vorlan-racedrive vorlan-moto-verify >/dev/null
rm -rf "$OUT"
mkdir -p "$OUT"
cd "$BUILD"
# NAME COURSE DIFFICULTY SEED TITLE [ACTION FROM TO]...
while read -r name args; do
  [ -n "$name" ] && [ "${name:0:1}" != "#" ] || continue
  # shellcheck disable=SC2086
  if ! ./vorlan-racedrive "$OUT/$name.run" $args; then
    echo "make-race-corpus: $name did not finish" >&2
    exit 1
  fi
  ./vorlan-moto-verify "$OUT/$name.run" >/dev/null
done <<'DRIVES'
desert-clean            desert normal 1 30
desert-wall-left        desert normal 2 40 left 900 960 left 2200 2240
desert-wall-right       desert hard 3 50 right 1300 1360
desert-sand-zigzag      desert easy 4 60 zigzag 700 1100
desert-switch           desert normal 5 200 switch 300 700
desert-gate             desert hard 6 80 gate0 1400 1700 gate1 2500 2800
desert-rival            desert normal 7 20 rival 0 500
desert-coast-pause      desert easy 8 400 coast 1000 1150 pause 1600 1700
desert-long-title       desert normal 9 900
# Enter with Right on the desert's title: the race is the next course's (Canyon).
riverside-from-desert   desert normal 10 45 enterright 0 0
riverside-clean         riverside normal 11 30
riverside-easy-zigzag   riverside easy 12 50 zigzag 1500 1900
riverside-hard-wall     riverside hard 13 60 left 2000 2060
riverside-switch        riverside normal 14 40 switch 600 1400
riverside-gate          riverside hard 15 40 gate0 1800 2300 gate1 4000 4400
riverside-rival-coast   riverside easy 16 70 rival 0 400 coast 3000 3100
riverside-pause         riverside normal 17 300 pause 500 900 right 2500 2540
canyon-clean            canyon normal 21 30
canyon-easy-sand        canyon easy 22 50 zigzag 900 1300
canyon-hard-wall        canyon hard 23 40 right 1200 1260 left 3000 3050
canyon-switch           canyon normal 24 60 switch 200 600
canyon-rival            canyon hard 25 20 rival 0 600
canyon-coast            canyon easy 26 150 coast 2000 2200
DRIVES
ls "$OUT" | wc -l
