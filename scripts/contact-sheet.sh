#!/usr/bin/env bash
# Renders every model of the generated content through the game's own model
# program and lights, and lays them out on one sheet: BUILD/contact-sheet.png.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${1:-$ROOT/build}"
OUT="$BUILD/contact-sheet"
mkdir -p "$OUT"
cd "$BUILD"
pictures=()
while IFS= read -r model; do
  name="$(echo "${model#Data/}" | tr '/' '_')"
  png="$OUT/${name%.gltf}.png"
  ./vorlan-modelinfo --render "$png" --yaw 35 "$model" >/dev/null
  pictures+=("$png")
done < <(find Data -name '*.gltf' | sort)
./vorlan-contactsheet "$BUILD/contact-sheet.png" 4 "${pictures[@]}"
echo "$BUILD/contact-sheet.png"
