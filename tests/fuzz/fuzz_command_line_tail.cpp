// Fuzzes the command-line tail with arbitrary raw command lines, then parses
// the tail the way the program's entry does.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "fuzz_tables.h"
#include "window_tool.h"

static const char *raw_line = "";

const char *platform::GetCommandLineA() { return raw_line; }

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    if (!freopen("/dev/null", "w", stdout)) abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    char *line = static_cast<char *>(malloc(size + 1));
    memcpy(line, data, size);
    line[size] = 0;
    raw_line = line;
    const char *tail = command_line_tail();
    if (tail < line || tail > line + strlen(line)) abort(); // never past the end

    reset_fuzz_tables();
    while (is_white_space(*tail)) ++tail;
    size_t length = strlen(tail);
    char *copy = static_cast<char *>(malloc(length + 1));
    memcpy(copy, tail, length + 1);
    char program[] = "quillex";
    char *args[2] = {program, copy};
    ParseReport report;
    parse_switches_reported(2, args, fuzz_table(kToolTable), kListedSwitches, &report);
    check_parse(kToolTable, report.seen, &copy, &length, 1, report.unknown);
    free(copy);
    free(line);
    return 0;
}
