#!/bin/bash
# Builds and runs every test. Installs what is missing first (as root).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install_deps.sh

cmake --preset native
cmake --build --preset native
ctest --preset native
