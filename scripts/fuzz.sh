#!/usr/bin/env bash
# Builds the libFuzzer targets (in the asan preset's build: clang, ASan, UBSan) and runs
# each one for a fixed time on its seeds, the kept regression inputs and the
# game's generated content when a build has made it. Fails on any crash,
# sanitizer report, leak, hang or out-of-memory.
#   scripts/fuzz.sh [SECONDS_PER_TARGET]   (default 30)
# Crashing inputs are kept in build-asan/fuzz-work/crashes/<target>/; run one
# again with build-asan/fuzz/fuzz_<target> FILE. Once the loader is fixed, the
# input belongs in fuzz/regressions/<target>/, where the framework tests run it too.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
SECS="${1:-30}"
cd "$ROOT"

nice -n 10 cmake --preset asan >/dev/null
nice -n 10 cmake --build --preset fuzz

BIN="$ROOT/build-asan/fuzz"
WORK="$ROOT/build-asan/fuzz-work"
mkdir -p "$WORK"

# VORLAN_FUZZ_DATA names another generated Data folder to seed from.
DATA="${VORLAN_FUZZ_DATA:-}"
if [ -z "$DATA" ]; then
  for d in build-asan/Data build/Data build-debug/Data; do
    if [ -f "$d/.stamp" ]; then DATA="$ROOT/$d"; break; fi
  done
fi

# Largest input each target tries; the game's files above it are left out
# rather than cut (a cut file only tests the truncation check).
declare -A MAXLEN=([gltf]=65536 [image]=32768 [wav]=65536 [pointfile]=4096 [records]=1024 [ghost]=16384 [course]=8192 [coursedesc]=4096
  [race]=65536 [server_player_body]=2048 [server_authorization]=256 [server_racefile]=4096 [server_board_query]=1024
  [server_verifier_output]=4096)

# Seeds taken from the generated content, made fresh each run.
data_seeds() {
  local target="$1" out="$WORK/data-seeds/$target"
  rm -rf "$out"
  mkdir -p "$out"
  [ -n "$DATA" ] || return 0
  case "$target" in
    gltf)
      while IFS= read -r -d '' f; do
        local name
        name="$(basename "${f%.gltf}")"
        "$BIN/fuzz_pack_gltf" "$f" "$out/$name.glb" || true
        "$BIN/fuzz_pack_gltf" "$f" "$out/$name.gltf" || true
      done < <(find "$DATA" -name '*.gltf' -print0) ;;
    # Courses share file names (every course has its kerb.png): keep each copy.
    image) find "$DATA" -iname '*.png' -exec cp --backup=numbered -t "$out" {} + ;;
    wav) find "$DATA" -iname '*.wav' -exec cp --backup=numbered -t "$out" {} + ;;
    pointfile) find "$DATA" -name '*.txt' -exec cp --backup=numbered -t "$out" {} + ;;
    course) find "$DATA" -name 'course.json' -exec cp --backup=numbered -t "$out" {} + ;;
    race) cp -t "$out" "$ROOT"/tests/data/runs/*.run 2>/dev/null || true ;;
  esac
  find "$out" -type f -size +"${MAXLEN[$target]}"c -delete
}

TARGETS=(gltf image wav pointfile records ghost course coursedesc race
  server_player_body server_authorization server_racefile server_board_query server_verifier_output)

# One target's run; its result is left in $WORK/<target>.status.
fuzz_one() {
  local target="$1"
  local corpus="$WORK/corpus/$target" crashes="$WORK/crashes/$target" log="$WORK/$target.log"
  mkdir -p "$corpus" "$crashes"
  local dirs=("$corpus" "$ROOT/fuzz/seeds/$target" "$WORK/data-seeds/$target")
  if [ -d "$ROOT/fuzz/regressions/$target" ]; then dirs+=("$ROOT/fuzz/regressions/$target"); fi
  local dict=()
  if [ -f "$ROOT/fuzz/dict/$target.dict" ]; then dict=(-dict="$ROOT/fuzz/dict/$target.dict"); fi
  if nice -n 10 "$BIN/fuzz_$target" -max_total_time="$SECS" -timeout=30 -rss_limit_mb=2048 \
       -max_len="${MAXLEN[$target]}" -print_final_stats=1 -artifact_prefix="$crashes/" \
       "${dict[@]}" "${dirs[@]}" >"$log" 2>&1; then
    echo ok >"$WORK/$target.status"
  else
    echo failed >"$WORK/$target.status"
  fi
}

# Seeds first (they use one helper program), then the targets two at a time:
# each fuzzer runs on one core.
for target in "${TARGETS[@]}"; do data_seeds "$target"; done
JOBS="${VORLAN_FUZZ_JOBS:-$(nproc)}"
running=0
for target in "${TARGETS[@]}"; do
  echo "fuzz: $target for ${SECS}s"
  rm -f "$WORK/$target.status"
  fuzz_one "$target" &
  running=$((running + 1))
  if [ "$running" -ge "$JOBS" ]; then wait -n || true; running=$((running - 1)); fi
done
wait

failed=()
for target in "${TARGETS[@]}"; do
  log="$WORK/$target.log"
  crashes="$WORK/crashes/$target"
  if [ "$(cat "$WORK/$target.status" 2>/dev/null)" = ok ]; then
    grep -E '^stat::number_of_executed_units|^Done|INITED' "$log" | sed "s/^/fuzz: $target: /" || true
  else
    echo "fuzz: $target FAILED; the end of $log:"
    tail -n 60 "$log"
    ls -1 "$crashes" | sed "s|^|fuzz: input kept: $crashes/|"
    failed+=("$target")
  fi
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz: failed: ${failed[*]}"
  exit 1
fi
echo "fuzz: all targets ran ${SECS}s without a fault"
