#!/usr/bin/env bash
# Builds the .deb and checks it as a player gets it: the declared dependencies
# cover what the game links, the desktop entry validates, the installed launcher
# runs the game from any directory without writing into the data folder, and
# removing the package leaves nothing behind.
# As root the package is really installed with dpkg -i and removed again; otherwise
# (or with --extract) it is unpacked into a temporary directory with dpkg -x.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
MODE=install
if [ "${1:-}" = "--extract" ] || [ "$(id -u)" -ne 0 ]; then MODE=extract; fi

fail() { echo "check-package: FAIL: $*" >&2; exit 1; }
note() { echo "check-package: $*"; }

DEB="$("$ROOT/scripts/package.sh" | tail -n 1)"
[ -f "$DEB" ] || fail "no package was built"
note "package $DEB"
WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT

# Every library the game links must come from a package the .deb depends on.
dpkg -x "$DEB" "$WORK/root"
DEPENDS="$(dpkg-deb -f "$DEB" Depends)"
note "Depends: $DEPENDS"
DEPENDS_NAMES="$(tr ',|' '\n\n' <<<"$DEPENDS" | sed 's/(.*//; s/[[:space:]]//g')"
GAME_BIN="$WORK/root/usr/lib/games/vorlan-moto/vorlan"
[ -x "$GAME_BIN" ] || fail "the package has no game executable"
RESOLVED="$(ldd "$GAME_BIN")"
for soname in $(objdump -p "$GAME_BIN" | awk '$1 == "NEEDED" { print $2 }'); do
  path="$(awk -v s="$soname" '$1 == s && $2 == "=>" { print $3 }' <<<"$RESOLVED")"
  [ "${path#/}" != "$path" ] || fail "$soname does not resolve here"
  owner=""
  for candidate in "$path" "/usr$path" "${path#/usr}" "$(readlink -f "$path")"; do
    owner="$(dpkg -S "$candidate" 2>/dev/null | head -n 1 | cut -d: -f1)" && [ -n "$owner" ] && break
  done
  [ -n "$owner" ] || fail "no Debian package owns $path ($soname)"
  if ! grep -qxF "$owner" <<<"$DEPENDS_NAMES"; then
    fail "the game links $soname from $owner, which Depends does not name"
  fi
  note "links $soname from $owner: declared"
done

# The desktop entry, validated by the freedesktop.org tool when it can be had.
if ! command -v desktop-file-validate >/dev/null 2>&1; then
  if [ "$(id -u)" -eq 0 ]; then
    env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends desktop-file-utils >/dev/null ||
      { apt-get update -q >/dev/null && env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends desktop-file-utils >/dev/null; }
  elif command -v sudo >/dev/null 2>&1 && sudo -n true 2>/dev/null; then
    sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends desktop-file-utils >/dev/null || true
  fi
fi
DESKTOP="$WORK/root/usr/share/applications/vorlan-moto.desktop"
[ -f "$DESKTOP" ] || fail "the package has no desktop entry"
if command -v desktop-file-validate >/dev/null 2>&1; then
  desktop-file-validate "$DESKTOP" || fail "desktop-file-validate rejects the desktop entry"
  note "desktop entry validates"
else
  note "desktop-file-validate not available (apt-get install desktop-file-utils); desktop entry not validated"
fi
for size in 16 32 48 64 128 256; do
  [ -f "$WORK/root/usr/share/icons/hicolor/${size}x${size}/apps/vorlan-moto.png" ] || fail "no ${size}px icon"
done

if [ "$MODE" = install ]; then
  if dpkg-query -W -f='${Status}' vorlan-moto 2>/dev/null | grep -q "ok installed"; then
    fail "vorlan-moto is installed already; remove it first (dpkg -r vorlan-moto)"
  fi
  # dpkg -i does not fetch dependencies; apt completes them if the machine lacks some.
  dpkg -i "$DEB" || env DEBIAN_FRONTEND=noninteractive apt-get install -y -q -f
  dpkg-query -W -f='${Status}' vorlan-moto | grep -q "ok installed" || fail "dpkg -i did not install the package"
  PREFIX=/usr
  # Debian puts /usr/games on the PATH of players, not of root.
  export PATH="$PATH:/usr/games"
  LAUNCHER="$(command -v vorlan-moto)" || fail "vorlan-moto is not on the PATH"
else
  PREFIX="$WORK/root/usr"
  LAUNCHER="$PREFIX/games/vorlan-moto"
fi
DATA_DIR="$PREFIX/share/games/vorlan-moto"
note "running $LAUNCHER"

# Run from an unrelated directory: the launcher must find the data on its own.
mkdir -p "$WORK/player"
touch "$WORK/before-run"
sleep 1
(cd "$WORK/player" && "$LAUNCHER" --headless --frames 300) >"$WORK/run.log" 2>&1 ||
  { cat "$WORK/run.log" >&2; fail "vorlan-moto --headless --frames 300 exited with $?"; }
note "vorlan-moto --headless --frames 300: exit 0"
# Relative file arguments name files where the player is, not in the data folder.
(cd "$WORK/player" && "$LAUNCHER" --headless --frames 3 --no-render --trace trace.jsonl) >"$WORK/run2.log" 2>&1 ||
  { cat "$WORK/run2.log" >&2; fail "the run with --trace failed"; }
[ -s "$WORK/player/trace.jsonl" ] || fail "--trace trace.jsonl did not write into the caller's directory"
written="$(find "$DATA_DIR" -newer "$WORK/before-run" -print)"
[ -z "$written" ] || fail "the game wrote into its data folder: $written"
note "relative paths resolve in the caller's directory; nothing written into $DATA_DIR"

if [ "$MODE" = install ]; then
  dpkg -L vorlan-moto >"$WORK/files"
  dpkg -r vorlan-moto
  if dpkg-query -W -f='${Status}' vorlan-moto 2>/dev/null | grep -q "installed"; then
    fail "vorlan-moto is still installed after dpkg -r"
  fi
  left=""
  while read -r f; do
    if [ -e "$f" ] && [ ! -d "$f" ]; then left+=" $f"; fi
  done <"$WORK/files"
  for d in /usr/lib/games/vorlan-moto /usr/share/games/vorlan-moto; do
    if [ -e "$d" ]; then left+=" $d"; fi
  done
  [ -z "$left" ] || fail "left behind after dpkg -r:$left"
  note "dpkg -r removed every file"
fi
note "OK"
