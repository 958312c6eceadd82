#!/usr/bin/env bash
# Runs one Windows program under wine64 on a private 1920 x 1080 screen in
# code page 936 and returns its exit code:
#
#   wine-test-session.sh PROGRAM.exe [ARGUMENTS…]
#
# Xvfb chooses a free display itself (-displayfd), so sessions of other
# developers on other displays are never touched. The prefix (build/wine by
# default, MORVANE_WINE_PREFIX to change it) is locked for the run, and
# everything started here is stopped afterwards: the prefix's own wineserver
# and the Xvfb process by its id.
set -uo pipefail
root=$(cd "$(dirname "$0")/../../.." && pwd)
prefix=${MORVANE_WINE_PREFIX:-$root/build/wine}
mkdir -p "$(dirname "$prefix")"

# shellcheck source=../../../scripts/lib/wine-session.sh
. "$root/scripts/lib/wine-session.sh"

exec 9>"$prefix.lock"
flock 9

session_dir=$(mktemp -d)
xvfb_pid=""
stop_session() {
    wine_session_stop
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null
        wait "$xvfb_pid" 2>/dev/null
    fi
    rm -rf "$session_dir"
}
trap stop_session EXIT

Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp 3>"$session_dir/display" >/dev/null 2>&1 &
xvfb_pid=$!
display=""
for _ in $(seq 200); do
    display=$(head -n 1 "$session_dir/display" 2>/dev/null)
    [ -n "$display" ] && break
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.05
done
if [ -z "$display" ]; then
    echo "wine-test-session: Xvfb did not start" >&2
    exit 1
fi
export DISPLAY=":$display"

# A server left over from an interrupted run of this prefix would hold an
# old display.
WINEPREFIX=$prefix /usr/lib/wine/wineserver -k >/dev/null 2>&1
wine_session_start "$prefix" || exit 1

/usr/lib/wine/wine64 "$@"
exit $?
