#!/usr/bin/env bash
# Draws the three bikes' paths of a game trace over the course map:
#   scripts/path-map.sh TRACE OUT.png [BUILD_DIR]
# and prints, per bike, its race frames, share on the road, laps and wall hits.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
[ $# -ge 2 ] || { echo "usage: $0 TRACE OUT.png [BUILD_DIR]" >&2; exit 2; }
BUILD="${3:-$ROOT/build}"
exec "$BUILD/vorlan-pathmap" "$1" "$2" "$BUILD/course-map.png"
