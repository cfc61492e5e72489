#!/bin/bash
# Builds the real quillex.exe (i686) and runs it under Wine with the given
# switches, against a few demo windows. With --native, runs the native build
# on the simulated demo desktop instead.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install_deps.sh
if [ "${1:-}" = "--native" ]; then
    shift
    cmake --preset native >/dev/null
    cmake --build --preset native >/dev/null
    QUILLEX_SIM_SCENARIO=tests/scenarios/demo.desktop exec build/native/tool/quillex "$@"
fi
cmake --preset win32-i686 >/dev/null
cmake --build --preset win32-i686 >/dev/null
exec python3 tests/wine/run_demo.py --build build/win32-i686 "$@"
