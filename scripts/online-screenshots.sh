#!/usr/bin/env bash
# The game online, for the README: a leaderboard on loopback with a few
# riders' races from tests/data/runs on its desert board and the README's
# little loop shared on it; then the game's result screen with its race
# verified and ranked, the title with the world record, and the courses
# screen listing the shared course (headless screenshots into docs/).
#   scripts/online-screenshots.sh [BUILD_DIR]
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${1:-$ROOT/build}"
WORK="$(mktemp -d)"
chmod 755 "$WORK"
cleanup() { [ -n "${SERVER:-}" ] && kill "$SERVER" 2>/dev/null; rm -rf "$WORK"; }
trap cleanup EXIT
cd "$BUILD"
./vorlan-moto-server --listen 127.0.0.1:0 --data "$WORK/data" >"$WORK/out" 2>"$WORK/log" &
SERVER=$!
for _ in $(seq 100); do grep -q 'listening on' "$WORK/out" 2>/dev/null && break; sleep 0.1; done
URL="http://$(sed -n 's/.*listening on //p' "$WORK/out")"
token() { curl -sf -X POST -d "{\"name\":\"$1\"}" "$URL/api/v1/players" | sed 's/.*"token":"\([0-9a-f]*\)".*/\1/'; }
send() { curl -sf -X POST -H "Authorization: Bearer $1" --data-binary @"$ROOT/tests/data/runs/$2.run" "$URL/api/v1/runs" >/dev/null; }
a=$(token Sandstorm) b=$(token Kestrel_7) c=$(token dune-rider)
send "$a" desert-clean; send "$b" desert-rival; send "$c" desert-switch
sed -n '/^    id little-loop/,/^    EOF/p' "$ROOT/README.md" | sed '$d; s/^    //' >"$WORK/little-loop.course"
curl -sf -X POST -H "Authorization: Bearer $b" --data-binary @"$WORK/little-loop.course" "$URL/api/v1/courses" >/dev/null
sleep 3
mkdir -p "$WORK/p"
printf 'player = Vorlan_Rider\n' >"$WORK/p/settings.ini"
# The scripted race of the online tests; the result screen held until the verdict is in.
./vorlan --headless --no-render --fixed-clock --uncapped --seed 3 --frames 9001 --profile "$WORK/p" \
  --server "$URL" --input "$ROOT/tests/online/data/desert.keys" \
  --screenshot "9000:$ROOT/docs/online-result.png" >/dev/null 2>&1
# The next start: the title with the world record and the rider's rank, then the courses screen.
printf '200 200 C\n' >"$WORK/courses.txt"
./vorlan --headless --no-render --fixed-clock --uncapped --seed 1 --frames 3001 --profile "$WORK/p" \
  --server "$URL" --input "$WORK/courses.txt" \
  --screenshot "150:$ROOT/docs/online-title.png" --screenshot "3000:$ROOT/docs/online-courses.png" >/dev/null 2>&1
echo "docs/online-result.png docs/online-title.png docs/online-courses.png"
