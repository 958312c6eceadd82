#!/usr/bin/env bash
# Builds the libFuzzer targets (preset "fuzz") and runs each for the given
# number of seconds (default 30). Fails when a target finds a crash or a
# difference from its reference model; the input is kept under build/fuzz/artifacts.
#   scripts/fuzz.sh          short run, as the tests use it
#   scripts/fuzz.sh 600      long run on demand
set -euo pipefail

seconds="${1:-30}"
if ! [[ "$seconds" =~ ^[0-9]+$ ]] || [ "$seconds" -eq 0 ]; then
    echo "usage: $0 [seconds-per-target]" >&2
    exit 2
fi

cd "$(dirname "$0")/.."
cmake --preset fuzz
cmake --build --preset fuzz

build=build/fuzz
mkdir -p "$build/artifacts"

# A few seeds, so that short runs start from inputs of the program's own kind.
seed() {  # seed <target> <name> <printf format>
    mkdir -p "$build/corpus/$1"
    # shellcheck disable=SC2059
    printf "$3" >"$build/corpus/$1/seed-$2"
}
seed text_to_int_fuzz digits '60000'
seed text_to_int_fuzz signed '  -42x'
seed text_to_int_fuzz wide '\xa1\xa1\xa3\xad\xa3\xb3\xa3\xb0'
seed text_to_int_fuzz wrap '12345678901'
seed text_to_int_fuzz lone '7\xb5'
seed real_to_text_fuzz sixty '\x00\x00\x00\x00\x00\x4c\xed\x40'      # 60000.0
seed real_to_text_fuzz tie '\x00\xa8\x4c\xb0\x1f\xf7\x71\x42'        # 1234567890122.5
seed real_to_text_fuzz subnormal '\x01\x00\x00\x00\x00\x00\x00\x00'

status=0
for target in text_to_int_fuzz real_to_text_fuzz; do
    echo "== $target: $seconds s"
    log="$build/$target.log"
    if "$build/fuzz/$target" "$build/corpus/$target" -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="$build/artifacts/$target-" >"$log" 2>&1; then
        grep -E '^Done [0-9]+ runs' "$log" || true
    else
        status=1
        echo "$target FAILED; see $log" >&2
        tail -n 40 "$log" >&2
    fi
done
exit "$status"
