#!/usr/bin/env bash
# Builds everything and runs every test: the Windows build (cross-built with mingw-w64) and its tests
# under Wine, the normal build (whose suite also runs the Windows programs and the Windows installer under
# Wine against Linux peers), the packages (scripts/package.sh) and the Debian package's checks, then the
# whole suite again under
# AddressSanitizer+UndefinedBehaviorSanitizer (with LeakSanitizer) and under ThreadSanitizer, then each
# fuzzer for a bounded time. Tests that open sockets build network namespaces of their own (they need
# root) and remove them afterwards; nothing is sent on this machine's own network.
#
# VANTREL_TEST_QUICK=1 runs the normal build's tests only.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
jobs="$(nproc)"
fuzz_seconds="${VANTREL_FUZZ_SECONDS:-60}"

step() { printf '\n=== %s\n' "$*" >&2; }

configure_and_build() {  # build-dir, cmake options...
  local dir="$root/$1"
  shift
  cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANTREL_BUILD_TESTS=ON "$@" >/dev/null
  cmake --build "$dir"
}

run_suite() {  # build-dir
  ctest --test-dir "$root/$1" --output-on-failure --timeout 600 -j "$jobs"
}

run_fuzzers() {
  local work
  work="$(mktemp -d)"
  trap 'rm -rf "$work"' RETURN
  for target in decode_reply datagram_path; do
    mkdir -p "$work/$target"
    cp "$root/tests/fuzz/corpus/$target/"* "$work/$target/"
    "$root/build-fuzz/bin/${target}_fuzz" -max_total_time="$fuzz_seconds" -max_len=4096 \
      -artifact_prefix="$work/" "$work/$target" 2>&1 | tail -n 2
  done
}

"$root/scripts/setup.sh"
"$root/scripts/netbed.sh" reap || true

step "Windows build (mingw-w64) and its tests under Wine"
(cd "$root" && cmake --preset windows -DVANTREL_BUILD_TESTS=ON >/dev/null)
cmake --build "$root/build-windows"
run_suite build-windows

step "build and test"
configure_and_build build -DVANTREL_WINDOWS_BIN_DIR="$root/build-windows/bin"
run_suite build
[ "${VANTREL_TEST_QUICK:-0}" = 1 ] && exit 0

# Once per test command: the packages from the two builds above (the Windows installer's own test,
# upgrade and uninstall under Wine, ran in the suite), then the Debian package checked and installed.
step "packages: build, lintian, validators, install, run, purge"
"$root/scripts/package.sh"
version="$(sed -n 's/^#define VANTREL_VERSION_FULL "\(.*\)"$/\1/p' "$root/build/generated/vantrel/product.h")"
"$root/tests/packaging/deb_test.sh" "$root/dist/vantrel-discovery_${version}_amd64.deb" "$version"

step "AddressSanitizer + UndefinedBehaviorSanitizer + LeakSanitizer"
configure_and_build build-asan -DVANTREL_SANITIZE=address
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 run_suite build-asan

step "ThreadSanitizer"
configure_and_build build-tsan -DVANTREL_SANITIZE=thread
TSAN_OPTIONS="suppressions=$root/tests/sanitizers/tsan.supp" run_suite build-tsan

step "fuzzing, ${fuzz_seconds} s per target"
CC=clang CXX=clang++ configure_and_build build-fuzz -DVANTREL_FUZZ=ON -DVANTREL_BUILD_GUI=OFF -DVANTREL_BUILD_TESTS=OFF
run_fuzzers
