#!/usr/bin/env bash
# Does the network ever hold up the race? A scripted desert race (the online
# tests' keys, so it is one the player's files keep and the game sends) is
# drawn twice with --stats: offline, and with --server set to a server on
# loopback that answers every request after 5 s. Prints one JSON line
# {"offline":STATS,"slowServer":STATS} with the game's own timings; the longest
# update and picture of the two should stay within a couple of milliseconds.
#   bench/online.sh [BUILD_DIR] [FRAMES]   (FRAMES past the finish at 3964 keep the race
#                                          file on its way while pictures go on)
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${1:-$ROOT/build}"
FRAMES="${2:-4600}"
WORK="$(mktemp -d)"
SERVER_PID=""
trap '[ -n "$SERVER_PID" ] && kill "$SERVER_PID" 2>/dev/null; rm -rf "$WORK"' EXIT

# The slow server: every answer comes 5 s late (a 503 with Retry-After, so the
# race file stays in the outbox); loopback only, gone with this script.
python3 - "$WORK/port" <<'PY' &
import http.server, socketserver, sys, time
class Slow(http.server.BaseHTTPRequestHandler):
    def answer(self):
        length = int(self.headers.get("Content-Length") or 0)
        if length: self.rfile.read(min(length, 1 << 20))
        time.sleep(5)
        body = b'{"error":"busy"}'
        self.send_response(503)
        self.send_header("Retry-After", "60")
        self.send_header("Content-Type", "application/json")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)
    do_GET = do_POST = answer
    def log_message(self, *args): pass
class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
server = Server(("127.0.0.1", 0), Slow)
open(sys.argv[1], "w").write(str(server.server_address[1]))
server.serve_forever()
PY
SERVER_PID=$!
for _ in $(seq 100); do [ -s "$WORK/port" ] && break; sleep 0.1; done
PORT="$(cat "$WORK/port")"

cd "$BUILD"
race() {
  ./vorlan --headless --fixed-clock --uncapped --render-scale 0.25 --seed 3 --frames "$FRAMES" ${NO_RENDER:+--no-render} \
    --input "$ROOT/tests/online/data/desert.keys" --profile "$WORK/$1" --stats "${@:2}" 2>/dev/null | tail -n 1
}
offline=$(race offline)
slow=$(race slow --server "http://127.0.0.1:$PORT")
printf '{"offline":%s,"slowServer":%s}\n' "$offline" "$slow"
