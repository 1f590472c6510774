#!/usr/bin/env bash
# Builds the three programs (no tests) and starts the window on this machine's network. Installs only what
# that needs; the test command installs the rest.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh" run >&2
# A build/ that the test command configured keeps its tests: only a new one is made without them.
options=()
[ -f "$root/build/CMakeCache.txt" ] || options=(-DVANTREL_BUILD_TESTS=OFF)
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${options[@]}" >/dev/null
cmake --build "$root/build" --target vantrel-discovery vantrel-discover vantrel-device-sim >&2
exec "$root/build/bin/vantrel-discovery" "$@"
