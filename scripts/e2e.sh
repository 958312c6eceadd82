#!/usr/bin/env bash
# End-to-end tests of Morvane: the 64-bit build under wine64 on a private Xvfb
# screen, driven with real X input (xdotool) and read from outside by helper
# programs (e2e/tools). Builds what it needs, starts and stops its own X
# server and wineserver, and exits non-zero when any scenario fails.
#
#   bash scripts/e2e.sh [-k NAME]     # -k: only the scenarios whose name contains NAME
#
# MORVANE_EXE=path overrides the exe under test (default: the win64 build).
set -euo pipefail
cd "$(dirname "$0")/.."

. scripts/lib/prepare.sh
prepare_tools Xvfb xdotool xwd convert x86_64-w64-mingw32-g++ cmake ninja python3
exe=$(prepare_exe win64)
tools=build/e2e/tools
prepare_helpers e2e "$tools"

# The whole suite takes about two minutes; the limit only stops a hang.
exec timeout -k 30 1500 python3 e2e/e2e.py --exe "$exe" --tools "$tools" "$@"
