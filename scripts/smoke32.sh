#!/usr/bin/env bash
# Smoke test of the 32-bit product under 32-bit Wine (through qemu-i386 where
# the kernel cannot run i386 code): checks the exe's imports, manifest and
# icon, then starts it once on a private Xvfb screen, runs a 3秒 countdown that
# clicks on a click target and closes it with Esc (exit code 0). About two
# minutes; builds what it needs and stops what it started.
#
# MORVANE_EXE=path overrides the exe under test (default: the win32 build).
set -euo pipefail
cd "$(dirname "$0")/.."

for tool in Xvfb xdotool xwd convert wrestool icotool i686-w64-mingw32-objdump x86_64-w64-mingw32-g++ cmake ninja \
    python3; do
    command -v "$tool" >/dev/null || { bash scripts/setup.sh; break; }
done
{ [ -x /usr/lib/wine/wine ] && [ -x /usr/lib/wine/wine64 ]; } || bash scripts/setup.sh
# 32-bit Wine needs qemu-i386 registered where the kernel has no 32-bit support.
/lib/ld-linux.so.2 --version >/dev/null 2>&1 || bash scripts/setup.sh

exe=${MORVANE_EXE:-}
if [ -z "$exe" ]; then
    exe=build/win32/shell/Morvane.exe
    cmake --preset win32 >/dev/null
    cmake --build --preset win32 --target Morvane
fi
[ -f "$exe" ] || { echo "smoke32: $exe not found" >&2; exit 1; }

tools=build/e2e/tools
cmake -S e2e -B "$tools" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    --toolchain "$PWD/cmake/toolchain-mingw-x86_64.cmake" >/dev/null
cmake --build "$tools"

exec timeout -k 30 1200 python3 e2e/smoke32.py --exe "$exe" --tools "$tools" "$@"
