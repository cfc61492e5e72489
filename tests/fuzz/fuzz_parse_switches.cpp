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

    ParseReport report;
    // The number of rows a help request lists comes from the data too.
    const int32_t listed = static_cast<int32_t>(data[0] / kTableCount % 8) - 1;
    parse_switches_reported(count + 1, args, fuzz_table(which), listed, &report);
    check_parse(which, report.seen, buffers, sizes, count, report.unknown);
    if (report.surplus < 0) abort();
    print_switch_help_rows(fuzz_table(which), listed, &report.seen, "??");
    print_switch_help(fuzz_table(which), &report.seen, "???");
    for (int i = 0; i < count; ++i) free(buffers[i]);
    return 0;
}
