#!/usr/bin/env bash
# Benchmark, run on demand (not part of the tests): Morvane beside a minimal
# Win32 program (bench/minimal.cpp) under the same Wine, 64-bit and 32-bit:
# start-up time, CPU time during a 30-second countdown, peak memory, the
# click's lateness for 3秒 and 10秒, and the 32-bit exe's size and imports.
# About ten minutes, most of it the emulated 32-bit starts.
#
#   bash scripts/bench.sh [--arch 64] [--starts64 N] [--starts32 N] [--late-reps N]
set -euo pipefail
cd "$(dirname "$0")/.."

. scripts/lib/prepare.sh
prepare_tools Xvfb xdotool x86_64-w64-mingw32-g++ i686-w64-mingw32-g++ cmake ninja python3
morvane64=$(prepare_exe win64)
morvane32=$(prepare_exe win32)

out=build/bench
mkdir -p "$out"
# The baseline, built the way the product is: static, stripped, optimised.
i686-w64-mingw32-g++ -std=c++17 -Os -s -static -mwindows bench/minimal.cpp -o "$out/minimal32.exe"
x86_64-w64-mingw32-g++ -std=c++17 -O2 -s -static -mwindows bench/minimal.cpp -o "$out/minimal64.exe"

tools=build/e2e/tools
prepare_helpers e2e "$tools"

exec timeout -k 30 3600 python3 bench/bench.py \
    --morvane64 "$morvane64" --morvane32 "$morvane32" \
    --minimal64 "$out/minimal64.exe" --minimal32 "$out/minimal32.exe" --tools "$tools" "$@"
