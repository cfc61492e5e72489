// Program entry: the usage text, the hand-over of the command line to the
// switch parser, and the one place where the run's exit code is decided.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "window_tool.h"

namespace {

char empty_name[] = "";
char *program_name = empty_name; // entry 0 for the parser, which never reads it

// Why /strict refuses a switch that a row took otherwise than it was typed.
void explain_doubt(const ParseReport &r) {
    const int length = static_cast<int>(r.doubted_length);
    switch (r.doubt) {
    case kDoubtValueDropped:
        complain("/%s takes no value, but was given \"%.*s\"\n", r.doubted_row, length, r.doubted);
        break;
    case kDoubtValueNotWhole:
        complain("/%s cannot read \"%.*s\" as its value\n", r.doubted_row, length, r.doubted);
        break;
    case kDoubtNameBlank:
        complain("\"/%.*s\" was taken as /%s: a blank does not end a switch name (give the "
                 "title first, or after /w:)\n", length, r.doubted, r.doubted_row);
        break;
    default:
        complain("a \"/\" without a switch name was taken as /%s\n", r.doubted_row);
    }
}

// Whether the text of a value held characters that did not reach this
// program: the bytes it came from, in the raw line, are marked lost. The
// parser dropped the quotes of a quoted value, and kept one of each pair.
bool value_lost(const char *value, const char *copy, size_t copy_at, const unsigned char *lost,
                const char *line) {
    size_t at = copy_at + static_cast<size_t>(value - copy);
    size_t length = strlen(value);
    if (line[at] == '"') ++at;
    for (const char *q = value; (q = strchr(q, '"')) != nullptr; ++q) ++length;
    for (size_t i = at; i < at + length && line[i]; ++i)
        if (lost[i]) return true;
    return false;
}

// Whether the title lost characters on the way; only a pattern or /strict
// needs to know, and only a code page that lacks some characters loses any.
bool find_title_lost(const char *tail, const char *copy) {
    const WindowToolOptions &o = options;
    if (!o.windowname || !(o.like || o.strict)) return false;
    const char *line = platform::GetCommandLineA();
    if (!line || tail < line || tail > line + strlen(line)) return false;
    const size_t copy_at = static_cast<size_t>(tail - line);
    unsigned char *lost = static_cast<unsigned char *>(calloc(strlen(line) + 1, 1));
    const bool found = lost && platform::command_line_losses(lost) &&
                       value_lost(o.windowname, copy, copy_at, lost, line);
    free(lost);
    return found;
}

// What a bad command line is under /strict: a switch no row took, a word
// no title took, an empty title, a switch taken otherwise than typed,
// switches that cannot go together, or a title that did not arrive whole.
// Nothing is done then.
bool bad_command_line(const ParseReport &report) {
    const WindowToolOptions &o = options;
    if (report.unknown || report.surplus > 0 || (o.windowname && !o.windowname[0])) return true;
    if (report.doubts > 0) {
        explain_doubt(report);
        return true;
    }
    if (o.gone && o.exist) {
        complain("/gone and /exist cannot be given together\n");
        return true;
    }
    if (o.console && (o.windowname || o.like || o.handle || o.all)) {
        complain("/console names the window itself: a title, /like, /handle or /all cannot "
                 "be given with it\n");
        return true;
    }
    if (title_lost) {
        complain("the title holds characters code page %u cannot show; use quillex-utf8.exe\n",
                 platform::GetACP());
        return true;
    }
    return false;
}

void print_every_switch() {
    printf("Quillex %s\n", QUILLEX_VERSION);
    printf("\nQuillex Program Switches:\n\n");
    print_switch_listing(quillex_switches, -1, false);
    printf("\n");
}

int run(const ParseReport &report) {
    WindowToolOptions &o = options;
    if (o.strict && bad_command_line(report)) return kExitBadCommandLine;
    // With /json standard output holds the array alone: no log lines.
    if (o.json) o.log = 0;
    // The console is the one window /console names: what would name
    // another is left out.
    if (o.console) {
        o.windowname = nullptr;
        o.like = o.handle = o.all = 0;
    }
    if (o.help) {
        print_every_switch();
        return 0;
    }
    return run_window_actions();
}

} // namespace

void print_usage() {
    printf("\nQuillex Program Switches:\n\n");
    char help_request[] = "??";
    char *args[2] = {program_name, help_request};
    ParseReport ignored;
    parse_switches_reported(2, args, quillex_switches, kListedSwitches, &ignored);
}

int main(int argc, char **argv) {
    start_run_clock();
    if (argc > 0 && argv[0]) program_name = argv[0];
    if (platform::argument_count(argc, argv) <= 1) {
        print_usage();
        end_program(1);
    }

    // The parser cuts and lowers its text in place and the options keep
    // pointers into it, so it gets a copy that lives until the process ends.
    const char *tail = command_line_tail();
    char *copy = static_cast<char *>(malloc(strlen(tail) + 1));
    if (!copy) end_program(1);
    while (is_white_space(*tail)) ++tail;
    memcpy(copy, tail, strlen(tail) + 1);

    ParseReport report; // the parser reports unknown switches itself
    parse_tool_switches(copy, &report);
    title_lost = find_title_lost(tail, copy);
    end_program(run(report));
}
