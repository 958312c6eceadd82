#!/usr/bin/env bash
# Builds Morvane.exe (the 32-bit product) and runs it under Wine.
#  - With a usable X display ($DISPLAY), the window opens there; the script
#    returns when the program ends.
#  - Without one, it starts a private virtual screen, waits for the window,
#    saves a screenshot (the path is printed) and ends the program.
# MORVANE_ARCH=64 runs the 64-bit build instead (much faster to start here);
# MORVANE_WINE_PREFIX chooses the Wine prefix (default build/wine-run).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup.sh

arch=${MORVANE_ARCH:-32}
preset=win$arch
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" --target Morvane
exe=$root/build/$preset/shell/Morvane.exe
runner=wine32
[ "$arch" = 64 ] && runner=wine64

prefix=${MORVANE_WINE_PREFIX:-$root/build/wine-run}
# shellcheck source=lib/wine-session.sh
. scripts/lib/wine-session.sh

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    trap wine_session_stop EXIT
    wine_session_start "$prefix"
    "$runner" "$exe"
    exit $?
fi

trap wine_session_stop EXIT  # set first: a failed start must not leave its screen behind
wine_session_start "$prefix" --private-screen
shot_dir=$root/build/run
mkdir -p "$shot_dir"
echo "no display: starting Morvane on a private virtual screen ($DISPLAY)"
"$runner" "$exe" &
program=$!
window=""
for _ in $(seq 600); do  # a 32-bit start through qemu takes about a minute
    window=$(xdotool search --name '^Morvane$' 2>/dev/null | head -n 1) || true
    [ -n "$window" ] && break
    kill -0 "$program" 2>/dev/null || break
    sleep 0.5
done
if [ -z "$window" ]; then
    echo "the window did not appear" >&2
    exit 1
fi
sleep 2  # let the first paint finish
xwd -root -silent | convert xwd:- "$shot_dir/screenshot.png"
echo "screenshot: $shot_dir/screenshot.png"
xdotool key --window "$window" Escape || true
for _ in $(seq 120); do
    kill -0 "$program" 2>/dev/null || break
    sleep 0.5
done
if kill -0 "$program" 2>/dev/null; then
    echo "the program did not end on Esc" >&2
    kill "$program"
    exit 1
fi
wait "$program" || { echo "the program ended with code $?" >&2; exit 1; }
