// A switch table shaped like the window tool's, with its variables, for the
// parser tests.
#pragma once

#include <stdint.h>
#include <string.h>

#include <string>
#include <vector>

#include "switches.h"

struct ToolVars {
    char *windowname;
    unsigned char dook;
    int32_t command_id;
    unsigned char exist, hide, show, minimize, restore, close, listwin, listsub, log;
};

extern ToolVars vars;
extern const SwitchDescriptor tool_table[];

// Resets the variables as the program starts them: all zero, command id 1.
void reset_vars();

// The outcome of one parse: what was printed and where the result points.
struct ParseOutcome {
    std::string out;
    std::string result; // text of the returned pointer, or "<null>"
};

// Parses a copy of text (kept alive in a per-test buffer) as entry 1.
ParseOutcome parse_text(const char *text, SwitchTable table = tool_table);

// The short and long help listings of tool_table.
extern const char *const kShortListing;
extern const char *const kLongListing;
