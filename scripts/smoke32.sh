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

. scripts/lib/prepare.sh
prepare_tools Xvfb xdotool xwd convert wrestool icotool i686-w64-mingw32-objdump x86_64-w64-mingw32-g++ cmake ninja python3
[ -x /usr/lib/wine/wine ] || bash scripts/setup.sh
# 32-bit Wine needs qemu-i386 registered where the kernel has no 32-bit support.
/lib/ld-linux.so.2 --version >/dev/null 2>&1 || bash scripts/setup.sh
exe=$(prepare_exe win32)
tools=build/e2e/tools
prepare_helpers e2e "$tools"

exec timeout -k 30 1200 python3 e2e/smoke32.py --exe "$exe" --tools "$tools" "$@"
