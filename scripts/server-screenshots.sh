#!/usr/bin/env bash
# The leaderboard's pages as a browser shows them, for the README: a server
# on loopback, a few riders' races from tests/data/runs verified on it,
# headless Chromium's screenshots into docs/.
#   scripts/server-screenshots.sh [BUILD_DIR]
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${1:-$ROOT/build}"
WORK="$(mktemp -d)"
chmod 755 "$WORK"
cleanup() { [ -n "${SERVER:-}" ] && kill "$SERVER" 2>/dev/null; rm -rf "$WORK"; }
trap cleanup EXIT
"$BUILD/vorlan-moto-server" --listen 127.0.0.1:0 --data "$WORK/data" >"$WORK/out" 2>"$WORK/log" &
SERVER=$!
for _ in $(seq 100); do grep -q 'listening on' "$WORK/out" 2>/dev/null && break; sleep 0.1; done
URL="http://$(sed -n 's/.*listening on //p' "$WORK/out")"
token() { curl -sf -X POST -d "{\"name\":\"$1\"}" "$URL/api/v1/players" | sed 's/.*"token":"\([0-9a-f]*\)".*/\1/'; }
send() { curl -sf -X POST -H "Authorization: Bearer $1" --data-binary @"$ROOT/tests/data/runs/$2.run" "$URL/api/v1/runs" >/dev/null; }
a=$(token Sandstorm) b=$(token Kestrel_7) c=$(token dune-rider)
send "$a" desert-clean; send "$b" desert-rival; send "$c" desert-switch; send "$a" riverside-clean
send "$b" canyon-clean; send "$c" desert-sand-zigzag; send "$b" riverside-switch
# Every verdict in, then the path of the run shot below (drawn after its verdict).
for run in 1 2 3 4 5 6 7; do
  for _ in $(seq 120); do curl -sf "$URL/api/v1/runs/$run" | grep -q '"pending"' || break; sleep 0.25; done
done
for _ in $(seq 120); do curl -sf -o /dev/null "$URL/runs/4/path.png" && break; sleep 0.25; done
shot() { chromium --headless --no-sandbox --disable-gpu --no-first-run --user-data-dir="$WORK/chrome" \
  --hide-scrollbars --window-size=1000,"$3" --screenshot="$ROOT/docs/$2" "$URL$1" >/dev/null 2>&1; }
shot / server-home.png 900
shot /courses/desert server-course.png 900
shot /runs/4 server-run.png 1000
echo "docs/server-home.png docs/server-course.png docs/server-run.png"
