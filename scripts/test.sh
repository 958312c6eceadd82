#!/usr/bin/env bash
# Every test of Morvane, from a bare Debian 12: installs what is missing,
# builds the native, 64-bit and 32-bit configurations and runs each suite.
# Exits non-zero when any suite fails. Safe to run again and again.
set -uo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh || { echo "setup failed" >&2; exit 1; }

failed=()
summary=()
stage() {
    local name=$1
    shift
    local start=$SECONDS
    echo "=== $name"
    if "$@"; then
        summary+=("ok     $name ($((SECONDS - start)) s)")
    else
        summary+=("FAILED $name ($((SECONDS - start)) s)")
        failed+=("$name")
    fi
}

native() {
    cmake --preset native >/dev/null && cmake --build --preset native && ctest --preset native
}
win64() {
    cmake --preset win64 >/dev/null && cmake --build --preset win64 && ctest --preset win64
}
win32() {
    cmake --preset win32 >/dev/null && cmake --build --preset win32 && bash scripts/check-exe.sh build/win32/shell/Morvane.exe
}

stage "native logic and shell core (ASan, UBSan)" native
stage "fuzzing the conversions (short)" bash scripts/fuzz.sh "${MORVANE_FUZZ_SECONDS:-30}"
stage "native tests under valgrind memcheck" bash scripts/valgrind.sh
stage "64-bit build and shell tests under wine64" win64
stage "32-bit product build and exe checks" win32
run_command() {
    rm -f build/run/screenshot.png
    env -u DISPLAY MORVANE_ARCH=64 MORVANE_WINE_PREFIX="$PWD/build/wine" bash scripts/run.sh &&
        [ -s build/run/screenshot.png ]
}
stage "run command without a display (64-bit)" run_command
stage "end to end under Xvfb and wine64" bash scripts/e2e.sh
stage "seeded monkey test under wine64" bash scripts/monkey.sh --seconds "${MORVANE_MONKEY_SECONDS:-150}"
stage "32-bit product smoke test under wine32" bash scripts/smoke32.sh

echo
printf '%s\n' "${summary[@]}"
if [ ${#failed[@]} -gt 0 ]; then
    echo "failed: ${failed[*]}" >&2
    exit 1
fi
echo "all tests passed"
