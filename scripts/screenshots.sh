#!/usr/bin/env bash
# Renders each window of pellwick to a PNG (offscreen; never touches real settings).
# Usage: scripts/screenshots.sh [folder]   (default: docs/screenshots)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${PELLWICK_BUILD_DIR:-$root/build}
out=${1:-$root/docs/screenshots}
"$root/scripts/deps.sh"
# Configure once; build the renderer every time, so the pictures show the current windows.
[ -f "$build/CMakeCache.txt" ] || cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 --target pellwick_screenshots >/dev/null
mkdir -p "$out"
QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} "$build/tools/pellwick_screenshots" "$out"
ls "$out"/*.png
