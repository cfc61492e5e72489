#!/bin/bash
# Builds and runs every test. Installs what is missing first (as root).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install_deps.sh

# Native build: unit tests and the scenario corpus on the simulated desktop.
cmake --preset native
cmake --build --preset native
ctest --preset native

# The same suite under AddressSanitizer and UndefinedBehaviorSanitizer.
cmake --preset sanitize
cmake --build --preset sanitize
ctest --preset sanitize

# Static analysis, and a short bounded fuzzing run of every target.
scripts/analyse.sh
tests/fuzz/run_fuzzers.sh 20

# The real quillex.exe: cross builds, import tables, the corpus under Wine.
for arch in i686 x86_64; do
    cmake --preset "win32-$arch" >/dev/null
    cmake --build --preset "win32-$arch"
done
python3 tests/wine/check_imports.py build/win32-i686/tool/quillex.exe build/win32-x86_64/tool/quillex.exe
for arch in i686 x86_64; do
    python3 tests/wine/run_wine_scenarios.py --build "build/win32-$arch" tests/scenarios/corpus
done
