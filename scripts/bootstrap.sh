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

if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  echo "bootstrap: installing ${missing[*]}"
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get update -q
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# Khronos glTF validator for the content checks, kept inside the project.
if [ ! -x "$ROOT/.tools/npm/node_modules/.bin/gltf_validator" ] && [ ! -f "$ROOT/.tools/npm/node_modules/gltf-validator/package.json" ]; then
  echo "bootstrap: installing the glTF validator"
  npm install --silent --no-audit --no-fund --prefix "$ROOT/.tools/npm" gltf-validator@2.0.0-dev.3.10 >/dev/null
fi
