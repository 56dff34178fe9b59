#!/usr/bin/env bash
# Runs every test: installs what is missing, builds with -j2, then runs ctest
# headless (offscreen Qt, a private D-Bus session bus). Exit code is ctest's.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh"
build=${PELLWICK_BUILD_DIR:-$root/build}
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPELLWICK_BUILD_TESTS=ON
cmake --build "$build" -j2
export QT_QPA_PLATFORM=offscreen
# Never let a test reach the user's real settings.
export XDG_CONFIG_HOME="$build/test-home/config" HOME="$build/test-home"
mkdir -p "$XDG_CONFIG_HOME"
dbus-run-session -- ctest --test-dir "$build" --output-on-failure -j2 --timeout 300 "$@"
