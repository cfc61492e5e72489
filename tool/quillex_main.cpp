// Program entry: the usage text, the hand-over of the command line to the
// switch parser, and the one place where the run's exit code is decided.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <iterator>

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
        complain("\"/%.*s\" was taken as /%s: a blank does not end a switch name\n", length,
                 r.doubted, r.doubted_row);
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

// Which text given lost characters on the way ("title", "class name",
// "program name"), or null; only a pattern or /strict needs to know, and
// only a code page that lacks some characters loses any.
const char *find_lost(const char *tail, const char *copy) {
    const WindowToolOptions &o = options;
    const char *const values[] = {o.windowname, o.by_class ? o.class_name : nullptr,
                                  o.by_process ? o.process_name : nullptr};
    static const char *const names[] = {"title", "class name", "program name"};
    if (!(o.windowname || o.by_class || o.by_process) || !(o.like || o.strict)) return nullptr;
    const char *line = platform::GetCommandLineA();
    if (!line || tail < line || tail > line + strlen(line)) return nullptr;
    const size_t copy_at = static_cast<size_t>(tail - line);
    unsigned char *lost = static_cast<unsigned char *>(calloc(strlen(line) + 1, 1));
    const char *found = nullptr;
    if (lost && platform::command_line_losses(lost))
        for (int i = 0; i < 3 && !found; ++i)
            if (values[i] && values[i][0] && value_lost(values[i], copy, copy_at, lost, line))
                found = names[i];
    free(lost);
    return found;
}

const char *lost_text = nullptr;

// What selects windows other than the console: /console takes none of it.
unsigned char WindowToolOptions::*const kSelecting[] = {
    &WindowToolOptions::like,    &WindowToolOptions::handle,     &WindowToolOptions::all,
    &WindowToolOptions::visible, &WindowToolOptions::by_class,   &WindowToolOptions::by_process,
    &WindowToolOptions::by_pid,
};

// Pairs of actions that undo each other: /strict takes them for a mistake.
struct Undoing {
    unsigned char WindowToolOptions::*first, WindowToolOptions::*second;
    const char *names;
};
const Undoing kUndoing[] = {
    {&WindowToolOptions::hide, &WindowToolOptions::maximize, "/hide and /maximize"},
    {&WindowToolOptions::hide, &WindowToolOptions::activate, "/hide and /activate"},
    {&WindowToolOptions::minimize, &WindowToolOptions::maximize, "/minimize and /maximize"},
    {&WindowToolOptions::minimize, &WindowToolOptions::move, "/minimize and /move"},
    {&WindowToolOptions::minimize, &WindowToolOptions::size, "/minimize and /size"},
    {&WindowToolOptions::minimize, &WindowToolOptions::activate, "/minimize and /activate"},
};

// A value /strict cannot honour: an unset variable must not widen the
// selection, nor a number out of range do something else.
bool bad_value(const WindowToolOptions &o) {
    if (o.top && o.top_value != 0 && o.top_value != 1)
        complain("/top takes 1 (on top) or 0 (not on top), not %ld\n", static_cast<long>(o.top_value));
    else if (o.size && (o.size_width <= 0 || o.size_height <= 0))
        complain("/size takes a width and a height above 0\n");
    else if ((o.by_class && !o.class_name[0]) || (o.by_process && !o.process_name[0]))
        complain("/%s was given no name\n", o.by_class && !o.class_name[0] ? "class" : "process");
    else
        return false;
    return true;
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
    if (o.console && (o.windowname || std::any_of(std::begin(kSelecting), std::end(kSelecting),
                                                  [&o](auto f) { return o.*f != 0; }))) {
        complain("/console cannot be given with a title, /like, /handle, /all or a filter\n");
        return true;
    }
    const Undoing *undoing = std::find_if(std::begin(kUndoing), std::end(kUndoing),
                                          [&o](const Undoing &u) { return o.*u.first && o.*u.second; });
    if (undoing != std::end(kUndoing)) {
        complain("%s undo each other\n", undoing->names);
        return true;
    }
    if (bad_value(o)) return true;
    if (lost_text) {
        complain("the %s holds characters code page %u cannot show; use quillex-utf8.exe\n",
                 lost_text, platform::GetACP());
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
        for (const auto f : kSelecting) o.*f = 0;
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
    lost_text = find_lost(tail, copy);
    title_lost = lost_text != nullptr;
    end_program(run(report));
}
