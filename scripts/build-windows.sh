#!/usr/bin/env bash
# Installs what is missing, then cross-builds the 64-bit Windows executables with mingw-w64 into
# build-windows/bin/: vantrel-discovery.exe (the window), vantrel-discover.exe, vantrel-device-sim.exe.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh"
cd "$root"
cmake --preset windows >/dev/null
cmake --build --preset windows
