// Fuzzes the parser over every kind of table, then the help listing and the
// summary in both forms, checking the parse's invariants.
#include <stdio.h>
#include <stdlib.h>

#include "fuzz_tables.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    // Messages would only slow the fuzzer down.
    if (!freopen("/dev/null", "w", stdout)) abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1) return 0;
    const int which = data[0] % kTableCount;
    reset_fuzz_tables();
    enum { kMaxArgs = 4 };
    char program[] = "quillex";
    char *buffers[kMaxArgs];
    size_t sizes[kMaxArgs];
    const int count = split_arguments(data + 1, size - 1, buffers, sizes, kMaxArgs);
    char *args[kMaxArgs + 1] = {program};
    for (int i = 0; i < count; ++i) args[i + 1] = buffers[i];

    SeenState seen;
    const char *result = parse_switches_tracked(count + 1, args, fuzz_table(which), &seen);
    check_parse(which, seen, buffers, sizes, count, result);
    print_switch_help(fuzz_table(which), &seen, "??");
    print_switch_help(fuzz_table(which), &seen, "???");
    for (int i = 0; i < count; ++i) free(buffers[i]);
    return 0;
}
