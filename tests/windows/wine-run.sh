#!/bin/sh
# Runs a Windows executable of ours under Wine and returns its exit code.
#
#   wine-run.sh [--here] program.exe [arguments...]
#
# By default the program runs in a network namespace of its own, with only its loopback interface up,
# so that nothing it sends leaves the machine. With --here it runs in the caller's namespace: the test
# beds use that after entering one of their own namespaces.
#
# Wine's sockets live in its wineserver, so each run gets a Wine prefix of its own (hard links to a
# template made once per build tree, beside the program's bin directory) and a wineserver started in the
# run's namespace and stopped before this script returns. DISPLAY is passed on for the window.
set -eu

here=0
if [ "${1-}" = "--here" ]; then
    here=1
    shift
fi
[ $# -ge 1 ] || { echo "usage: wine-run.sh [--here] program.exe [arguments...]" >&2; exit 2; }

program=$(readlink -f "$1")
shift
wine_dir=/usr/lib/wine
[ -x "$wine_dir/wine64" ] || { echo "wine-run.sh: $wine_dir/wine64 not found; install wine64" >&2; exit 2; }
# WINEDEBUG: quiet unless the caller asks for channels (for instance WINEDEBUG=+win,+class). No Gecko or
# Mono, and no winemenubuilder: an installer's shortcuts would otherwise land in the home folder's menus.
export WINEDEBUG="${WINEDEBUG:--all}" WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

if [ "$here" = 0 ]; then
    exec unshare --net sh -c 'ip link set lo up && exec "$0" --here "$@"' "$0" "$program" "$@"
fi

template=${VANTREL_WINE_TEMPLATE:-$(dirname "$(dirname "$program")")/wine-template}

# The template: one `wineboot` per build tree, under a lock so that parallel tests make it once.
make_template() {
    if [ ! -f "$template/.ready" ]; then
        rm -rf "$template"
        WINEPREFIX="$template" "$wine_dir/wine64" wineboot --init >/dev/null 2>&1 || true
        WINEPREFIX="$template" "$wine_dir/wineserver" -w
        [ -f "$template/system.reg" ] || { echo "wine-run.sh: cannot make a Wine prefix" >&2; exit 2; }
        touch "$template/.ready"
    fi
}
mkdir -p "$(dirname "$template")"
(
    flock 9
    make_template
) 9>"$template.lock"

# Prefixes carry the pid of their run: those of runs killed outright (no EXIT trap) are removed here.
for stale in "${TMPDIR:-/tmp}"/vantrel-wine.*.*; do
    [ -d "$stale" ] || continue
    owner=${stale##*/vantrel-wine.}
    owner=${owner%%.*}
    [ -d "/proc/$owner" ] || rm -rf "$stale"
done
prefix=$(mktemp -d "${TMPDIR:-/tmp}/vantrel-wine.$$.XXXXXX")
stop_wine() {
    WINEPREFIX="$prefix" "$wine_dir/wineserver" -k 2>/dev/null || true
    WINEPREFIX="$prefix" "$wine_dir/wineserver" -w 2>/dev/null || true
    rm -rf "$prefix"
}
trap stop_wine EXIT
# A stopped run takes its Wine programs and its prefix with it: the EXIT trap runs on the way out.
trap 'exit 143' INT TERM
cp -al "$template/." "$prefix/"
# Wine rewrites its registry files in place: each run gets copies, not links to the template's.
for hive in "$template"/*.reg; do
    cp --remove-destination "$hive" "$prefix/"
done

# In the background, so that a signal to this script is acted on at once, not after the program ends.
# Standard input is passed on explicitly: a background job would otherwise read /dev/null.
status=0
exec 3<&0
WINEPREFIX="$prefix" "$wine_dir/wine64" "$program" "$@" <&3 3<&- &
wait $! || status=$?
exit "$status"
