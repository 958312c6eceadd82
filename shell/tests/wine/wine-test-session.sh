#!/usr/bin/env bash
# Runs one Windows program under wine64 on a private 1920 x 1080 screen in
# code page 936 and returns its exit code:
#
#   wine-test-session.sh PROGRAM.exe [ARGUMENTS…]
#
# The prefix (build/wine by default, MORVANE_WINE_PREFIX to change it) is
# locked for the run; everything started here is stopped afterwards by id.
set -uo pipefail
root=$(cd "$(dirname "$0")/../../.." && pwd)
prefix=${MORVANE_WINE_PREFIX:-$root/build/wine}
mkdir -p "$(dirname "$prefix")"

# shellcheck source=../../../scripts/lib/wine-session.sh
. "$root/scripts/lib/wine-session.sh"

exec 9>"$prefix.lock"
flock 9

trap wine_session_stop EXIT
wine_session_start "$prefix" --private-screen || exit 1
/usr/lib/wine/wine64 "$@"
exit $?
