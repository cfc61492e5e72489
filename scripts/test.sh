#!/bin/bash
# Builds and runs every test, after installing what is missing (as root).
#
# One line per stage as it starts and ends, with its time and counts; its
# whole output in build/test-logs/, the last 30 lines of one that failed
# shown; a time limit per stage. The Wine suites run beside the stages that
# compute (under nice, one build job), the two architectures side by side,
# each on its own Wine prefix and display; what asserts a time runs last,
# alone. The README tells more.
#
#   scripts/test.sh                            everything
#   scripts/test.sh --wine-only [SCENARIO...]  the cross builds, import tables
#                                              and the corpus under Wine (on
#                                              the given scenarios)
# QUILLEX_NO_INSTALL=1 skips the installer; QUILLEX_PREFIX_ROOT names the
# Wine prefixes (ROOT-i686, ROOT-x86_64; build/wineprefix by default).
set -uo pipefail
cd "$(dirname "$0")/.."

wine_only=0
corpus=(tests/scenarios/corpus)
if [ "${1:-}" = "--wine-only" ]; then
    wine_only=1
    shift
    [ $# -gt 0 ] && corpus=("$@")
fi
[ -n "${QUILLEX_NO_INSTALL:-}" ] || scripts/install_deps.sh ||
    { echo "test.sh: installing the packages failed"; exit 1; }

logs=${QUILLEX_TEST_LOGS:-build/test-logs}
root=${QUILLEX_PREFIX_ROOT:-build/wineprefix}
rm -rf "$logs"
mkdir -p "$logs"
started=$(date +%s)
# Every lane gets a virtual display of its own: one shared by two lanes would
# show each lane's windows in the other's listings.
unset DISPLAY

# The plan: per stage its lane, time limit, name and command.
lanes=() limits=() names=() commands=()
add() { lanes+=("$1"); limits+=("$2"); names+=("$3"); commands+=("$4"); }

ctest_stage() {
    echo "cmake --preset $1 && cmake --build --preset $1 &&
          { ctest --preset $1 --output-junit ctest.xml; status=\$?;
            python3 tests/wine/suite.py junit build/$1/ctest.xml; exit \$status; }"
}
scenarios() { printf ' %q' "${corpus[@]}"; }
# The GitHub workflows, checked whole by GitHub's own workflow parser; a
# broken copy must fail the same check.
read -r -d '' workflows <<'CHECK'
modules=build/tools/node_modules
[ -f $modules/@actions/workflow-parser/package.json ] ||
    npm install --prefix build/tools --no-audit --no-fund --loglevel=error \
        @actions/workflow-parser@0.3.61 || exit 1
node tests/workflows/check_workflows.mjs $modules .github/workflows/*.yml &&
    python3 tests/fails_as_expected.py 1 "Unexpected value 'timeout-minute'" \
        node tests/workflows/check_workflows.mjs $modules tests/workflows/broken-workflow.yml
CHECK

add first 900 "cross build i686" "cmake --preset win32-i686 >/dev/null && cmake --build --preset win32-i686"
add first 900 "cross build x86_64" "cmake --preset win32-x86_64 >/dev/null && cmake --build --preset win32-x86_64"
add first 120 "import tables" "python3 tests/wine/check_imports.py build/win32-{i686,x86_64}/tool/quillex{,-utf8}.exe"
if [ $wine_only -eq 0 ]; then
    add compute 900 "native unit tests and scenarios" "$(ctest_stage native)"
    add compute 1500 "sanitizers" "$(ctest_stage sanitize)"
    add compute 900 "static analysis" "scripts/analyse.sh"
    add compute 600 "fuzzing" "tests/fuzz/run_fuzzers.sh 20"
    add compute 600 "GitHub workflows" "$workflows"
    add compute 1500 "release builds" "/usr/bin/python3 tests/release/check_release.py"
    # Both paths of the run and test commands, whatever this machine is, on
    # Wine prefixes of their own.
    add compute 1800 "machines without 32-bit support or without Wine, simulated" \
        "QUILLEX_PREFIX_ROOT=build/wineprefix-fallbacks python3 tests/wine/check_wine_fallbacks.py"
fi

ran_wine=0
for arch in i686 x86_64; do
    if ! how=$(python3 tests/wine/winehost.py check "$arch"); then
        add skip 0 "$arch under Wine" "$how"
        continue
    fi
    ran_wine=1
    on="$arch under Wine${how:+, $how}"
    build="--build build/win32-$arch"
    lane="wine-$arch"
    # Each architecture on a Wine prefix of its own.
    prefix="QUILLEX_WINE_PREFIX=$root-$arch"
    if [ $wine_only -eq 1 ]; then
        add "$lane" 1800 "$on" "$prefix python3 tests/scenarios/run_scenarios.py --host wine $build$(scenarios)"
        continue
    fi
    # Two lanes for each architecture, most of whose time is waiting.
    runner="python3 tests/scenarios/run_scenarios.py --host wine $build"
    add "$lane" 1800 "$on, quillex.exe, the corpus" "$prefix $runner --timed none$(scenarios)"
    add "$lane" 900 "$on, listings while windows churn" "$prefix python3 tests/wine/churn_test.py $build --runs 100"
    add "$lane" 900 "$on, Wine's own programs" "$prefix python3 tests/wine/real_programs_test.py $build"
    add "$lane-2" 1800 "$on, quillex-utf8.exe, the corpus" \
        "$prefix-2 $runner --exe quillex-utf8.exe --timed none$(scenarios)"
    add "$lane-2" 1200 "$on, the guide's batch recipes" "$prefix-2 python3 tests/wine/guide_batch_test.py $build"
    for exe in quillex.exe quillex-utf8.exe; do
        add alone 1200 "$on, $exe, the corpus's scenarios that assert a time" \
            "$prefix $runner --exe $exe --timed only$(scenarios)"
    done
    add alone 900 "$on, titles in many scripts on a console" "$prefix python3 tests/wine/utf8_console_test.py $build"
done

total=${#lanes[@]}
results=$logs/results
: > "$results"

# run_stage NUMBER: runs one stage of the plan, says so as it starts and
# ends, and records how it ended.
run_stage() {
    local lane=${lanes[$1]} limit=${limits[$1]} name=${names[$1]} command=${commands[$1]}
    local tag="[$(($1 + 1))/$total]"
    if [ "$lane" = skip ]; then
        echo "$tag $name: skipped, $command"
        echo "skipped" >> "$results"
        return
    fi
    local log
    log=$logs/$(printf '%02d' $(($1 + 1)))-$(echo "$name" | tr -c 'a-zA-Z0-9_\n' '-').log
    echo "$tag $name ..."
    local begin status counts="" last=""
    begin=$(date +%s)
    timeout -k 10 "$limit" bash -c "$command" > "$log" 2>&1
    status=$?
    [ -s "$log" ] && last=$(tail -n 1 "$log")
    [[ $last =~ ^[0-9]+\ passed,\ [0-9]+\ failed,\ [0-9]+\ skipped$ ]] && counts=" ($last)"
    local took="in $(($(date +%s) - begin)) s"
    if [ $status -eq 0 ]; then
        echo "$tag $name passed $took$counts"
        echo "passed" >> "$results"
    else
        [ $status -eq 124 ] && took="$took: no end within its limit of $limit s"
        echo "$tag $name FAILED $took$counts"
        tail -n 30 "$log" | sed 's/^/    /'
        echo "failed" >> "$results"
    fi
}

# run_lane LANE...: runs the plan's stages of those lanes, in order.
run_lane() {
    local i lane
    for i in "${!lanes[@]}"; do
        for lane in "$@"; do
            [ "${lanes[$i]}" = "$lane" ] && run_stage "$i"
        done
    done
}

run_lane skip first
# The compute lane, gently, beside the Wine lanes, which run side by side.
( export CMAKE_BUILD_PARALLEL_LEVEL=1; renice -n 10 $BASHPID >/dev/null; run_lane compute ) &
for lane in wine-i686 wine-i686-2 wine-x86_64; do
    run_lane $lane &
done
run_lane wine-x86_64-2
wait
run_lane alone

passed=0 failed=0 skipped=0
while read -r outcome; do
    case $outcome in
        passed) passed=$((passed + 1)) ;;
        failed) failed=$((failed + 1)) ;;
        skipped) skipped=$((skipped + 1)) ;;
    esac
done < "$results"
if [ $ran_wine -eq 0 ]; then
    # The product is the exe on real windows: a run that never tried it is
    # no pass.
    echo "FAILED: no Wine suite could run: quillex.exe was not tried on real windows"
    failed=$((failed + 1))
fi
echo "$total stages: $passed passed, $failed failed, $skipped skipped in $(($(date +%s) - started)) s; logs in $logs"
[ $failed -eq 0 ]
