#!/bin/bash
# Static analysis of the project's code: clang-tidy (checks in .clang-tidy)
# over the native build's compile commands, and cppcheck. Fails on any finding.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --preset native >/dev/null
status=0
report=$(clang-tidy --quiet -p build/native switches/*.cpp tool/*.cpp platform/*.cpp platform/sim/*.cpp 2>&1) || status=$?
if [ "$status" -ne 0 ]; then
    echo "$report" | grep -v "warnings generated"
    echo "clang-tidy: problems found"
    exit 1
fi
echo "clang-tidy: clean"

cppcheck --enable=warning,style,performance,portability --std=c++17 --language=c++ \
    --inline-suppr --error-exitcode=1 --suppress=missingIncludeSystem --quiet \
    -I switches -I platform -I platform/sim -I tool \
    switches tool platform tests/wine tests/fuzz
echo "cppcheck: clean"
