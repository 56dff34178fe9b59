#!/usr/bin/env bash
# Installs the Debian packages the build, the demo and the tests need, when missing.
#   build: cmake, g++, make, Qt 6, libcurl, pugixml, GoogleTest, Google Benchmark, nlohmann-json,
#          simdjson
#   tests: python3 (the CRM sandbox), openssl (its certificates), dbus (dbus-run-session and
#          dbus-send), pkg-config (the library's packaging test), clang (fuzz targets),
#          clang-format (style test), git (style test lists the tracked files)
#   demo:  xvfb and xauth (xvfb-run, for a virtual display)
#   packages: librsvg2-bin (the icon's PNG sizes), dpkg-dev and file (CPack's dependency
#          list), lintian, desktop-file-utils and appstream (their checks)
set -euo pipefail
packages=(cmake g++ make pkg-config git qt6-base-dev libcurl4-openssl-dev libpugixml-dev
          libgtest-dev libbenchmark-dev nlohmann-json3-dev libsimdjson-dev dbus python3 openssl
          xvfb xauth clang clang-format librsvg2-bin dpkg-dev file lintian desktop-file-utils
          appstream)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || {
        echo "deps.sh: these packages are missing and installing them needs root: ${missing[*]}" >&2
        echo "deps.sh: run as root, or install sudo, or install them yourself." >&2
        exit 1
    }
    sudo="sudo"
fi
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
