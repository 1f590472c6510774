#!/usr/bin/env bash
# Runs the Wine tests of the normal build (label `wine`) N times under -j2 and counts the green and red
# runs: the way to show that a flaky test is mended. Not part of the test command (50 runs take about
# 40 minutes). The output of every red run is kept.
#
#   tests/windows/repeat.sh N [ctest options...]      for instance: repeat.sh 50 -R WineWindow
#
# Needs the normal build in build/ made with VANTREL_WINDOWS_BIN_DIR (as scripts/test.sh makes it).
set -uo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
[ $# -ge 1 ] && [ "$1" -gt 0 ] 2>/dev/null || { echo "usage: repeat.sh N [ctest options...]" >&2; exit 2; }
runs=$1
shift
logs="$(mktemp -d "${TMPDIR:-/tmp}/vantrel-repeat.XXXXXX")"

green=0
red=0
for run in $(seq 1 "$runs"); do
  started=$(date +%s)
  if ctest --test-dir "$root/build" -L wine -j2 --output-on-failure --timeout 600 "$@" >"$logs/run-$run.log" 2>&1; then
    green=$((green + 1))
    rm -f "$logs/run-$run.log"
    verdict=green
  else
    red=$((red + 1))
    verdict="red: $(grep -o 'wine\.[A-Za-z_.]* .*\(Failed\|Timeout\)' "$logs/run-$run.log" | tr -s ' ' | paste -sd ';' -)"
  fi
  printf 'run %d of %d: %s (%d s)\n' "$run" "$runs" "$verdict" "$(($(date +%s) - started))"
done
printf 'repeat: %d runs, %d green, %d red' "$runs" "$green" "$red"
if [ "$red" -gt 0 ]; then printf '; logs of the red runs in %s\n' "$logs"; else printf '\n'; rmdir "$logs"; fi
[ "$red" -eq 0 ]
