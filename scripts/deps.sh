#!/usr/bin/env bash
# Installs the Debian packages the build, the demo and the tests need, when missing.
set -euo pipefail
packages=(cmake g++ make qt6-base-dev libcurl4-openssl-dev libpugixml-dev libgtest-dev
          libbenchmark-dev nlohmann-json3-dev dbus python3 openssl xvfb clang clang-format)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
