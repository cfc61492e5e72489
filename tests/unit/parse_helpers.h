// Helpers for the parser tests: runs a parse on a kept-alive copy of a text
// and captures what it printed. The program's own switch table and options
// record serve as the main table under test.
#pragma once

#include <stdint.h>
#include <string.h>

#include <string>

#include "switches.h"
#include "window_tool.h"

// Resets the options as the program starts them: all zero, command id 1.
void reset_options();

// The outcome of one parse: what was printed, where the result points and
// how many parameters no row took.
struct ParseOutcome {
    std::string out;
    std::string result; // text of the returned pointer, or "<null>"
    int surplus;
    // The switches taken otherwise than typed: "" when none, else the
    // first ("not-whole /dook \"abc\"") and, after " x", how many.
    std::string doubt;
};

// Parses a copy of text (kept alive for the rest of the tests) as entry 1,
// the program's table as the program does (its help lists the first rows).
ParseOutcome parse_text(const char *text, SwitchTable table = quillex_switches);

// The short and long help listings of the program's table.
extern const char *const kShortListing;
extern const char *const kLongListing;
