#!/usr/bin/env bash
# Builds the .deb and checks it as a player gets it: the declared dependencies
# cover what the game links, the desktop entry validates, lintian finds no error
# or warning, the licence, changelog, AppStream metadata and manual page are
# there and valid, the installed launcher
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

PACKAGES="$("$ROOT/scripts/package.sh")"
DEB="$(tail -n 1 <<<"$PACKAGES")"
DATA_DEB="$(grep '/vorlan-moto-data_[^/]*_all\.deb$' <<<"$PACKAGES" || true)"
[ -f "$DEB" ] || fail "no package was built"
[ -f "$DATA_DEB" ] || fail "no data package was built"
note "packages $DEB $DATA_DEB"
WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT

# Every library the game links must come from a package the .deb depends on.
dpkg -x "$DEB" "$WORK/root"
dpkg -x "$DATA_DEB" "$WORK/root"
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

# Installs the package that brings a checking tool when the tool is missing
# (as root, or through sudo without a password); true when the tool is there.
have_tool() {
  command -v "$1" >/dev/null 2>&1 && return 0
  local apt=(env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600)
  if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null 2>&1 && sudo -n true 2>/dev/null || return 1
    apt=(sudo "${apt[@]}")
  fi
  note "installing $2 for $1"
  "${apt[@]}" install -y -q --no-install-recommends "$2" >/dev/null ||
    { "${apt[@]}" update -q >/dev/null && "${apt[@]}" install -y -q --no-install-recommends "$2" >/dev/null; } || true
  command -v "$1" >/dev/null 2>&1
}

# The desktop entry, validated by the freedesktop.org tool when it can be had.
have_tool desktop-file-validate desktop-file-utils || true
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

# Debian's own package checks: any error or warning that the package does not
# override (with its reason) fails.
have_tool lintian lintian || fail "lintian is needed (apt-get install lintian)"
# (lintian's own --fail-on counts shown overrides too, so its report is read instead.)
lintian --fail-on none --show-overrides --tag-display-limit 0 "$DEB" "$DATA_DEB" >"$WORK/lintian.log" 2>&1 ||
  { cat "$WORK/lintian.log" >&2; fail "lintian did not run"; }
if grep -qE '^[EW]: ' "$WORK/lintian.log"; then
  cat "$WORK/lintian.log" >&2
  fail "lintian reports errors or warnings"
fi
grep -E '^[EWIO]: ' "$WORK/lintian.log" | sed 's/^/check-package: lintian: /' || true
note "lintian: no error or warning that is not overridden"

# The licence and the changelog as each package ships them.
sed -n '/^Permission/,$p' "$ROOT/LICENSE" >"$WORK/license"
for package in vorlan-moto vorlan-moto-data; do
  DOC="$WORK/root/usr/share/doc/$package"
  [ -f "$DOC/copyright" ] || fail "$package has no copyright file"
  # The stand-alone paragraph that starts with "License: Expat", unfolded.
  awk 'BEGIN { RS = "" } $0 ~ /^License: Expat\n/ { print }' "$DOC/copyright" |
    sed '1d; s/^ //; s/^\.$//' >"$WORK/license-in-package"
  diff -u "$WORK/license" "$WORK/license-in-package" >&2 || fail "$package: the copyright file's Expat text differs from LICENSE"
  [ -f "$DOC/changelog.gz" ] || fail "$package has no changelog.gz"
  gzip -dc "$DOC/changelog.gz" >"$WORK/changelog"
  CHANGELOG_VERSION="$(dpkg-parsechangelog -l "$WORK/changelog" -S Version)"
  [ "$CHANGELOG_VERSION" = "$(dpkg-deb -f "$DEB" Version)" ] ||
    fail "$package: the changelog's newest version $CHANGELOG_VERSION is not the package's"
  note "$package: copyright file carries LICENSE; changelog.gz's newest entry is $CHANGELOG_VERSION"
done

# The AppStream metadata, which software centres list the game from.
have_tool appstreamcli appstream || fail "appstreamcli is needed (apt-get install appstream)"
METAINFO=("$WORK"/root/usr/share/metainfo/*.metainfo.xml)
[ ${#METAINFO[@]} -eq 1 ] && [ -f "${METAINFO[0]}" ] || fail "the package needs exactly one metainfo file"
appstreamcli validate --no-net "${METAINFO[0]}" || fail "appstreamcli rejects ${METAINFO[0]##*/}"
launchable="$(sed -n 's|.*<launchable type="desktop-id">\(.*\)</launchable>.*|\1|p' "${METAINFO[0]}")"
[ -f "$WORK/root/usr/share/applications/$launchable" ] || fail "the metainfo launches '$launchable', which is not in the package"
note "metainfo ${METAINFO[0]##*/} validates"

# The manual page renders without a warning and lists every option of --help.
have_tool man man-db || fail "man is needed (apt-get install man-db)"
PAGE="$WORK/root/usr/share/man/man6/vorlan-moto.6.gz"
[ -f "$PAGE" ] || fail "the package has no manual page"
MANWIDTH=200 man --warnings -l "$PAGE" >"$WORK/man.txt" 2>"$WORK/man.err" || fail "man -l fails on the manual page"
[ ! -s "$WORK/man.err" ] || { cat "$WORK/man.err" >&2; fail "man -l warns about the manual page"; }
for option in $("$GAME_BIN" --help | sed -n 's/^  \(--[a-z0-9-]*\).*/\1/p'); do
  grep -qE "^ +$option( |$)" "$WORK/man.txt" || fail "the manual page does not list $option"
done
note "manual page renders and lists every option of --help"

if [ "$MODE" = install ]; then
  for package in vorlan-moto vorlan-moto-data; do
    if dpkg-query -W -f='${Status}' $package 2>/dev/null | grep -q "ok installed"; then
      fail "$package is installed already; remove it first (dpkg -r vorlan-moto vorlan-moto-data)"
    fi
  done
  # dpkg -i does not fetch dependencies; apt completes them if the machine lacks some.
  dpkg -i "$DATA_DEB" "$DEB" || env DEBIAN_FRONTEND=noninteractive apt-get install -y -q -f
  for package in vorlan-moto vorlan-moto-data; do
    dpkg-query -W -f='${Status}' $package | grep -q "ok installed" || fail "dpkg -i did not install $package"
  done
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

# The installed verifier, built as the package builds it, verifies every kept
# race file to the state hashes the file holds.
VERIFY="$(dirname "$LAUNCHER")/vorlan-moto-verify"
[ -x "$VERIFY" ] || fail "vorlan-moto-verify is not installed beside the launcher"
count=0
for run in "$ROOT"/tests/data/runs/*.run; do
  (cd "$WORK/player" && "$VERIFY" "$run") >"$WORK/verify.json" 2>&1 ||
    { cat "$WORK/verify.json" >&2; fail "the installed vorlan-moto-verify did not verify $(basename "$run")"; }
  count=$((count + 1))
done
[ "$count" -ge 20 ] || fail "only $count race files in tests/data/runs"
note "vorlan-moto-verify: $count race files verified"

if [ "$MODE" = install ]; then
  dpkg -L vorlan-moto vorlan-moto-data >"$WORK/files"
  dpkg -r vorlan-moto vorlan-moto-data
  for package in vorlan-moto vorlan-moto-data; do
    if dpkg-query -W -f='${Status}' $package 2>/dev/null | grep -q "installed"; then
      fail "$package is still installed after dpkg -r"
    fi
  done
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
