#!/usr/bin/env bash
# Builds the tool and starts the window on this machine's network.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/build.sh" >&2
exec "$root/build/bin/vantrel-discovery" "$@"
