#!/usr/bin/env bash
# Seeded monkey test of Morvane: thousands of random user actions (real X input
# from xdotool) on the 64-bit build under wine64, on a private Xvfb screen, with
# the program's rules checked throughout (robustness/monkey.py).
#
#   bash scripts/monkey.sh [--seed N] [--seconds S] [--actions N] [...]
#
# Prints the seed it used; replay a run with --seed N. Builds what it needs,
# starts and stops its own X server and wineserver, keeps each seed's logs in
# build/robustness/runs/seed-N/, and exits non-zero on any finding.
# MORVANE_EXE=path overrides the exe under test (default: the win64 build).
set -euo pipefail
cd "$(dirname "$0")/.."
export PYTHONDONTWRITEBYTECODE=1  # no caches in the source tree

for tool in Xvfb xdotool xwd convert x86_64-w64-mingw32-g++ cmake ninja python3; do
    command -v "$tool" >/dev/null || { bash scripts/setup.sh; break; }
done
[ -x /usr/lib/wine/wine64 ] || bash scripts/setup.sh

exe=${MORVANE_EXE:-}
if [ -z "$exe" ]; then
    exe=build/win64/shell/Morvane.exe
    cmake --preset win64 >/dev/null
    cmake --build --preset win64 --target Morvane
fi
[ -f "$exe" ] || { echo "monkey: $exe not found" >&2; exit 1; }

# The input watch, and the end-to-end helpers built from e2e/ into the same tree.
tools=build/robustness
cmake -S robustness -B "$tools" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    --toolchain "$PWD/cmake/toolchain-mingw-x86_64.cmake" >/dev/null
cmake --build "$tools"

# The checker's own tests: every rule must be able to fail.
python3 -m unittest discover -s robustness -p 'test_*.py' -q

# The run stops itself after --seconds; the limit only stops a hang.
seconds=150
prev=""
for a in "$@"; do
    case "$a" in --seconds=*) seconds=${a#--seconds=} ;; esac
    [ "$prev" = --seconds ] && seconds=$a
    prev=$a
done
limit=$(python3 -c "import sys; print(int(float(sys.argv[1])) + 900)" "$seconds")
exec timeout -k 30 "$limit" python3 robustness/monkey.py --exe "$exe" --tools "$tools/e2e-tools" \
    --inputwatch "$tools/tools/inputwatch.exe" --seconds "$seconds" "$@"
