#!/usr/bin/env bash
# Builds the Debian packages pellwick, libtessary<N> and libtessary-dev with CPack into
# <build>/packages/ and lists them. <build> (default build-release) is configured for the
# /usr prefix; a new one is a RelWithDebInfo build without tests, hardened with Debian's
# build flags (dpkg-buildflags). scripts/package-check.sh passes the test build instead.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh"
build=${1:-$root/build-release}

args=(-DCMAKE_INSTALL_PREFIX=/usr)
if [ ! -f "$build/CMakeCache.txt" ]; then
    flags() { DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get "$1"; }
    args+=(-DPELLWICK_BUILD_TESTS=OFF
           "-DCMAKE_CXX_FLAGS=$(flags CXXFLAGS) $(flags CPPFLAGS)"
           "-DCMAKE_EXE_LINKER_FLAGS=$(flags LDFLAGS)"
           "-DCMAKE_SHARED_LINKER_FLAGS=$(flags LDFLAGS)")
fi
cmake -S "$root" -B "$build" "${args[@]}" >/dev/null
# Only what the packages hold: the program (with the library) and the desktop files.
cmake --build "$build" -j2 --target pellwick pellwick_desktop_files
rm -rf "$build/packages"
(cd "$build" && cpack -G DEB -B "$build/packages" >/dev/null)
ls "$build"/packages/*.deb
