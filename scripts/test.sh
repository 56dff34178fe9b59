#!/usr/bin/env bash
# Runs every test: installs what is missing, builds with -j2, runs ctest headless
# (offscreen Qt, a private D-Bus session bus, a private HOME), checks the install tree and
# the Debian packages made from that build (scripts/package-check.sh), then builds and
# runs the same suite again with AddressSanitizer and UndefinedBehaviorSanitizer.
# Extra arguments go to ctest (e.g. -L unit). PELLWICK_SKIP_PACKAGING=1 skips the
# packaging check, PELLWICK_SKIP_SANITIZE=1 the second pass. Exit code: non-zero when
# any test of either pass or the packaging check failed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh"
build=${PELLWICK_BUILD_DIR:-$root/build}

export QT_QPA_PLATFORM=offscreen
# Never let a test reach the user's real settings or files.
export HOME="$build/test-home" XDG_CONFIG_HOME="$build/test-home/config"
export XDG_RUNTIME_DIR="$build/test-home/runtime"
mkdir -p "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"

run_suite() { # build folder, cmake options...
    local dir=$1; shift
    # errexit does not apply inside a function called with ||, so every step checks.
    cmake -S "$root" -B "$dir" -DPELLWICK_BUILD_TESTS=ON "$@" || return 1
    cmake --build "$dir" -j2 || return 1
    dbus-run-session -- ctest --test-dir "$dir" --output-on-failure -j2 --timeout 300 "${ctest_args[@]}"
}

ctest_args=("$@")
status=0
echo "== Tests (RelWithDebInfo build in $build)"
# Prefix /usr: the packages made from this build install there.
run_suite "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr || status=1
if [ -z "${PELLWICK_SKIP_PACKAGING:-}" ]; then
    echo "== Install tree and Debian packages (scripts/package-check.sh on $build)"
    "$root/scripts/package-check.sh" "$build" || status=1
fi

if [ -z "${PELLWICK_SKIP_SANITIZE:-}" ]; then
    echo "== Tests again under AddressSanitizer + UndefinedBehaviorSanitizer (${build}-asan)"
    export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1
    run_suite "${build}-asan" -DCMAKE_BUILD_TYPE=Debug -DPELLWICK_SANITIZE=ON || status=1
fi
echo "== Fuzzing tessary (scripts/fuzz.sh: about 30 s per target, needs clang)"
"$root/scripts/fuzz.sh" || status=1
exit $status
