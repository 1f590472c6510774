#!/usr/bin/env bash
# Installs the Debian packages the project needs, only those missing, quietly. Safe to run again.
#
#   setup.sh run     what building and running the window needs (scripts/run.sh)
#   setup.sh [all]   that and everything the tests, the Windows build and the packages need
set -euo pipefail

# Building the three programs and showing the window.
run_packages=(
  g++ cmake ninja-build pkg-config    # build
  qt6-base-dev nlohmann-json3-dev     # libraries
  qt6-qpa-plugins                     # Qt's display plugins: without one the window cannot open
)
# The tests, the Windows build and the packages, on top of those.
test_packages=(
  libgtest-dev libgmock-dev           # tests
  g++-mingw-w64-x86-64 googletest     # the Windows build: cross compiler, GoogleTest sources to build
  wine wine64 python3-pefile icoutils # the Windows programs under Wine; their resources checked
  iproute2                            # network namespaces for every test that opens a socket
  xvfb x11-apps x11-utils imagemagick # headless window, screenshots, window properties
  clang libclang-rt-14-dev            # fuzzers (libFuzzer)
  procps psmisc                       # process helpers used by the scripts
  python3 jq                          # saved CSV and JSON read back in the tests
  dpkg-dev wixl                       # the packages: dpkg-shlibdeps for the .deb, the Windows installer
  lintian desktop-file-utils appstream man-db # the packages' checks
)

case "${1:-all}" in
  run) packages=("${run_packages[@]}") ;;
  all) packages=("${run_packages[@]}" "${test_packages[@]}") ;;
  *) echo "usage: setup.sh [run|all]" >&2; exit 2 ;;
esac

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
