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

for tool in Xvfb xdotool x86_64-w64-mingw32-g++ i686-w64-mingw32-g++ cmake ninja python3; do
    command -v "$tool" >/dev/null || { bash scripts/setup.sh; break; }
done

cmake --preset win64 >/dev/null
cmake --build --preset win64 --target Morvane
cmake --preset win32 >/dev/null
cmake --build --preset win32 --target Morvane

out=build/bench
mkdir -p "$out"
# The baseline, built the way the product is: static, stripped, optimised.
i686-w64-mingw32-g++ -std=c++17 -Os -s -static -mwindows bench/minimal.cpp -o "$out/minimal32.exe"
x86_64-w64-mingw32-g++ -std=c++17 -O2 -s -static -mwindows bench/minimal.cpp -o "$out/minimal64.exe"

tools=build/e2e/tools
cmake -S e2e -B "$tools" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    --toolchain "$PWD/cmake/toolchain-mingw-x86_64.cmake" >/dev/null
cmake --build "$tools"

exec timeout -k 30 3600 python3 bench/bench.py \
    --morvane64 build/win64/shell/Morvane.exe --morvane32 build/win32/shell/Morvane.exe \
    --minimal64 "$out/minimal64.exe" --minimal32 "$out/minimal32.exe" --tools "$tools" "$@"
