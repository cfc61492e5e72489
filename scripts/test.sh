#!/bin/bash
# Builds and runs every test. Installs what is missing first (as root).
#
# Every suite ends up in the summary as passed, FAILED or skipped (with the
# reason); the command fails when any suite that could run failed. The Wine
# suites run for each architecture this machine can run: where the kernel
# cannot run 32-bit programs, the i686 ones run through qemu-i386 in a user
# namespace of their own, or are skipped with the reason.
#
#   scripts/test.sh                 everything
#   scripts/test.sh --wine-only [SCENARIO...]
#                                   only the cross builds, import tables and
#                                   Wine suites (on the given scenarios)
set -uo pipefail
cd "$(dirname "$0")/.."

wine_only=0
corpus=(tests/scenarios/corpus)
if [ "${1:-}" = "--wine-only" ]; then
    wine_only=1
    shift
    [ $# -gt 0 ] && corpus=("$@")
fi

scripts/install_deps.sh || { echo "test.sh: installing the packages failed"; exit 1; }

summary=()
failed=0
started=$(date +%s)

logs=${QUILLEX_TEST_LOGS:-build/test-logs}
rm -rf "$logs"
mkdir -p "$logs"

# stage NAME COMMAND...: runs one suite, keeps its output in build/test-logs/
# and records how it ended, with the number of scenarios or steps it skipped
# (their reasons are the log's SKIP lines).
stage() {
    local name=$1 begin=$(date +%s)
    shift
    local log=$logs/$(echo "$name" | tr -c 'a-zA-Z0-9_\n' '-').log
    echo "=== $name"
    "$@" 2>&1 | tee "$log"
    local status=${PIPESTATUS[0]} took="$(( $(date +%s) - begin )) s"
    local skipped=$(grep -oE '[0-9]+ skipped' "$log" | tail -1 | cut -d' ' -f1)
    [ "${skipped:-0}" -gt 0 ] && took+="; $skipped skipped: grep SKIP $log"
    if [ "$status" -eq 0 ]; then
        summary+=("passed   $name ($took)")
    else
        summary+=("FAILED   $name ($took)")
        failed=1
    fi
}

# skip NAME REASON: records a suite that cannot run on this machine.
skip() {
    echo "=== $1: skipped, $2"
    summary+=("skipped  $1: $2")
}

# ctest keeps the tests' own output to itself: show the corpus test's skips
# and count.
scenario_lines() {
    awk '/ Testing: / { corpus = ($NF == "scenarios") } corpus && /^(SKIP|scenarios:)/' \
        "build/$1/Testing/Temporary/LastTest.log"
}
native() {
    cmake --preset native && cmake --build --preset native && ctest --preset native &&
        scenario_lines native
}
sanitize() {
    cmake --preset sanitize && cmake --build --preset sanitize && ctest --preset sanitize &&
        scenario_lines sanitize
}
cross() { cmake --preset "win32-$1" >/dev/null && cmake --build --preset "win32-$1"; }
# The GitHub workflows, checked whole by GitHub's own workflow parser; a
# broken copy must fail the same check.
workflows() {
    local modules=build/tools/node_modules
    [ -f $modules/@actions/workflow-parser/package.json ] ||
        npm install --prefix build/tools --no-audit --no-fund --loglevel=error \
            @actions/workflow-parser@0.3.61 || return 1
    node tests/workflows/check_workflows.mjs $modules .github/workflows/*.yml &&
        python3 tests/fails_as_expected.py 1 "Unexpected value 'timeout-minute'" \
            node tests/workflows/check_workflows.mjs $modules tests/workflows/broken-workflow.yml
}
imports() {
    python3 tests/wine/check_imports.py build/win32-{i686,x86_64}/tool/quillex{,-utf8}.exe
}

if [ $wine_only -eq 0 ]; then
    # Native build: unit tests and the scenario corpus on the simulated desktop.
    stage "native unit tests and scenarios" native
    # The same suite under AddressSanitizer and UndefinedBehaviorSanitizer.
    stage "sanitizers" sanitize
    # Static analysis, and a short bounded fuzzing run of every target.
    stage "static analysis" scripts/analyse.sh
    stage "fuzzing" tests/fuzz/run_fuzzers.sh 20
    stage "GitHub workflows" workflows
fi

# Both architectures build, and import only the system's own DLLs, everywhere.
stage "cross build i686" cross i686
stage "cross build x86_64" cross x86_64
stage "import tables" imports
if [ $wine_only -eq 0 ]; then
    # Reproducible exes and zips, version information, the packages and
    # their winget and Scoop manifests (checked with Debian's jsonschema).
    stage "release builds" /usr/bin/python3 tests/release/check_release.py
fi

# The corpus against real windows, for each architecture Wine can run here,
# natively or through qemu-i386 (each suite then enters its own namespace).
ran_wine=0
for arch in i686 x86_64; do
    if how=$(python3 tests/wine/winehost.py check "$arch"); then
        suite="$arch under Wine${how:+, $how}"
        stage "$suite" python3 tests/wine/run_wine_scenarios.py \
            --build "build/win32-$arch" "${corpus[@]}"
        if [ $wine_only -eq 0 ]; then
            # The UTF-8 build: the whole corpus, titles in many scripts, and
            # a real console.
            stage "$suite, quillex-utf8.exe" python3 tests/wine/run_wine_scenarios.py \
                --build "build/win32-$arch" --exe quillex-utf8.exe "${corpus[@]}"
            stage "$suite, titles in many scripts on a console" \
                python3 tests/wine/utf8_console_test.py --build "build/win32-$arch"
            # Listings while other windows keep coming and going.
            stage "$suite, windows churning" python3 tests/wine/churn_test.py \
                --build "build/win32-$arch" --runs 100
            # Wine's own Notepad, Registry Editor, WineMine and Clock.
            stage "$suite, real programs" python3 tests/wine/real_programs_test.py \
                --build "build/win32-$arch"
            # The user's guide's batch recipes, under Wine's cmd.exe.
            stage "$suite, the guide's batch recipes" \
                python3 tests/wine/guide_batch_test.py --build "build/win32-$arch"
        fi
        ran_wine=1
    else
        skip "$arch under Wine" "$how"
    fi
done
if [ $ran_wine -eq 0 ]; then
    # The product is the exe on real windows: a run that never tried it is
    # no pass.
    summary+=("FAILED   no Wine suite could run: quillex.exe was not tried on real windows")
    failed=1
fi

if [ $wine_only -eq 0 ]; then
    # Both paths of the run and test commands, whatever this machine is: a
    # loader that cannot start stands in for a kernel without 32-bit support.
    stage "machines without 32-bit support or without Wine, simulated" \
        python3 tests/wine/check_wine_fallbacks.py
fi

echo
echo "=== summary ($(( $(date +%s) - started )) s)"
printf '%s\n' "${summary[@]}"
exit $failed
