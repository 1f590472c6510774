#!/usr/bin/env bash
# The Debian package as a user gets it: lintian, the desktop entry and AppStream validators, then a real
# install with apt-get, the installed programs run (the window offscreen inside a namespace bed against
# the installed simulator), the man pages found, and a purge that must leave nothing behind. The package
# is purged again on the way out whatever happens.
#
#   deb_test.sh vantrel-discovery_VERSION_amd64.deb VERSION
#
# Needs root (apt-get, network namespaces). Exit 0 all passed, 1 a check failed.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
deb="$(readlink -f "${1:?usage: deb_test.sh PACKAGE.deb VERSION}")"
version="${2:?usage: deb_test.sh PACKAGE.deb VERSION}"
package=vantrel-discovery
netbed="$root/scripts/netbed.sh"
bed="vd$$xdeb"
work="$(mktemp -d)"
passed=0
failed=0

purge() { DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq "$package" >/dev/null 2>&1 || true; }
cleanup() {
  "$netbed" down "$bed" >/dev/null 2>&1 || true  # ends the simulator and the window with it
  purge
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

check() {  # description, command...: one line per check
  local what=$1
  shift
  if "$@" >"$work/out" 2>&1; then
    passed=$((passed + 1))
    echo "ok    $what"
  else
    failed=$((failed + 1))
    echo "FAIL  $what"
    sed 's/^/      /' "$work/out" | head -n 40
  fi
}

# lintian: no error. Every tag down to the pedantic and informational ones is printed for the record.
lintian_clean() {
  lintian --info --display-info --pedantic --fail-on error "$deb" 2>&1 | grep -v 'root privileges'
  return "${PIPESTATUS[0]}"
}
check "lintian: no errors" lintian_clean
sed 's/^/      /' "$work/out"

mkdir -p "$work/unpacked"
dpkg-deb -x "$deb" "$work/unpacked"
desktop="usr/share/applications/com.vantrel.Discovery.desktop"
metainfo="usr/share/metainfo/com.vantrel.Discovery.metainfo.xml"
check "desktop-file-validate: no errors" desktop-file-validate "$work/unpacked/$desktop"
# No licence has been chosen: the metadata says LicenseRef-proprietary for the project and for itself.
# The validator wants a permissive licence for the metadata and flags that alone as an error; any other
# error fails.
appstream_clean() {
  local out status=0
  out="$(appstreamcli validate --no-net --no-color "$1" 2>&1)" || status=$?
  echo "$out"
  [ "$status" -eq 0 ] && return 0
  ! grep '^E: ' <<<"$out" | grep -v 'metadata-license-invalid LicenseRef-proprietary$' | grep -q .
}
check "appstreamcli validate --no-net: no errors but the unchosen metadata licence" \
  appstream_clean "$work/unpacked/$metainfo"
check "package fields: maintainer, section, qt6-qpa-plugins, stripped programs" bash -c '
  dpkg-deb -f "$1" Maintainer | grep -q "<.*@.*>" &&
  dpkg-deb -f "$1" Section | grep -qx "non-free/net" &&
  dpkg-deb -f "$1" Depends | grep -q "qt6-qpa-plugins" &&
  dpkg-deb -f "$1" Depends | grep -q "libqt6widgets6" &&
  ! file "$2"/usr/bin/* | grep -v "stripped" | grep -q . &&
  ! file "$2"/usr/bin/* | grep -q "not stripped"' _ "$deb" "$work/unpacked"

# The real install.
purge
check "apt-get install ./$(basename "$deb")" \
  env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$deb"
check "vantrel-discover --version" bash -c '[ "$(/usr/bin/vantrel-discover --version)" = "vantrel-discover $1" ]' _ "$version"
check "vantrel-device-sim --help" bash -c '/usr/bin/vantrel-device-sim --help | grep -q "^usage: vantrel-device-sim"'
for page in vantrel-discovery vantrel-discover vantrel-device-sim; do
  check "man -w $page" bash -c '[ "$(man -w "$1")" = "/usr/share/man/man1/$1.1.gz" ]' _ "$page"
done
check "installed desktop entry valid" desktop-file-validate "/$desktop"

# The installed window, offscreen, in a bed of its own against the installed simulator.
installed_window_reads() {
  "$netbed" up "$bed" 1 >/dev/null
  local address
  address="$("$netbed" device "$bed" press 0)"
  "$netbed" exec "$bed" press /usr/bin/vantrel-device-sim --model VX-100 --serial DEB-1 2>"$work/sim.err" &
  for _ in $(seq 100); do
    grep -q "ready" "$work/sim.err" && break
    sleep 0.1
  done
  QT_QPA_PLATFORM=offscreen "$netbed" exec "$bed" tool /usr/bin/vantrel-discovery >"$work/window.out" 2>&1 &
  local window=$! line="$address, Model: VX-100, Serial Number: DEB-1, Boot State:  ON"
  for _ in $(seq 100); do
    grep -qF "bytes from $line: " "$work/window.out" && break
    sleep 0.1
  done
  "$netbed" down "$bed" >/dev/null  # SIGTERM to the window: it closes and exits 0
  local status=0
  wait "$window" || status=$?
  cat "$work/window.out"
  grep -qF "bytes from $line: " "$work/window.out" && [ "$status" -eq 0 ]
}
check "installed window lists the simulated device (read line)" installed_window_reads

# Purge: no package, no file of it left.
dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|' | grep -v '/$' >"$work/files"
check "apt-get purge" env DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq "$package"
check "nothing left after the purge" bash -c '
  ! dpkg-query -W -f="\${Status}" "$1" 2>/dev/null | grep -q installed &&
  while read -r f; do [ ! -e "$f" ] || { echo "left: $f"; exit 1; }; done <"$2" &&
  [ ! -e /usr/share/doc/$1 ]' _ "$package" "$work/files"

echo "deb: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
