#!/usr/bin/env bash
# The leaderboard on several servers, all on this machine and on loopback:
# one PostgreSQL (a Unix socket in a temporary folder), two web servers and
# one verify server, then two. 20 clients send RUNS race files (default
# 2,000) through both web servers while 4 readers load boards from both.
# Measured: runs judged a minute with one verify server (one worker) and
# then with two, and the board reads' latency. Then, with the load still
# on: one verify server killed with SIGKILL (its claimed runs are judged by
# the other once their lease runs out), PostgreSQL restarted (requests in
# the gap get 503 with Retry-After, and the servers carry on), and all the
# while a queue bound below RUNS (submissions past it get 503 and are sent
# again). At the end every accepted run must have one verdict and no race
# may be on a board twice. Prints one JSON line; exits 1 when a run was
# lost or judged twice. Bounded: it gives up after 20 minutes.
#   bench/server-scale.sh [BUILD_DIR] [RUNS] [CLIENTS]
# WINDOW (seconds, default 60) is how long each rate is measured over.
# The race files are those of tests/data/runs, each sent many times with
# another date line: a new file each time, raced again in full, and after
# the first a copy of an earlier race (rejected, naming it).
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="$(cd "${1:-$ROOT/build}" && pwd)"
RUNS="${2:-2000}"
CLIENTS="${3:-20}"
PGBIN=/usr/lib/postgresql/15/bin
WORK="$(mktemp -d)"
# The sandbox's own user (when run as root) reads the shared courses in here.
chmod 755 "$WORK"
AS=()
if [ "$(id -u)" = 0 ]; then
  # PostgreSQL will not run as root.
  AS=(runuser -u postgres --)
  mkdir "$WORK/pg" && chown postgres: "$WORK/pg"
else
  mkdir "$WORK/pg"
fi
cleanup() {
  for p in "$WORK"/*.pid; do [ -e "$p" ] && kill "$(cat "$p")" 2>/dev/null || true; done
  "${AS[@]}" "$PGBIN/pg_ctl" -D "$WORK/pg/db" -w -s -m fast stop >/dev/null 2>&1 || true
  rm -rf "$WORK"
}
trap cleanup EXIT
"${AS[@]}" "$PGBIN/initdb" -D "$WORK/pg/db" -U postgres --auth=trust -E UTF8 --locale=C >"$WORK/initdb.log" 2>&1
PGOPTS="-k $WORK/pg -c listen_addresses='' -p 5432 -c max_connections=100"
"${AS[@]}" "$PGBIN/pg_ctl" -D "$WORK/pg/db" -l "$WORK/pg/postgres.log" -w -s -o "$PGOPTS" start
URL="postgresql:///postgres?host=$WORK/pg&port=5432&user=postgres"
"$BUILD/vorlan-moto-server" migrate --database "$URL" >/dev/null

python3 - "$BUILD" "$WORK" "$URL" "$RUNS" "$CLIENTS" "$ROOT/tests/data/runs" "$PGBIN" "$PGOPTS" "${AS[*]}" \
  "${WINDOW:-60}" <<'PY'
import glob, http.client, json, os, shlex, signal, subprocess, sys, threading, time
build, work, url, runs, clients, corpus, pgbin, pgopts, as_user, window = sys.argv[1:11]
runs, clients, window = int(runs), int(clients), int(window)
as_user = shlex.split(as_user)
files = [open(f).read() for f in sorted(glob.glob(corpus + "/*.run"))]
t_start = time.time()
DEADLINE = t_start + 20 * 60
LEASE = 30
QUEUE_BOUND = max(100, runs * 3 // 4)

def sql(query):
    out = subprocess.run(["psql", "-XtA", "-d", url, "-c", query], capture_output=True, text=True)
    return out.stdout.strip() if out.returncode == 0 else None

servers = {}
def start(name, role, workers=1):
    args = [build + "/vorlan-moto-server", "--role", role, "--database", url, "--data", work + "/" + name,
            "--listen", "127.0.0.1:0", "--workers", str(workers), "--lease", str(LEASE),
            "--rate-player", "1000000", "--rate-address", "1000000", "--rate-signups", "1000000",
            "--queue-bound", str(QUEUE_BOUND), "--http-threads", "16"]
    log = open(work + "/" + name + ".log", "w")
    p = subprocess.Popen(args, stdout=subprocess.PIPE, stderr=log, text=True)
    line = p.stdout.readline()
    open(work + "/" + name + ".pid", "w").write(str(p.pid))
    servers[name] = p
    if "listening on" in line: return int(line.rsplit(":", 1)[1])
    if "verifying as" in line: return 0
    sys.exit("bench/server-scale.sh: %s did not start: %s" % (name, open(work + "/" + name + ".log").read()))

ports = [start("web1", "web"), start("web2", "web")]
start("verify1", "verify")

def request(port, method, path, body=None, token=None, timeout=60):
    c = http.client.HTTPConnection("127.0.0.1", port, timeout=timeout)
    headers = {"Authorization": "Bearer " + token} if token else {}
    if body is not None: headers["Content-Type"] = "text/plain"
    c.request(method, path, body=body.encode() if isinstance(body, str) else body, headers=headers)
    r = c.getresponse()
    data = r.read()
    retry = r.getheader("Retry-After")
    c.close()
    return r.status, data, retry

tokens = []
for i in range(clients):
    s, d, _ = request(ports[i % 2], "POST", "/api/v1/players", json.dumps({"name": "scale_%d_%d" % (i, int(time.time()) % 100000)}))
    tokens.append(json.loads(d)["token"])

lock = threading.Lock()
accepted = {}  # run id -> n
refusals = {"queue": 0, "database": 0, "other": 0, "noRetryAfter": 0}
next_run = [0]
def client(ci):
    port = ports[ci % 2]
    while time.time() < DEADLINE:
        with lock:
            if next_run[0] >= runs: return
            n = next_run[0]
            next_run[0] += 1
        body = files[n % len(files)].replace("\ndate ", "\ndate %d-" % n, 1)
        while time.time() < DEADLINE:
            try:
                s, d, retry = request(port, "POST", "/api/v1/runs", body, tokens[ci])
            except Exception:
                s, d, retry = -1, b"", None
            if s == 202:
                with lock: accepted[json.loads(d)["id"]] = n
                break
            if s == 409:  # stored, its answer lost in a gap: the run that holds it
                why = json.loads(d)["error"]
                with lock: accepted[int(why.rsplit(" ", 1)[1])] = n
                break
            with lock:
                if s == 503 and d.startswith(b'{"error":"queue:'): refusals["queue"] += 1
                elif s == 503: refusals["database"] += 1
                else: refusals["other"] += 1
                if s == 503 and not retry: refusals["noRetryAfter"] += 1
            time.sleep(1.0)

reads = []  # (ms, status, phase)
phase = ["one"]
stop = [False]
def reader(i):
    while not stop[0]:
        t = time.perf_counter()
        try:
            s, _, _ = request(ports[i % 2], "GET", "/api/v1/boards/desert?difficulty=normal&limit=50", timeout=30)
        except Exception:
            s = -1
        with lock: reads.append(((time.perf_counter() - t) * 1000, s, phase[0]))
        time.sleep(0.05)

def judged():
    v = sql("SELECT COUNT(*) FROM runs WHERE status <> 'pending'")
    return int(v) if v else None

def rate_over(seconds):
    a, ta = judged(), time.time()
    time.sleep(seconds)
    b, tb = judged(), time.time()
    return round((b - a) / (tb - ta) * 60, 1)

senders = [threading.Thread(target=client, args=(i,)) for i in range(clients)]
readers = [threading.Thread(target=reader, args=(i,)) for i in range(4)]
for t in senders + readers: t.start()
time.sleep(window // 4)
one = rate_over(window)
start("verify2", "verify")
phase[0] = "two"
time.sleep(window // 6)
two = rate_over(window)

# Faults, with the load on.
phase[0] = "faults"
victim = servers["verify1"].pid
held = sql("SELECT COUNT(*) FROM runs WHERE status = 'pending' AND claimed_by LIKE '%%:%d/%%'" % victim)
servers["verify1"].send_signal(signal.SIGKILL)
servers["verify1"].wait()
t_kill = time.time()
time.sleep(5)
subprocess.run(as_user + [pgbin + "/pg_ctl", "-D", work + "/pg/db", "-w", "-s", "-m", "fast", "stop"], check=True)
time.sleep(2)
subprocess.run(as_user + [pgbin + "/pg_ctl", "-D", work + "/pg/db", "-l", work + "/pg/postgres.log", "-w", "-s",
                          "-o", pgopts, "start"], check=True)
for t in senders: t.join()
sent_seconds = time.time() - t_start
while time.time() < DEADLINE:
    p = sql("SELECT COUNT(*) FROM runs WHERE status = 'pending'")
    if p == "0": break
    time.sleep(1)
all_seconds = time.time() - t_start
stop[0] = True
for t in readers: t.join()
alive = [n for n, p in servers.items() if n != "verify1" and p.poll() is None]

def pct(values, q):
    v = sorted(values)
    return round(v[min(len(v) - 1, int(len(v) * q))], 1) if v else None
steady = [ms for ms, s, ph in reads if s == 200 and ph != "faults"]
pending = int(sql("SELECT COUNT(*) FROM runs WHERE status = 'pending'") or -1)
stored = int(sql("SELECT COUNT(*) FROM runs") or -1)
twice = int(sql("SELECT COUNT(*) FROM (SELECT states_hash FROM runs WHERE status = 'verified' "
                "GROUP BY states_hash HAVING COUNT(*) > 1) AS t") or -1)
result = {
    "runs": runs, "accepted": len(accepted), "stored": stored, "pendingAtEnd": pending,
    "verified": int(sql("SELECT COUNT(*) FROM runs WHERE status = 'verified'") or -1),
    "rejectedCopies": int(sql("SELECT COUNT(*) FROM runs WHERE reason LIKE 'the same race as run %'") or -1),
    "onABoardTwice": twice,
    "claimedMoreThanOnce": int(sql("SELECT COUNT(*) FROM runs WHERE claims > 1") or -1),
    "heldByTheKilledServer": int(held or 0),
    "judgedPerMinuteOneVerifyServer": one, "judgedPerMinuteTwoVerifyServers": two,
    "speedup": round(two / one, 2) if one else None,
    "secondsPerCheck": round(60 / one, 2) if one else None,
    "boardReads": len(reads), "boardMedianMs": pct(steady, 0.5), "boardP99Ms": pct(steady, 0.99),
    "reads503DuringFaults": sum(1 for ms, s, ph in reads if s == 503 and ph == "faults"),
    "readsFailed": sum(1 for ms, s, ph in reads if s not in (200, 503)),
    "refused503Queue": refusals["queue"], "refused503Database": refusals["database"],
    "refusedOther": refusals["other"], "503WithoutRetryAfter": refusals["noRetryAfter"],
    "serversAliveAtEnd": sorted(alive), "sendSeconds": round(sent_seconds, 1), "allVerdictsSeconds": round(all_seconds, 1),
    "cores": os.cpu_count(),
}
print(json.dumps(result))
lost = len(accepted) != runs or stored != runs or pending != 0 or twice != 0 or len(alive) != 3 or \
    result["readsFailed"] != 0
if lost:
    print("bench/server-scale.sh: runs lost, left pending or on a board twice, or a server fell over", file=sys.stderr)
    sys.exit(1)
PY
