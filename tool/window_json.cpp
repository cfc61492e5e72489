// The JSON listing: one object per window, in ASCII whatever the code page,
// titles whole; what a script reads without guessing an encoding. Strings
// are escaped as Python's json.dumps escapes them with ensure_ascii.
#include <stdio.h>
#include <stdlib.h>

#include "window_tool.h"

using namespace platform;

namespace {

enum { kNameSize = 260 };

int objects = 0;

void begin_object() { fputs(objects++ ? ",\n{" : "[\n{", stdout); }

void print_handle(WindowHandle window) {
    if (window) printf("\"0x%08X\"", static_cast<unsigned>(handle_number(window)));
    else fputs("null", stdout);
}

const char *boolean(int value) { return value ? "true" : "false"; }

// The class and the title, then whether the window is visible and enabled:
// what top-level windows and children have in common.
void print_class_title_states(WindowHandle window) {
    uint16_t name[kNameSize];
    const int name_length = GetClassNameW(window, name, kNameSize);
    fputs(",\"class\":", stdout);
    print_json_string(stdout, name, name_length);
    const WideText title = wide_title(window);
    fputs(",\"title\":", stdout);
    print_json_string(stdout, title.text, title.length);
    free(title.text);
    // One call at a time: the order of a call's arguments is the compiler's.
    const int visible = IsWindowVisible(window);
    const int enabled = IsWindowEnabled(window);
    printf(",\"visible\":%s,\"enabled\":%s", boolean(visible), boolean(enabled));
}

} // namespace

int json_top_window(WindowHandle window, intptr_t list_children) {
    if (filters_given() && !window_wanted(window, false)) return 1;
    begin_object();
    fputs("\"handle\":", stdout);
    print_handle(window);
    fputs(",\"owner\":", stdout);
    print_handle(window_owner(window));
    uint16_t program[kNameSize];
    printf(",\"pid\":%u,\"process\":", window_process(window, program, kNameSize));
    // null where Quillex may not open the process (another user's, say)
    if (program[0]) print_json_string(stdout, program, units_of(program));
    else fputs("null", stdout);
    print_class_title_states(window);
    const int minimized = IsIconic(window);
    const int maximized = IsZoomed(window);
    const int responding = !IsHungAppWindow(window);
    const int topmost = is_topmost(window);
    WindowRect r = {0, 0, 0, 0};
    GetWindowRect(window, &r);
    printf(",\"minimized\":%s,\"maximized\":%s,\"responding\":%s,\"topmost\":%s,\"x\":%ld,"
           "\"y\":%ld,\"width\":%ld,\"height\":%ld}",
           boolean(minimized), boolean(maximized), boolean(responding), boolean(topmost),
           static_cast<long>(r.left), static_cast<long>(r.top), static_cast<long>(r.right - r.left),
           static_cast<long>(r.bottom - r.top));
    if (list_children) EnumChildWindows(window, json_child_window, reinterpret_cast<intptr_t>(window));
    return 1;
}

int json_child_window(WindowHandle window, intptr_t parent) {
    begin_object();
    fputs("\"parent\":", stdout);
    // The enumeration hands back the parent it was given.
    print_handle(reinterpret_cast<WindowHandle>(parent)); // NOLINT(performance-no-int-to-ptr)
    fputs(",\"handle\":", stdout);
    print_handle(window);
    printf(",\"id\":%d", GetDlgCtrlID(window));
    print_class_title_states(window);
    putchar('}');
    return 1;
}

void end_json_listing() { fputs(objects ? "\n]\n" : "[]\n", stdout); }
