#!/usr/bin/env bash
# Makes every package into dist/: the Debian package (CPack, from build/), the Windows installer and the
# portable zip (from the Windows build, build-windows/), and SHA256SUMS over them. Builds what is not
# built yet; a build tree that is new here is made without the tests.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh"
cd "$root"

no_tests_if_new() {  # build-dir: the option for a tree not configured yet
  [ -f "$1/CMakeCache.txt" ] || echo "-DVANTREL_BUILD_TESTS=OFF"
}

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(no_tests_if_new build) >/dev/null
cmake --build build
cmake --preset windows $(no_tests_if_new build-windows) >/dev/null
cmake --build build-windows

version="$(sed -n 's/^#define VANTREL_VERSION_FULL "\(.*\)"$/\1/p' build/generated/vantrel/product.h)"
rm -rf build/dist
(cd build && cpack -G DEB >/dev/null)

rm -rf dist
mkdir -p dist
cp "build/dist/vantrel-discovery_${version}_amd64.deb" \
   "build-windows/dist/vantrel-discovery-${version}-x64.msi" \
   "build-windows/dist/vantrel-discovery-${version}-windows-x64.zip" dist/
(cd dist && sha256sum -- *.deb *.msi *.zip >SHA256SUMS)
ls -l dist >&2
