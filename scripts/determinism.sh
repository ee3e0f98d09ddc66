#!/usr/bin/env bash
# The same race on every build: makes the simulation and the verifier with
# GCC at -O0 and at -O3 -march=native (beside whatever builds exist), and
# verifies every race file of tests/data/runs on each, to the state hashes
# the files hold. Prints one line per build: files verified, CPU seconds.
#   scripts/determinism.sh [EXTRA_BUILD_DIR...]   (default extras: build, build-asan when present)
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
RUNS="$ROOT/tests/data/runs"
builds=()
for flags in "-O0" "-O3 -march=native"; do
  dir="$ROOT/build-det-$(echo "$flags" | tr -d ' =-')"
  cmake -S "$ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=None -DCMAKE_C_COMPILER=gcc -DCMAKE_CXX_COMPILER=g++ \
    "-DCMAKE_CXX_FLAGS=$flags" -DVORLAN_BUILD_TESTS=OFF >/dev/null
  cmake --build "$dir" --target vorlan-moto-verify >/dev/null
  builds+=("$dir|gcc $flags")
done
if [ $# -gt 0 ]; then
  for dir in "$@"; do builds+=("$dir|$dir"); done
else
  for dir in build build-asan; do
    [ -x "$ROOT/$dir/vorlan-moto-verify" ] && builds+=("$ROOT/$dir|$dir")
  done
fi
failed=0
TIMEFORMAT='%U %S'
for entry in "${builds[@]}"; do
  dir="${entry%%|*}" name="${entry#*|}"
  ok=0 total=0 cpu=0
  for run in "$RUNS"/*.run; do
    total=$((total + 1))
    t=$( { time "$dir/vorlan-moto-verify" "$run" >"$dir/determinism-last.json" 2>/dev/null && echo ok >>"$dir/determinism-last.json"; } 2>&1 )
    cpu=$(awk -v a="$cpu" -v t="$t" 'BEGIN { split(t, f, " "); print a + f[1] + f[2] }')
    if grep -q '^ok$' "$dir/determinism-last.json"; then ok=$((ok + 1)); else
      echo "determinism: $name: $(basename "$run"): $(head -n 1 "$dir/determinism-last.json")" >&2
    fi
  done
  printf '%-24s %d/%d verified, %.2f s of CPU\n' "$name" "$ok" "$total" "$cpu"
  [ "$ok" -eq "$total" ] || failed=1
done
exit $failed
