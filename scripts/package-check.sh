#!/usr/bin/env bash
# Checks that pellwick installs like a desktop program, on <build> (default
# build-release; scripts/test.sh passes its own build folder):
#   - builds the Debian packages (scripts/package.sh);
#   - installs the build into a scratch folder and runs the installed program there
#     (--version must name the build's version; --help), with no RPATH in the binaries;
#   - validates the installed .desktop file and AppStream metainfo, and finds the icon;
#   - runs lintian on the packages (fails on errors and warnings) and lets apt resolve
#     installing them (simulated);
#   - builds and runs a program against the installed libtessary (find_package).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-release}
start=$SECONDS
"$root/scripts/package.sh" "$build"

debs=("$build"/packages/*.deb)
version=$(dpkg-deb -f "$build"/packages/pellwick_*.deb Version)
libdir=$(cmake -N -LA "$build" | sed -n "s/^CMAKE_INSTALL_LIBDIR:PATH=//p")
scratch="$build/package-check"
prefix="$scratch/root/usr"
rm -rf "$scratch"
DESTDIR="$scratch/root" cmake --install "$build" >/dev/null
fail() { echo "package-check: $*" >&2; exit 1; }

echo "== The installed program"
run() { QT_QPA_PLATFORM=offscreen LD_LIBRARY_PATH="$prefix/$libdir" "$prefix/bin/pellwick" "$@"; }
shown=$(run --version)
echo "$shown"
[ "$shown" = "Pellwick $version" ] || fail "--version says '$shown', expected 'Pellwick $version'"
run --help | grep -q -- "--version" || fail "--help does not list --version"
for binary in "$prefix/bin/pellwick" "$prefix/$libdir"/libtessary.so.*.*; do
    if readelf -d "$binary" | grep -qE "RPATH|RUNPATH"; then fail "$binary has an RPATH"; fi
done

echo "== Desktop file, AppStream metainfo, icon"
desktop=$(ls "$prefix"/share/applications/*.desktop)
desktop-file-validate "$desktop"
appstreamcli validate-tree --no-net "$scratch/root"
icon=$(sed -n 's/^Icon=//p' "$desktop")
# Every application icon has a 48x48 one (icon theme specification) and ours a scalable.
for file in scalable/apps/$icon.svg 48x48/apps/$icon.png; do
    [ -f "$prefix/share/icons/hicolor/$file" ] || fail "icon missing: $file"
done

echo "== Debian packages"
for deb in "${debs[@]}"; do
    dpkg-deb -f "$deb" Package Version Depends
done
lintian --fail-on error,warning --display-info "${debs[@]}"
apt-get install --simulate -q "${debs[@]}" >"$scratch/apt-simulate.log" 2>&1 ||
    { cat "$scratch/apt-simulate.log"; fail "apt cannot install the packages"; }

echo "== A program built against the installed libtessary"
cmake -S "$root/crmclient/tests/package/consumer" -B "$scratch/consumer" \
      -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$scratch/consumer" >/dev/null
"$scratch/consumer/consumer"

echo "package-check: all passed in $((SECONDS - start)) s"
