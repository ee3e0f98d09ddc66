#!/usr/bin/env bash
# Installs what building, playing and testing need, when it is missing.
# Debian 12; runs apt-get as root or through sudo.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

PACKAGES=(
  g++ cmake ninja-build pkg-config git
  libsdl2-dev libepoxy-dev libegl-dev libegl1 libegl-mesa0 libgl1-mesa-dri libgbm1
  libopenal-dev libopenal1
  libtinygltf-dev nlohmann-json3-dev libstb-dev
  libgtest-dev xvfb xauth
  fonts-dejavu-core
  clang libclang-rt-14-dev
  libcpp-httplib-dev libsqlite3-dev libpq-dev postgresql libssl-dev zlib1g-dev bubblewrap libcurl4-openssl-dev
  chromium
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
# The glTF validator runs on Node.js; a machine that has node and npm already keeps them.
if ! command -v npm >/dev/null 2>&1; then
  missing+=(nodejs npm)
fi

# apt and dpkg lock these files while they work; another install or an
# automatic update may hold them for a while.
APT_LOCKS=(/var/lib/dpkg/lock-frontend /var/lib/dpkg/lock /var/lib/apt/lists/lock /var/cache/apt/archives/lock)
LOCK_WAIT=600

# True while a process holds one of the locks (read from /proc/locks, which
# needs no extra tool on a clean machine).
apt_locked() {
  local inodes=() f fields
  for f in "${APT_LOCKS[@]}"; do
    [ -e "$f" ] && inodes+=("$(stat -c %i "$f")")
  done
  [ ${#inodes[@]} -gt 0 ] || return 1
  while read -r -a fields; do
    # "1: POSIX ADVISORY WRITE PID MAJ:MIN:INODE START END"; blocked waiters start with "->".
    [ "${fields[1]}" = "->" ] && continue
    local inode="${fields[5]##*:}"
    for f in "${inodes[@]}"; do
      [ "$inode" = "$f" ] && return 0
    done
  done </proc/locks
  return 1
}

wait_for_apt() {
  local waited=0
  if apt_locked; then
    echo "bootstrap: waiting for the package manager (held by another install)..."
    while apt_locked && [ $waited -lt $LOCK_WAIT ]; do
      sleep 5
      waited=$((waited + 5))
      if [ $((waited % 60)) -eq 0 ]; then echo "bootstrap: still waiting for the package manager (${waited}s)"; fi
    done
    if apt_locked; then echo "bootstrap: the package manager is still busy after ${LOCK_WAIT}s; trying anyway"; fi
  fi
}

if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  # apt itself also waits for its locks (for a lock taken between our check and its start).
  APT=(env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=$LOCK_WAIT)
  echo "bootstrap: installing ${missing[*]}"
  wait_for_apt
  $SUDO "${APT[@]}" update -q
  wait_for_apt
  $SUDO "${APT[@]}" install -y -q --no-install-recommends "${missing[@]}"
fi

# Khronos glTF validator for the content checks, kept inside the project.
if [ ! -x "$ROOT/.tools/npm/node_modules/.bin/gltf_validator" ] && [ ! -f "$ROOT/.tools/npm/node_modules/gltf-validator/package.json" ]; then
  echo "bootstrap: installing the glTF validator"
  npm install --silent --no-audit --no-fund --prefix "$ROOT/.tools/npm" gltf-validator@2.0.0-dev.3.10 >/dev/null
fi
