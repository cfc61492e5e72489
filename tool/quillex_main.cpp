// Program entry: the usage text and the hand-over of the command line to the
// switch parser.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "window_tool.h"

namespace {

char empty_name[] = "";
char *program_name = empty_name; // entry 0 for the parser, which never reads it

} // namespace

void print_usage_and_exit() {
    printf("\nQuillex Program Switches:\n\n");
    char help_request[] = "??";
    char *args[2] = {program_name, help_request};
    parse_switches(2, args, quillex_switches);
    end_program(1);
}

int main(int argc, char **argv) {
    if (argc > 0 && argv[0]) program_name = argv[0];
    if (platform::argument_count(argc, argv) <= 1) print_usage_and_exit();

    // The parser cuts and lowers its text in place and the options keep
    // pointers into it, so it gets a copy that lives until the process ends.
    const char *tail = command_line_tail();
    char *copy = static_cast<char *>(malloc(strlen(tail) + 1));
    if (!copy) end_program(1);
    while (is_white_space(*tail)) ++tail;
    memcpy(copy, tail, strlen(tail) + 1);

    char *args[2] = {program_name, copy};
    parse_switches(2, args, quillex_switches); // it reports unknown switches itself
    run_window_actions();
}
