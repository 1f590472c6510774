#!/usr/bin/env bash
# The window against three simulated devices on two LAN segments, all inside private network namespaces
# (nothing is sent on this machine's own network). Removes everything it made when it ends.
#
#   scripts/demo.sh                      the window on your display, until you close it
#   scripts/demo.sh --screenshot F.png   under a virtual X server: waits for the devices, saves F.png, ends
#   scripts/demo.sh --windows ...        the same with the Windows window (build-windows/) under Wine
#   scripts/demo.sh --port-shared ...    with vantrel-discover --watch beside the window, on the same port:
#                                        the window's status line warns of it (and a wider screenshot)
#
# Without a display (no DISPLAY), the screenshot form runs, into demo-screenshot.png.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
netbed="$root/scripts/netbed.sh"
bin="${VANTREL_BIN_DIR:-$root/build/bin}"  # set by the test that runs this script
screenshot=""
window=("$bin/vantrel-discovery")
port_shared=""
if [ "${1:-}" = "--windows" ]; then
  window=("$root/tests/windows/wine-run.sh" --here "$root/build-windows/bin/vantrel-discovery.exe")
  shift
fi
if [ "${1:-}" = "--port-shared" ]; then
  port_shared=1
  shift
fi
case "${1:-}" in
  --screenshot) screenshot="${2:?--screenshot needs a file name}" ;;
  "") [ -n "${DISPLAY:-}" ] || screenshot="demo-screenshot.png" ;;
  *) echo "usage: $0 [--screenshot FILE.png]" >&2; exit 2 ;;
esac

[ -n "${VANTREL_BIN_DIR:-}" ] || "$root/scripts/build.sh" >/dev/null
[ "${window[0]}" = "$bin/vantrel-discovery" ] || "$root/scripts/build-windows.sh" >/dev/null
prefix="vd$$xdemo"
xvfb_pid=""
log="$(mktemp)"
cleanup() {
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  "$netbed" down "$prefix" >/dev/null 2>&1 || true  # also ends the simulators and the window inside it
  rm -f "$log"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

"$netbed" up "$prefix" 2 >/dev/null
"$netbed" device "$prefix" press 0 >/dev/null
"$netbed" device "$prefix" camera 0 >/dev/null
"$netbed" device "$prefix" sensor 1 >/dev/null
sim() { "$netbed" exec "$prefix" "$1" "$bin/vantrel-device-sim" "${@:2}" 2>/dev/null & }
sim press --model "VX-100" --serial "A1B2C3" --boot-state on
sim camera --model "VX-220 Camera" --serial "CAM-0042" --boot-state off
sim sensor --model "VS-7 Sensor" --serial "SN-7781" --boot-state none --reply-to group
if [ -n "$port_shared" ]; then
  "$netbed" exec "$prefix" tool "$bin/vantrel-discover" --watch >/dev/null 2>&1 &
fi
sleep 0.5

if [ -z "$screenshot" ]; then
  echo "demo: three devices on two segments; close the window to end" >&2
  "$netbed" exec "$prefix" tool "${window[@]}"
  exit 0
fi

# A virtual screen of 2400x1200: the window takes a quarter, 600x300, centred. The status line's warning
# is long: 4800x1600 then, for a window of 1200x400.
width=2400 height=1200 wanted=3
if [ -n "$port_shared" ]; then width=4800 height=1600 wanted=1; fi
display=":$((90 + $$ % 100))"
Xvfb "$display" -screen 0 "${width}x${height}x24" -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done
DISPLAY="$display" "$netbed" exec "$prefix" tool "${window[@]}" >"$log" 2>&1 &
for _ in $(seq 300); do [ "$(grep -c '^read ' "$log")" -ge "$wanted" ] && break; sleep 0.1; done
sleep 0.5
crop="$((width / 4))x$((height / 4))+$((width * 3 / 8))+$((height * 3 / 8))"
xwd -root -silent -display "$display" | convert xwd:- -crop "$crop" +repage "$screenshot"
grep '^read ' "$log" >&2 || true
[ "$(grep -c '^read ' "$log")" -ge "$wanted" ] || { echo "demo: the window listed too few devices" >&2; exit 1; }
echo "demo: saved $screenshot" >&2
