#!/usr/bin/env bash
# The native tests once more, without sanitizers, under valgrind memcheck:
# any error or leak fails.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset native-plain >/dev/null
cmake --build --preset native-plain
for t in build/native-plain/logic/tests/logic_tests build/native-plain/shell/tests/native/shell_core_tests; do
    echo "--- valgrind $t"
    # Death tests fork a child that aborts on purpose, which valgrind would
    # report; the million-value comparison runs the same code as the tables
    # and would only take minutes here.
    valgrind --tool=memcheck --error-exitcode=99 --leak-check=full --show-leak-kinds=definite,indirect,possible \
        --errors-for-leak-kinds=definite,indirect,possible --quiet \
        "$t" --gtest_filter='-*DeathTest*:RealToTextDifferential.AgreesWithTheReferenceModel' --gtest_brief=1
done
