// The window listings: one line per titled top-level window with its state,
// an optional y/n question to show or hide it, and the child windows.
#include <stdio.h>

#include "window_tool.h"

using namespace platform;

namespace {

enum { kTitleSize = 128, kCtrlC = 3 };

// Answers the question that ends the window's line with a key press.
void answer_question(WindowHandle window, int command) {
    const int key = read_console_key();
    if (key == 'Y' || key == 'y') show_window_bounded(window, command);
    if (key == kCtrlC) {
        printf("^C - Exit\r\n");
        end_program(0);
    }
    // A lead byte of 0 leaves the line open; -1 (no console) ends it too.
    if (key != 0) printf("\r\n");
}

} // namespace

int list_top_window(WindowHandle window, intptr_t list_children) {
    char title[kTitleSize] = "";
    const int copied = GetWindowTextA(window, title, kTitleSize);
    const bool visible = IsWindowVisible(window) != 0;
    const bool zoomed = IsZoomed(window) != 0;
    const bool iconic = IsIconic(window) != 0;

    const bool ask_show = options.show && !visible;
    const bool ask_hide = !ask_show && options.hide && visible;
    if (copied > 0 && title[0]) {
        printf("\"%s\"%s%s%s", title,
               iconic ? " - Iconized" : zoomed ? " - Maximized" : "",
               visible ? "" : " - Hidden",
               ask_show ? ". Do Show? (y/n):" : ask_hide ? ". Do Hide? (y/n):" : "\n");
        if (ask_show) answer_question(window, SW_SHOW);
        if (ask_hide) answer_question(window, SW_HIDE);
    }
    if (list_children) EnumChildWindows(window, list_child_window, 0);
    return 1;
}

int list_child_window(WindowHandle window, intptr_t) {
    char title[kTitleSize] = "";
    // One-character titles are skipped along with empty ones.
    if (GetWindowTextA(window, title, kTitleSize) < 2 || !title[0]) return 1;
    const int id = GetDlgCtrlID(window);
    if (id != 0)
        printf("\t\"%s\" id=%ld (0x%x)\n", title, static_cast<long>(id), static_cast<unsigned>(id));
    else
        printf("\t\"%s\"\n", title);
    return 1;
}
