// Program entry: the usage text, the hand-over of the command line to the
// switch parser, and the one place where the run's exit code is decided.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "window_tool.h"

namespace {

char empty_name[] = "";
char *program_name = empty_name; // entry 0 for the parser, which never reads it

// What a bad command line is under /strict: a switch no row took, a word
// no title took, or an empty title. Nothing is done then.
bool bad_command_line(const ParseReport &report) {
    const WindowToolOptions &o = options;
    if (report.unknown || report.surplus > 0 || (o.windowname && !o.windowname[0])) return true;
    if (o.gone && o.exist) {
        fputs("Quillex: /gone and /exist cannot be given together\n", stderr);
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
    if (options.strict && bad_command_line(report)) return kExitBadCommandLine;
    // With /json standard output holds the array alone: no log lines.
    if (options.json) options.log = 0;
    if (options.help) {
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
    end_program(run(report));
}
