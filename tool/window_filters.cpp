// What a window must be to be one of the run's: the title given (whole but
// for case, or the pattern of /like) and the filters /visible, /class,
// /process and /pid. Never Quillex's own console or the terminal that holds
// it, nor a window the system draws in place of a hung one.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "window_tool.h"

using namespace platform;

namespace {

enum { kNameSize = 260 };

struct Wanted {
    bool built;
    WideText title;   // none when no title was given
    WideText class_name, program; // none when not asked for
    bool pattern, visible, by_pid;
    uint32_t pid;
};
Wanted wanted = {false, {nullptr, 0}, {nullptr, 0}, {nullptr, 0}, false, false, false, 0};

bool incomplete = false;

bool given(const char *text) { return text && text[0]; }

// Built once, when first needed; a program named without an extension is
// its ".exe".
const Wanted &the_wanted() {
    const WindowToolOptions &o = options;
    if (wanted.built) return wanted;
    wanted.built = true;
    wanted.pattern = o.like != 0;
    wanted.visible = o.visible != 0;
    wanted.by_pid = o.by_pid != 0;
    wanted.pid = static_cast<uint32_t>(o.pid);
    if (o.windowname) wanted.title = wide_text(o.windowname);
    if (o.by_class && given(o.class_name)) wanted.class_name = wide_text(o.class_name);
    if (o.by_process && given(o.process_name)) {
        const size_t length = strlen(o.process_name);
        char *name = static_cast<char *>(malloc(length + 5));
        if (name) {
            snprintf(name, length + 5, "%s%s", o.process_name,
                     strchr(o.process_name, '.') ? "" : ".exe");
            wanted.program = wide_text(name);
            free(name);
        }
    }
    if (wanted.title.length < 0 || wanted.class_name.length < 0 || wanted.program.length < 0)
        note_search_failure("a title or name given could not be converted");
    return wanted;
}

bool same(const uint16_t *a, int a_length, const WideText &b) {
    return b.length > 0 && same_ignoring_case(a, a_length, b.text, b.length);
}

bool title_fits(WindowHandle window, const Wanted &w) {
    const WideText title = wide_title(window);
    if (title.length < 0) note_search_failure("a window's title could not be read");
    const bool fits =
        title.length > 0 && w.title.length > 0 &&
        (w.pattern ? title_matches(w.title.text, w.title.length, title.text, title.length)
                   : same_ignoring_case(title.text, title.length, w.title.text, w.title.length));
    free(title.text);
    return fits;
}

// The classes of the windows that every program with windows has and no
// one means: the input method's.
bool is_input_method(const uint16_t *name, int length) {
    static const uint16_t kIme[] = {'I', 'M', 'E'};
    static const uint16_t kTextServices[] = {'M', 'S', 'C', 'T', 'F', 'I', 'M', 'E', ' ', 'U', 'I'};
    return same_ignoring_case(name, length, kIme, 3) ||
           same_ignoring_case(name, length, kTextServices, 11);
}

bool is_ghost(const uint16_t *name, int length) {
    static const uint16_t kGhost[] = {'G', 'h', 'o', 's', 't'};
    return same_ignoring_case(name, length, kGhost, 5);
}

} // namespace

void note_search_failure(const char *what) {
    if (!incomplete) complain("%s (error %u): not every window could be looked at\n", what,
                              GetLastError());
    incomplete = true;
}

bool search_failed() { return incomplete; }

bool filters_name_windows() {
    const Wanted &w = the_wanted();
    return w.by_pid || w.class_name.length || w.program.length;
}

bool filters_given() { return the_wanted().visible || filters_name_windows(); }

bool window_wanted(WindowHandle window, bool by_title) {
    const Wanted &w = the_wanted();
    const bool titled = by_title && options.windowname;
    if (titled && !title_fits(window, w)) return false;
    // Without a title, only windows that have one: a program's hidden
    // helpers have none.
    if (!titled && title_length(window) <= 0) return false;
    if (w.visible && !IsWindowVisible(window)) return false;
    uint16_t name[kNameSize];
    const int length = GetClassNameW(window, name, kNameSize);
    // Every window has a class: none read, the window could not be looked at.
    if (read_failed(length)) note_search_failure("a window's class could not be read");
    if (is_ghost(name, length) || (!titled && is_input_method(name, length))) return false;
    if (w.class_name.length && !same(name, length, w.class_name)) return false;
    if (w.by_pid || w.program.length) {
        const uint32_t pid = window_process(window, name, kNameSize);
        if (!pid) note_search_failure("a window's process could not be read");
        if (w.by_pid && pid != w.pid) return false;
        if (w.program.length && !same(name, units_of(name), w.program))
            return false;
    }
    // cmd.exe puts the running command line in its console's title.
    return !is_own_console(window);
}

void describe_filters(char *text, size_t size) {
    const WindowToolOptions &o = options;
    const Wanted &w = the_wanted();
    const bool by_class = w.class_name.length > 0, by_program = w.program.length > 0;
    char pid[24] = "";
    if (w.by_pid) snprintf(pid, sizeof pid, "pid=%ld", static_cast<long>(o.pid));
    snprintf(text, size, "%s%s%s%s%s%s%s", by_class ? "class=" : "", by_class ? o.class_name : "",
             by_class && (by_program || w.by_pid) ? " " : "", by_program ? "process=" : "",
             by_program ? o.process_name : "", by_program && w.by_pid ? " " : "", pid);
}
