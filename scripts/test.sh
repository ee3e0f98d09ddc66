#!/usr/bin/env bash
# Builds the game and every test with AddressSanitizer and
# UndefinedBehaviorSanitizer, then runs all tests, then fuzzes the content
# loaders briefly where clang's libFuzzer is installed (bootstrap installs it).
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$ROOT/scripts/bootstrap.sh"
cd "$ROOT"
cmake --preset asan >/dev/null
cmake --build --preset asan
ctest --preset asan -j2 "$@"

# A program with a fuzz entry point links only when libFuzzer is there.
libfuzzer_available() {
  command -v clang++ >/dev/null 2>&1 || return 1
  local dir
  dir="$(mktemp -d)"
  printf 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }\n' >"$dir/probe.cpp"
  local ok=1
  if clang++ -fsanitize=fuzzer,address,undefined "$dir/probe.cpp" -o "$dir/probe" >/dev/null 2>&1; then ok=0; fi
  rm -rf "$dir"
  return $ok
}
if libfuzzer_available; then
  "$ROOT/scripts/fuzz.sh" 20
else
  echo "test: clang with libFuzzer is not installed; the fuzz run is skipped"
fi
