#!/bin/bash
# Builds the real quillex.exe and runs it under Wine with the given switches,
# against a few demo windows. Where 32-bit Wine can start this is the i686
# release exe; where it cannot (a kernel without 32-bit support) it is the
# x86_64 exe under 64-bit Wine, and one line on standard error says so.
# With --native, runs the native build on the simulated demo desktop instead.
set -euo pipefail
cd "$(dirname "$0")/.."
[ -n "${QUILLEX_NO_INSTALL:-}" ] || scripts/install_deps.sh
if [ "${1:-}" = "--native" ]; then
    shift
    cmake --preset native >/dev/null
    cmake --build --preset native >/dev/null
    QUILLEX_SIM_SCENARIO=tests/scenarios/demo.desktop exec build/native/tool/quillex "$@"
fi
# Stops here, saying what failed and what to do, when Wine cannot start.
arch=$(python3 tests/wine/winehost.py pick)
cmake --preset "win32-$arch" >/dev/null
cmake --build --preset "win32-$arch" >/dev/null
exec python3 tests/wine/run_demo.py --build "build/win32-$arch" "$@"
