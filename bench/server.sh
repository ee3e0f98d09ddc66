#!/usr/bin/env bash
# The leaderboard under load, on loopback: 20 clients send 1,000 runs, valid
# and hostile mixed, while 4 readers load boards and pages. Prints one JSON
# line: every run's outcome counted (verified, rejected with its reason, or
# refused with its status), the board and page reads' median and 99th
# percentile latency, and runs verified a minute per core.
#   bench/server.sh [BUILD_DIR] [RUNS] [CLIENTS]
# The valid runs are the race files of tests/data/runs, each sent many times
# with another date line: each is a new file, verified in full, and after the
# first a copy of an earlier race (rejected, naming it). Hostile ones: garbage
# (400), no token (401), over 256 KiB (413), and races with a key changed
# (rejected by the verifier as a mismatch).
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${1:-$ROOT/build}"
RUNS="${2:-1000}"
CLIENTS="${3:-20}"
WORK="$(mktemp -d)"
# The sandbox's own user (when run as root) reads the shared courses in here.
chmod 755 "$WORK"
cleanup() {
  [ -n "${SERVER:-}" ] && kill "$SERVER" 2>/dev/null && wait "$SERVER" 2>/dev/null || true
  rm -rf "$WORK"
}
trap cleanup EXIT
CORES=$(nproc)
"$BUILD/vorlan-moto-server" --listen 127.0.0.1:0 --data "$WORK/data" --workers "$CORES" \
  --rate-player 1000000 --rate-address 1000000 --rate-signups 1000000 --queue-bound 100000 \
  >"$WORK/server.out" 2>"$WORK/server.log" &
SERVER=$!
for _ in $(seq 100); do grep -q 'listening on' "$WORK/server.out" 2>/dev/null && break; sleep 0.1; done
PORT=$(sed -n 's/.*listening on 127.0.0.1:\([0-9]*\).*/\1/p' "$WORK/server.out")
[ -n "$PORT" ] || { cat "$WORK/server.log" >&2; exit 1; }
python3 - "$PORT" "$RUNS" "$CLIENTS" "$CORES" "$ROOT/tests/data/runs" <<'PY'
import glob, http.client, json, random, sys, threading, time
port, runs, clients, cores, corpus = int(sys.argv[1]), int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4]), sys.argv[5]
files = [open(f).read() for f in sorted(glob.glob(corpus + "/*.run"))]
rng = random.Random(1)

def request(method, path, body=None, token=None, timeout=60):
    c = http.client.HTTPConnection("127.0.0.1", port, timeout=timeout)
    headers = {"Authorization": "Bearer " + token} if token else {}
    if body is not None: headers["Content-Type"] = "text/plain"
    c.request(method, path, body=body.encode() if isinstance(body, str) else body, headers=headers)
    r = c.getresponse()
    data = r.read()
    c.close()
    return r.status, data

tokens = []
for i in range(clients):
    s, d = request("POST", "/api/v1/players", json.dumps({"name": "load_%d_%d" % (i, int(time.time()) % 100000)}))
    tokens.append(json.loads(d)["token"])

def keyed(text, n):
    out, k = [], 0
    for line in text.split("\n"):
        if line.startswith("u ") and k >= 1000 and k < 1006:
            parts = line.split(" ")
            parts[1] = "%x" % (int(parts[1], 16) & ~1)
            line = " ".join(parts)
        if line.startswith("u "): k += 1
        if line.startswith("date "): line = "date 2026-01-%02d-%d" % (n % 28 + 1, n)
        out.append(line)
    return "\n".join(out)

plan = []
for n in range(runs):
    kind = rng.choices(["valid", "garbage", "notoken", "big", "keyed"], [70, 8, 7, 5, 10])[0]
    plan.append((n, kind))
outcomes, ids, lock = {}, [], threading.Lock()
next_run = [0]

def client(ci):
    while True:
        with lock:
            if next_run[0] >= len(plan): return
            n, kind = plan[next_run[0]]
            next_run[0] += 1
        base = files[n % len(files)].replace("\ndate ", "\ndate %d-" % n, 1)
        token = tokens[ci]
        if kind == "valid": body = base
        elif kind == "garbage": body = "\x00\x01garbage %d\n" % n
        elif kind == "notoken": body, token = base, None
        elif kind == "big": body = base + "#" * (300 * 1024)
        else: body = keyed(base, n)
        try:
            s, d = request("POST", "/api/v1/runs", body, token)
        except Exception as e:
            s, d = -1, str(e).encode()
        with lock:
            if s == 202: ids.append((n, kind, json.loads(d)["id"]))
            else: outcomes[n] = (kind, "refused %d" % s, d[:80].decode("utf-8", "replace"))

latencies = {"board": [], "page": []}
stop = [False]
def reader(i):
    paths = [("board", "/api/v1/boards/desert?difficulty=normal&limit=50"), ("board", "/api/v1/courses"),
             ("page", "/"), ("page", "/courses/desert")]
    while not stop[0]:
        what, path = paths[i % len(paths)]
        t = time.perf_counter()
        try:
            s, _ = request("GET", path, timeout=30)
        except Exception:
            s = -1
        with lock: latencies[what].append(((time.perf_counter() - t) * 1000, s))
        time.sleep(0.02)

t0 = time.time()
readers = [threading.Thread(target=reader, args=(i,)) for i in range(4)]
senders = [threading.Thread(target=client, args=(i,)) for i in range(clients)]
for t in readers + senders: t.start()
for t in senders: t.join()
sent = time.time() - t0
# Every accepted run until it has its verdict.
pending = list(ids)
deadline = time.time() + 1800
while pending and time.time() < deadline:
    still = []
    for n, kind, rid in pending:
        s, d = request("GET", "/api/v1/runs/%d" % rid)
        run = json.loads(d)
        if run["status"] == "pending": still.append((n, kind, rid)); continue
        outcomes[n] = (kind, run["status"], run.get("reason", ""))
    pending = still
    if pending: time.sleep(0.5)
done = time.time() - t0
stop[0] = True
for t in readers: t.join()

def pct(values, p):
    v = sorted(values)
    return round(v[min(len(v) - 1, int(len(v) * p))], 1) if v else None
counts = {}
for kind, status, reason in outcomes.values():
    key = kind + ":" + (status if not status.startswith("rejected") else
                        "rejected-copy" if "same race" in reason else
                        "rejected-autopilot" if "autopilot" in reason else "rejected-mismatch" if "update" in reason else "rejected")
    counts[key] = counts.get(key, 0) + 1
verified = sum(1 for k, s, r in outcomes.values() if s in ("verified", "rejected") and k in ("valid", "keyed"))
board = [l for l, s in latencies["board"]]
page = [l for l, s in latencies["page"]]
bad_reads = sum(1 for l, s in latencies["board"] + latencies["page"] if s != 200)
print(json.dumps({"runs": runs, "accountedFor": len(outcomes), "outcomes": counts, "sendSeconds": round(sent, 1),
                  "allVerdictsSeconds": round(done, 1), "checksPerMinutePerCore": round(verified / done * 60 / cores, 1),
                  "boardReads": len(board), "boardMedianMs": pct(board, 0.5), "boardP99Ms": pct(board, 0.99),
                  "pageReads": len(page), "pageMedianMs": pct(page, 0.5), "pageP99Ms": pct(page, 0.99),
                  "failedReads": bad_reads, "cores": cores}))
if len(outcomes) != runs:
    print("bench/server.sh: %d runs without a verdict after 30 min" % (runs - len(outcomes)), file=sys.stderr)
    sys.exit(1)
PY
