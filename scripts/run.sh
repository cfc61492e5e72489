#!/bin/bash
# Builds Quillex and runs it with the given switches against a demo desktop.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install_deps.sh
cmake --preset native >/dev/null
cmake --build --preset native >/dev/null
QUILLEX_SIM_SCENARIO=tests/scenarios/demo.desktop exec build/native/tool/quillex "$@"
