#!/usr/bin/env bash
# Builds and runs the benchmarks (figures, not tests), each in network namespaces of its own:
# burst (the tools against a plain receive loop), window idle cost, big lists and floods.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/build.sh" >/dev/null
"$root/scripts/netbed.sh" reap || true
"$root/build/bin/burst_bench" "$@"
"$root/build/bin/window_bench"
