#!/bin/bash
# Line coverage that the fuzz corpora reach in the code each target exercises:
# rebuilds the targets with coverage instrumentation, replays the seeds and
# the working corpora (build/fuzz/corpus, grown by run_fuzzers.sh) and prints
# llvm-cov's report.
set -euo pipefail
cd "$(dirname "$0")/../.."
out=build/fuzz-coverage
mkdir -p "$out"
flags=(-std=c++17 -O1 -fsanitize=fuzzer -fprofile-instr-generate -fcoverage-mapping
       -I switches -I tool -I platform -I tests/fuzz)
switches=(switches/parse_switches.cpp switches/switch_help.cpp switches/switch_values.cpp
          tool/switch_table.cpp)

clang++ "${flags[@]}" tests/fuzz/fuzz_parse_switches.cpp tests/fuzz/fuzz_tables.cpp \
    "${switches[@]}" -o "$out/fuzz_parse_switches"
clang++ "${flags[@]}" tests/fuzz/fuzz_next_token.cpp "${switches[@]}" -o "$out/fuzz_next_token"
clang++ "${flags[@]}" tests/fuzz/fuzz_command_line_tail.cpp tests/fuzz/fuzz_tables.cpp \
    tool/command_line_tail.cpp "${switches[@]}" -o "$out/fuzz_command_line_tail"

profiles=()
for target in fuzz_parse_switches fuzz_next_token fuzz_command_line_tail; do
    mkdir -p "build/fuzz/corpus/$target"
    LLVM_PROFILE_FILE="$out/$target.profraw" "$out/$target" -runs=0 \
        "build/fuzz/corpus/$target" "tests/fuzz/seeds/$target" >/dev/null 2>&1
    llvm-profdata merge -sparse "$out/$target.profraw" -o "$out/$target.profdata"
    echo "== $target"
    llvm-cov report "$out/$target" -instr-profile="$out/$target.profdata" \
        "${switches[@]}" tool/command_line_tail.cpp | tail -n +1
done
