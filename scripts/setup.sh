#!/usr/bin/env bash
# Installs the Debian packages the project needs, only those missing, quietly. Safe to run again.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config    # build
  qt6-base-dev nlohmann-json3-dev     # libraries
  libgtest-dev libgmock-dev           # tests
  g++-mingw-w64-x86-64 googletest     # the Windows build: cross compiler, GoogleTest sources to build
  wine wine64 python3-pefile icoutils # the Windows programs under Wine; their resources checked
  iproute2                            # network namespaces for every test that opens a socket
  xvfb x11-apps x11-utils imagemagick # headless window, screenshots, window properties
  clang libclang-rt-14-dev            # fuzzers (libFuzzer)
  procps psmisc                       # process helpers used by the scripts
)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "setup: missing packages: ${missing[*]}; run as root to install them" >&2
  exit 1
fi
echo "setup: installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq >/dev/null
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
