// Table-driven parser for "/name[:value]" switches and bare parameters.
// Knows nothing of the program that uses it: a program describes its
// switches as a table of plain rows whose pointer columns say where the
// results go.
#pragma once

#include <stdint.h>

// How a typed switch name is compared with a row's name.
typedef int32_t MatchMode;
enum {
    MATCH_LVAR = -2,   // like LONGFX, and the value is optional
    MATCH_LONGFX = -1, // typed name and row name agree over the shorter length
    MATCH_EXACT = 0,   // same length, same characters
    MATCH_SHORT1 = 1,  // 1 and above: the first m characters identify the switch
};

// Name shown in the long help listing ("EXACT", "SHORTn", "LONGFX", "LVAR"...).
const char *match_mode_name(MatchMode mode);

// One row of a switch table. A row with a null name closes the table.
// targets[3] doubles as the help text: it is shown as help when it begins
// with "- ", so a row with help text may have at most three conversions.
struct SwitchDescriptor {
    const char *name;
    MatchMode match_mode;
    unsigned char *flag;      // set to 1 when given, 0 when given negated
    const char *value_format; // null: no value; "%s": text; else scanf-style
    void *targets[4];         // each conversion lands as one 32-bit value
};
typedef const SwitchDescriptor *SwitchTable;

// Casts a help text into the shared fourth target slot of a row.
#define SWITCH_HELP(text) (const_cast<char *>(text))

// Only the first rows of a table are tracked for the summary.
enum { SEEN_ROWS = 100 };

// Per parse: 0 not given, 1 given, -1 given negated.
struct SeenState {
    signed char row[SEEN_ROWS];
};

// Parses args[1] .. args[count-1] in place against the table, storing flags
// and values through the rows. Prints its complaints on standard output and
// the help listing when asked for it. Returns the first switch that no row
// accepted, or null.
char *parse_switches(int32_t count, char **args, SwitchTable table);

// A switch that a row took otherwise than it was typed: the row dropped its
// value (it takes none), its conversion did not read the value whole (up to
// the end of its token or closing quote, and not past it), its typed name
// holds a blank (the word after it became part of the name), or it has no
// name at all (a lone "/").
enum SwitchDoubt { kDoubtNone, kDoubtValueDropped, kDoubtValueNotWhole, kDoubtNameBlank,
                   kDoubtNameEmpty };

// What a parse found besides the flags and values it stored.
struct ParseReport {
    SeenState seen;
    char *unknown;   // the first switch that no row accepted, or null
    int32_t surplus; // bare parameters that no text row took
    int32_t doubts;  // switches taken otherwise than typed; the first of them:
    SwitchDoubt doubt;       // why,
    const char *doubted_row; // the name of the row that took it,
    const char *doubted;     // and its value (or typed name for a name's doubt),
    int32_t doubted_length;  // as many characters as were typed
};

// Parses as parse_switches does and reports. A help request lists only the
// first listed_rows rows (every row when listed_rows is negative); the
// summary still covers every row given.
void parse_switches_reported(int32_t count, char **args, SwitchTable table,
                             int32_t listed_rows, ParseReport *report);

// The white-space class of the command line: blank, tab, line feed, vertical
// tab, form feed and carriage return, whatever the locale.
bool is_white_space(char c);

// Whether a row's format makes it a text row: "%s" or "%S".
bool is_text_format(const char *format);

// Cuts the token that begins at s in place (dropping quotes) and returns
// where scanning goes on.
char *next_token(char *s);

// Prints the help listing of the table, short or long as the request
// ("??" or "???") says, an empty line and the summary of the switches given.
void print_switch_help(SwitchTable table, const SeenState *seen,
                       const char *request);

// The same, listing only the first listed_rows rows (all when negative).
void print_switch_help_rows(SwitchTable table, int32_t listed_rows, const SeenState *seen,
                            const char *request);

// One line per row, short or long, for the first listed_rows rows (all
// when negative).
void print_switch_listing(SwitchTable table, int32_t listed_rows, bool long_form);

// Converts text with a row's scanf-style format into up to four targets,
// storing every conversion as one 32-bit value. Returns the number of fields
// stored, or -1 when the text ended before the first conversion.
int scan_switch_value(const char *text, const char *format,
                      void *const targets[4]);
// The same, telling how many characters of the text the conversions read
// (-1 when they did not all succeed).
int scan_switch_value_counted(const char *text, const char *format, void *const targets[4],
                              int *consumed);

// Prints up to four 32-bit values with a row's format, each conversion
// receiving its value in the width the conversion expects.
void print_switch_value(const char *format, const void *const targets[4]);
