#!/usr/bin/env bash
# Builds the .debs and checks them as a player and a server's owner get them:
# the declared dependencies cover what the game, the tools and the server link,
# the desktop entry validates, lintian finds no error or warning, the licence,
# changelog, AppStream metadata and manual pages are there and valid, the
# installed launcher runs the game from any directory without writing into
# the data folder, the installed verifier verifies every kept race, the
# server's systemd unit verifies, the installed server (as an unprivileged
# user, as its unit runs it) verifies a race in its sandbox and draws its
# path, and purging the packages leaves nothing behind.
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
TOOLS_DEB="$(grep '/vorlan-moto-tools_[^/]*\.deb$' <<<"$PACKAGES" || true)"
SERVER_DEB="$(grep '/vorlan-moto-server_[^/]*\.deb$' <<<"$PACKAGES" || true)"
[ -f "$DEB" ] || fail "no package was built"
[ -f "$DATA_DEB" ] || fail "no data package was built"
[ -f "$TOOLS_DEB" ] || fail "no tools package was built"
[ -f "$SERVER_DEB" ] || fail "no server package was built"
ALL_DEBS=("$DATA_DEB" "$TOOLS_DEB" "$SERVER_DEB" "$DEB")
ALL_PACKAGES=(vorlan-moto vorlan-moto-data vorlan-moto-tools vorlan-moto-server)
note "packages ${ALL_DEBS[*]}"
WORK="$(mktemp -d)"
# The server's unprivileged user reaches its data folder in here.
chmod 711 "$WORK"
SERVER_PID=""
cleanup() {
  if [ -n "$SERVER_PID" ]; then kill "$SERVER_PID" 2>/dev/null || true; fi
  rm -rf "$WORK"
}
trap cleanup EXIT

for deb in "${ALL_DEBS[@]}"; do dpkg -x "$deb" "$WORK/root"; done
# Every library a program links must come from a package its .deb depends on.
check_links() {
  local bin="$1" deb="$2" depends names resolved soname path owner candidate
  [ -x "$bin" ] || fail "$(basename "$deb") has no ${bin#"$WORK/root"}"
  depends="$(dpkg-deb -f "$deb" Depends)"
  note "$(dpkg-deb -f "$deb" Package) Depends: $depends"
  names="$(tr ',|' '\n\n' <<<"$depends" | sed 's/(.*//; s/[[:space:]]//g')"
  resolved="$(ldd "$bin")"
  for soname in $(objdump -p "$bin" | awk '$1 == "NEEDED" { print $2 }'); do
    path="$(awk -v s="$soname" '$1 == s && $2 == "=>" { print $3 }' <<<"$resolved")"
    [ "${path#/}" != "$path" ] || fail "$soname does not resolve here"
    owner=""
    for candidate in "$path" "/usr$path" "${path#/usr}" "$(readlink -f "$path")"; do
      owner="$(dpkg -S "$candidate" 2>/dev/null | head -n 1 | cut -d: -f1)" && [ -n "$owner" ] && break
    done
    [ -n "$owner" ] || fail "no Debian package owns $path ($soname)"
    if ! grep -qxF "$owner" <<<"$names"; then
      fail "$(basename "$bin") links $soname from $owner, which Depends does not name"
    fi
    note "$(basename "$bin") links $soname from $owner: declared"
  done
}
GAME_BIN="$WORK/root/usr/lib/games/vorlan-moto/vorlan"
check_links "$GAME_BIN" "$DEB"
check_links "$WORK/root/usr/games/vorlan-moto-verify" "$TOOLS_DEB"
check_links "$WORK/root/usr/games/vorlan-moto-course" "$TOOLS_DEB"
check_links "$WORK/root/usr/sbin/vorlan-moto-server" "$SERVER_DEB"
dpkg-deb -f "$SERVER_DEB" Depends | grep -q 'bubblewrap' || fail "the server package does not depend on bubblewrap"

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
lintian --fail-on none --show-overrides --tag-display-limit 0 "${ALL_DEBS[@]}" >"$WORK/lintian.log" 2>&1 ||
  { cat "$WORK/lintian.log" >&2; fail "lintian did not run"; }
if grep -qE '^[EW]: ' "$WORK/lintian.log"; then
  cat "$WORK/lintian.log" >&2
  fail "lintian reports errors or warnings"
fi
grep -E '^[EWIO]: ' "$WORK/lintian.log" | sed 's/^/check-package: lintian: /' || true
note "lintian: no error or warning that is not overridden"

# The licence and the changelog as each package ships them.
sed -n '/^Permission/,$p' "$ROOT/LICENSE" >"$WORK/license"
for package in "${ALL_PACKAGES[@]}"; do
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
SERVER_PAGE="$WORK/root/usr/share/man/man8/vorlan-moto-server.8.gz"
[ -f "$SERVER_PAGE" ] || fail "the server package has no manual page"
MANWIDTH=200 man --warnings -l "$SERVER_PAGE" >"$WORK/man8.txt" 2>"$WORK/man8.err" || fail "man -l fails on the server's page"
[ ! -s "$WORK/man8.err" ] || { cat "$WORK/man8.err" >&2; fail "man -l warns about the server's page"; }
for option in $("$WORK/root/usr/sbin/vorlan-moto-server" --help | sed -n 's/^  \(--[a-z0-9-]*\).*/\1/p'); do
  grep -qE "^ +$option( |$)" "$WORK/man8.txt" || fail "the server's page does not list $option"
done
for tool in vorlan-moto-verify vorlan-moto-course; do
  MANWIDTH=200 man --warnings -l -M "$WORK/root/usr/share/man" "$WORK/root/usr/share/man/man6/$tool.6.gz" \
    >/dev/null 2>"$WORK/man6.err" || fail "man -l fails on $tool's page"
  [ ! -s "$WORK/man6.err" ] || { cat "$WORK/man6.err" >&2; fail "man -l warns about $tool's page"; }
done
note "the server's and the tools' manual pages render; the server's lists every option of --help"

# The unit as the brief of a public service asks: its own user, a state
# folder, the system read-only; and nothing that would stop bwrap making the
# sandbox's namespaces or its /proc.
UNIT="$WORK/root/usr/lib/systemd/system/vorlan-moto-server.service"
[ -f "$UNIT" ] || fail "the server package has no systemd unit"
for setting in DynamicUser=yes StateDirectory=vorlan-moto-server ProtectSystem=strict NoNewPrivileges=yes \
  PrivateTmp=yes ProtectHome=yes Restart=on-failure; do
  grep -qx "$setting" "$UNIT" || fail "the unit lacks $setting"
done
for setting in RestrictNamespaces SystemCallFilter PrivateUsers ProtectKernelTunables ProtectKernelLogs ProtectProc ProcSubset; do
  if grep -q "^$setting=" "$UNIT"; then fail "the unit sets $setting, which keeps bwrap from making the sandbox"; fi
done
note "the unit has its own user, state folder and protections, and lets bwrap make its sandbox"

if [ "$MODE" = install ]; then
  for package in "${ALL_PACKAGES[@]}"; do
    if dpkg-query -W -f='${Status}' $package 2>/dev/null | grep -q "ok installed"; then
      fail "$package is installed already; remove it first (dpkg --purge ${ALL_PACKAGES[*]})"
    fi
  done
  # dpkg -i does not fetch dependencies; apt completes them if the machine lacks some.
  dpkg -i "${ALL_DEBS[@]}" || env DEBIAN_FRONTEND=noninteractive apt-get install -y -q -f
  for package in "${ALL_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' $package | grep -q "ok installed" || fail "dpkg -i did not install $package"
  done
  PREFIX=/usr
  # Debian puts /usr/games on the PATH of players, not of root.
  export PATH="$PATH:/usr/games"
  LAUNCHER="$(command -v vorlan-moto)" || fail "vorlan-moto is not on the PATH"
  # With no systemd running it still reads the unit and checks what it names.
  if command -v systemd-analyze >/dev/null 2>&1; then
    systemd-analyze verify /usr/lib/systemd/system/vorlan-moto-server.service >"$WORK/analyze.log" 2>&1 ||
      { cat "$WORK/analyze.log" >&2; fail "systemd-analyze verify rejects the unit"; }
    note "systemd-analyze verify: the unit is valid"
  else
    note "systemd-analyze not available; the unit is not verified"
  fi
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

# The installed server, started by hand as its unit would run it: as a user
# that is not root (nobody, when this runs as root), without new privileges
# or capabilities, on a loopback port, its folder a temporary one. A player
# registers and sends a race; it is verified in the sandbox and its path drawn.
have_tool curl curl || fail "curl is needed (apt-get install curl)"
SERVER_BIN="$PREFIX/sbin/vorlan-moto-server"
SERVER_DATA="$WORK/server-data"
mkdir -p "$SERVER_DATA"
AS_USER=()
if [ "$(id -u)" -eq 0 ]; then
  chown nobody:nogroup "$SERVER_DATA"
  AS_USER=(setpriv --reuid=nobody --regid=nogroup --clear-groups --no-new-privs --bounding-set=-all --)
fi
"${AS_USER[@]}" "$SERVER_BIN" --listen 127.0.0.1:0 --data "$SERVER_DATA" --workers 1 \
  >"$WORK/server.out" 2>"$WORK/server.log" &
SERVER_PID=$!
for _ in $(seq 100); do
  grep -q 'listening on' "$WORK/server.out" 2>/dev/null && break
  kill -0 "$SERVER_PID" 2>/dev/null || break
  sleep 0.1
done
grep -q 'listening on' "$WORK/server.out" || { cat "$WORK/server.log" >&2; fail "the installed server did not start"; }
URL="http://$(sed -n 's/^listening on //p' "$WORK/server.out")"
TOKEN="$(curl -sf -X POST -d '{"name":"PackageCheck"}' "$URL/api/v1/players" | sed -n 's/.*"token":"\([0-9a-f]*\)".*/\1/p')"
[ -n "$TOKEN" ] || fail "the installed server did not register a player"
RUN_ID="$(curl -sf -X POST -H "Authorization: Bearer $TOKEN" --data-binary @"$ROOT/tests/data/runs/canyon-clean.run" \
  "$URL/api/v1/runs" | sed -n 's/.*"id":\([0-9]*\).*/\1/p')"
[ -n "$RUN_ID" ] || fail "the installed server did not take the race file"
status=pending
for _ in $(seq 120); do
  status="$(curl -sf "$URL/api/v1/runs/$RUN_ID" | sed -n 's/.*"status":"\([a-z]*\)".*/\1/p')"
  [ "$status" = pending ] || break
  sleep 0.25
done
[ "$status" = verified ] || { cat "$WORK/server.log" >&2; fail "the installed server's verdict is '$status', not verified"; }
picture=""
for _ in $(seq 80); do
  picture="$(curl -s -o "$WORK/path.png" -w '%{http_code} %{content_type}' "$URL/runs/$RUN_ID/path.png")"
  [ "$picture" = "200 image/png" ] && break
  sleep 0.25
done
[ "$picture" = "200 image/png" ] && [ "$(head -c 4 "$WORK/path.png" | tail -c 3)" = PNG ] ||
  { cat "$WORK/server.log" >&2; fail "the installed server drew no path for run $RUN_ID ($picture)"; }
kill -TERM "$SERVER_PID"
server_status=0
wait "$SERVER_PID" || server_status=$?
SERVER_PID=""
[ "$server_status" -eq 0 ] || { cat "$WORK/server.log" >&2; fail "the installed server exited with $server_status after SIGTERM"; }
note "vorlan-moto-server as $("${AS_USER[@]}" id -un): run $RUN_ID verified in the sandbox, its path drawn; stopped"

if [ "$MODE" = install ]; then
  dpkg -L "${ALL_PACKAGES[@]}" >"$WORK/files"
  dpkg --purge "${ALL_PACKAGES[@]}"
  for package in "${ALL_PACKAGES[@]}"; do
    if dpkg-query -W -f='${Status}' $package 2>/dev/null | grep -q "installed"; then
      fail "$package is still installed after dpkg --purge"
    fi
  done
  left=""
  while read -r f; do
    if [ -e "$f" ] && [ ! -d "$f" ]; then left+=" $f"; fi
  done <"$WORK/files"
  for d in /usr/lib/games/vorlan-moto /usr/share/games/vorlan-moto; do
    if [ -e "$d" ]; then left+=" $d"; fi
  done
  [ -z "$left" ] || fail "left behind after dpkg --purge:$left"
  note "dpkg --purge removed every file"
fi
note "OK"
