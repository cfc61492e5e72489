// The help listing of a switch table and the summary of the switches given.
#include "switches.h"

#include <stdio.h>
#include <string.h>

namespace {

const char kBlanks[] = "                                                       ";
const char kDots[] = " ......................................................";

const char *help_text(const SwitchDescriptor &row) {
    const char *help = static_cast<const char *>(row.targets[3]);
    return (help && help[0] == '-' && help[1] == ' ') ? help : " ";
}

void print_row(const SwitchDescriptor &row, bool long_form) {
    const char *format = row.value_format ? row.value_format : " ";
    const char *help = help_text(row);
    const int pad1 = 22 - int(strlen(row.name)) - int(strlen(format));
    int pad2 = 70 - pad1 - int(strlen(row.name)) - int(strlen(format)) - int(strlen(help));
    if (pad2 < 1) pad2 = 1;
    const char separator = row.value_format ? '=' : ' ';
    if (long_form)
        printf("%c%s%c%s%.*s%s%.*s(%s)\n", '/', row.name, separator, format,
               pad1 < 1 ? 1 : pad1, kBlanks, help, pad2, kDots,
               match_mode_name(row.match_mode));
    else
        printf("%c%s%c%s%.*s%s\n", '/', row.name, separator, format, pad1 < 1 ? 1 : pad1,
               kBlanks, help);
}

void print_summary_value(const SwitchDescriptor &row) {
    if (!row.value_format) return;
    if (is_text_format(row.value_format)) {
        // "%S" is shown like "%s": the value is the same 8-bit text. A text
        // row given without a value and never set has nothing to show.
        const char *const *target = static_cast<const char *const *>(row.targets[0]);
        if (target && *target) printf("%s", *target);
        return;
    }
    const void *const targets[4] = {row.targets[0], row.targets[1], row.targets[2],
                                    row.targets[3]};
    print_switch_value(row.value_format, targets);
}

} // namespace

const char *match_mode_name(MatchMode mode) {
    static const char *const names[] = {"LVAR",   "LONGFX", "EXACT",  "SHORT1", "SHORT2",
                                        "SHORT3", "SHORT4", "SHORT5", "SHORTn"};
    if (mode < -2) mode = -2;
    if (mode > 6) mode = 6;
    return names[mode + 2];
}

void print_switch_listing(SwitchTable table, int32_t listed_rows, bool long_form) {
    for (int32_t r = 0; table[r].name && (listed_rows < 0 || r < listed_rows); ++r)
        print_row(table[r], long_form);
}

void print_switch_help(SwitchTable table, const SeenState *seen, const char *request) {
    print_switch_help_rows(table, -1, seen, request);
}

void print_switch_help_rows(SwitchTable table, int32_t listed_rows, const SeenState *seen,
                            const char *request) {
    const bool long_form = request[0] && request[1] && request[2] == '?';
    print_switch_listing(table, listed_rows, long_form);
    printf("\n");
    for (size_t r = 0; r < SEEN_ROWS && table[r].name; ++r) {
        const signed char state = seen->row[r];
        if (state == 0) continue;
        printf("%c%s%s%c", '/', state == 1 ? "" : "no", table[r].name,
               table[r].value_format ? '=' : ' ');
        print_summary_value(table[r]);
        printf("\n");
    }
}
