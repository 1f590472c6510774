#!/usr/bin/env bash
# Installs what is missing, then configures and builds everything into build/ (programs in build/bin/).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh"
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANTREL_BUILD_TESTS=ON >/dev/null
cmake --build "$root/build"
