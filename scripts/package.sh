#!/usr/bin/env bash
# Builds the release configuration and packs it into four .debs: the game, its
# data (vorlan-moto-data), the verifier and course maker (vorlan-moto-tools) and
# the leaderboard (vorlan-moto-server); prints their paths, the game's last.
# The package build lives in build-package/ (tests off) so it leaves build/ as it is.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${VORLAN_PACKAGE_BUILD_DIR:-$ROOT/build-package}"

"$ROOT/scripts/bootstrap.sh" >&2
# CPack's .deb generator reads the executable with file(1) and declares its
# libraries through dpkg-shlibdeps (dpkg-dev).
need=()
command -v file >/dev/null 2>&1 || need+=(file)
command -v dpkg-shlibdeps >/dev/null 2>&1 || need+=(dpkg-dev)
if [ ${#need[@]} -gt 0 ]; then
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  echo "package: installing ${need[*]}" >&2
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get update -q >&2
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${need[@]}" >&2
fi

cd "$ROOT"
# Debian's hardening flags (as dpkg-buildflags gives them): checked libc calls,
# stack protector, relocations read-only and bound at start.
HARDENING="-D_FORTIFY_SOURCE=2 -fstack-protector-strong -Wformat -Werror=format-security"
nice -n 10 cmake --preset release -B "$BUILD" -DVORLAN_BUILD_TESTS=OFF \
  -DCMAKE_C_FLAGS="$HARDENING" -DCMAKE_CXX_FLAGS="$HARDENING" \
  -DCMAKE_EXE_LINKER_FLAGS="-Wl,-z,relro -Wl,-z,now" >&2
nice -n 10 cmake --build "$BUILD" >&2
# Older packages of the same name would otherwise be reported too.
rm -f "$BUILD"/vorlan-moto_*.deb "$BUILD"/vorlan-moto-{data,tools,server}_*.deb
(cd "$BUILD" && nice -n 10 cpack -G DEB >&2)
ls "$BUILD"/vorlan-moto-data_*.deb "$BUILD"/vorlan-moto-tools_*.deb "$BUILD"/vorlan-moto-server_*.deb "$BUILD"/vorlan-moto_*.deb
