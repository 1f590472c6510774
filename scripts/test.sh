#!/usr/bin/env bash
# Builds everything and runs every test. Tests that open sockets build network namespaces of their own
# (they need root) and remove them afterwards; nothing is sent on this machine's own network.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/build.sh"
"$root/scripts/netbed.sh" reap || true
ctest --test-dir "$root/build" --output-on-failure --timeout 300 -j "$(nproc)"
