#!/bin/bash
# Builds the fuzz targets and runs each for SECONDS (default 20), starting
# from the seed corpus and any earlier findings kept as regressions. A
# finding fails the run; its input is left in build/fuzz/findings/. One line
# per target, as the suites report ("ok N ..." or "not ok N ..."), then the
# closing count.
#
#     tests/fuzz/run_fuzzers.sh [SECONDS]        # e.g. 3600 for a long run
set -euo pipefail
cd "$(dirname "$0")/../.."
seconds=${1:-20}

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz >/dev/null

failed=0
passed=0
for target in fuzz_parse_switches fuzz_next_token fuzz_command_line_tail fuzz_title_pattern \
              fuzz_json_string; do
    n=$((passed + failed + 1))
    binary=build/fuzz/tests/fuzz/$target
    work=build/fuzz/corpus/$target
    mkdir -p "$work" build/fuzz/findings
    # Earlier crash inputs must stay fixed: run them once first.
    if [ -d "tests/fuzz/regressions/$target" ]; then
        "$binary" -runs=0 tests/fuzz/regressions/$target/* >/dev/null 2>&1 || {
            echo "not ok $n $target (a regression input fails again)"; failed=$((failed + 1))
            continue; }
    fi
    if "$binary" -max_total_time="$seconds" -print_final_stats=1 \
            -artifact_prefix=build/fuzz/findings/ "$work" "tests/fuzz/seeds/$target" \
            > "build/fuzz/$target.log" 2>&1; then
        runs=$(grep -o 'stat::number_of_executed_units: [0-9]*' "build/fuzz/$target.log" | grep -o '[0-9]*$')
        cov=$(grep -o 'cov: [0-9]* ft: [0-9]*' "build/fuzz/$target.log" | tail -1)
        echo "ok $n $target ($runs runs, $cov)"
        passed=$((passed + 1))
    else
        echo "not ok $n $target (see build/fuzz/$target.log)"
        failed=$((failed + 1))
    fi
done
echo "$passed passed, $failed failed, 0 skipped"
[ "$failed" -eq 0 ]
