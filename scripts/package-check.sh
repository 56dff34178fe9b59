#!/usr/bin/env bash
# Checks that pellwick installs like a desktop program, on <build> (default
# build-release; scripts/test.sh passes its own build folder):
#   - builds the Debian packages (scripts/package.sh);
#   - installs the build into a scratch folder: the program is its only executable (no
#     test tool), runs there (--version names the build's version; --help) and neither
#     it nor the library carries an RPATH;
#   - validates the installed .desktop file and AppStream metainfo, finds every icon;
#   - runs lintian on the packages (fails on errors and warnings) and lets apt resolve
#     installing pellwick and libtessary<N> on a system with nothing installed yet
#     (simulated), as on a fresh Debian;
#   - builds tessary as its own project (cmake -S crmclient, in <build>/tessary-alone),
#     runs its unit tests and its install check, which builds programs against the
#     installed library with find_package and with pkg-config.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-release}
start=$SECONDS
fail() { echo "package-check: $*" >&2; exit 1; }
step() { echo "== $* (at $((SECONDS - start)) s)"; }
"$root/scripts/package.sh" "$build"

debs=("$build"/packages/*.deb)
version=$(dpkg-deb -f "$build"/packages/pellwick_*.deb Version)
libdir=$(cmake -N -LA "$build" | sed -n "s/^CMAKE_INSTALL_LIBDIR:PATH=//p")
scratch="$build/package-check"
prefix="$scratch/root/usr"
rm -rf "$scratch"
mkdir -p "$scratch"
DESTDIR="$scratch/root" cmake --install "$build" >"$scratch/install.log"

step "The installed program"
executables=$(cd "$scratch/root" && find . -type f -perm -u+x | sort)
[ "$executables" = "./usr/bin/pellwick" ] ||
    fail "the install tree must hold the program alone as executable, holds: $executables"
run() { QT_QPA_PLATFORM=offscreen LD_LIBRARY_PATH="$prefix/$libdir" "$prefix/bin/pellwick" "$@"; }
shown=$(run --version)
echo "$shown"
[ "$shown" = "Pellwick $version" ] || fail "--version says '$shown', expected 'Pellwick $version'"
run --help | grep -q -- "--version" || fail "--help does not list --version"
for binary in "$prefix/bin/pellwick" "$prefix/$libdir"/libtessary.so.*.*; do
    if readelf -d "$binary" | grep -qE "RPATH|RUNPATH"; then fail "$binary has an RPATH"; fi
done

step "Desktop file, AppStream metainfo, icons"
desktop=$(ls "$prefix"/share/applications/*.desktop)
desktop-file-validate "$desktop"
appstreamcli validate-tree --no-net "$scratch/root"
icon=$(sed -n 's/^Icon=//p' "$desktop")
icons=(scalable/apps/$icon.svg)
for size in 16 22 24 32 48 64 128 256; do icons+=("${size}x$size/apps/$icon.png"); done
for file in "${icons[@]}"; do
    [ -f "$prefix/share/icons/hicolor/$file" ] || fail "icon missing: $file"
done

step "Debian packages"
for deb in "${debs[@]}"; do
    dpkg-deb -f "$deb" Package Version Depends
done
lintian --fail-on error,warning --display-info "${debs[@]}"
# An empty dpkg status: apt must find every dependency in Debian's archive, as on a
# machine where nothing of ours (Qt, libcurl, ...) is installed yet.
ls /var/lib/apt/lists/*_Packages* >/dev/null 2>&1 || apt-get update -qq
: >"$scratch/empty-status"
apt-get install --simulate -q -o Dir::State::status="$scratch/empty-status" \
    "$build"/packages/pellwick_*.deb "$build"/packages/libtessary[0-9]*_*.deb \
    >"$scratch/apt-simulate.log" 2>&1 ||
    { cat "$scratch/apt-simulate.log"; fail "apt cannot install the packages"; }
grep -E "^Inst (pellwick|libtessary)" "$scratch/apt-simulate.log"

step "tessary as its own project (cmake -S crmclient)"
# Checks the project's build, test and install rules, not its code (the test build did
# that): no optimisation and no debug information keep this second compile short.
alone="$build/tessary-alone"
cmake -S "$root/crmclient" -B "$alone" -DCMAKE_BUILD_TYPE= >/dev/null
cmake --build "$alone" -j2 >"$scratch/tessary-alone-build.log" ||
    { tail -40 "$scratch/tessary-alone-build.log"; fail "tessary alone does not build"; }
ctest --test-dir "$alone" -j2 --timeout 300 --output-on-failure >"$scratch/tessary-alone-test.log" ||
    { cat "$scratch/tessary-alone-test.log"; fail "tessary alone: tests failed"; }
grep "tests passed" "$scratch/tessary-alone-test.log"

echo "package-check: all passed in $((SECONDS - start)) s"
