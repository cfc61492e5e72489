// The window listings: one line per titled top-level window with its state,
// an optional y/n question to show or hide it, and the child windows.
#include <stdio.h>

#include "window_tool.h"

using namespace platform;

namespace {

enum { kCtrlC = 3 };

bool interrupted = false;

// Answers the question that ends the window's line with a key press; false
// when it was answered with Ctrl+C.
bool answer_question(WindowHandle window, const char *title, int command) {
    const int key = read_console_key();
    if (key == 'Y' || key == 'y') show_window(window, title, command, false);
    if (key == kCtrlC) {
        printf("^C - Exit\r\n");
        interrupted = true;
        return false;
    }
    // A lead byte of 0 leaves the line open; -1 (no console) ends it too.
    if (key != 0) printf("\r\n");
    return true;
}

} // namespace

bool listing_interrupted() { return interrupted; }

int list_top_window(WindowHandle window, intptr_t list_children) {
    // The filters narrow the listing; a title does not.
    if (filters_given() && !window_wanted(window, false)) return 1;
    char title[kTitleSize] = "";
    const int copied = read_title(window, title);
    const bool visible = IsWindowVisible(window) != 0;
    const bool zoomed = IsZoomed(window) != 0;
    const bool iconic = IsIconic(window) != 0;

    // Quillex's own console, and the terminal holding it, are never asked
    // about: hidden, they would take away the keyboard the answers come from.
    const bool listed = copied > 0 && title[0];
    const bool could_ask = (options.show && !visible) || (options.hide && visible);
    const bool asks = listed && could_ask && !is_own_console(window);
    const bool ask_show = asks && options.show && !visible;
    const bool ask_hide = asks && !ask_show;
    if (listed) {
        printf("\"%s\"%s%s%s", title,
               iconic ? " - Iconized" : zoomed ? " - Maximized" : "",
               visible ? "" : " - Hidden",
               ask_show ? ". Do Show? (y/n):" : ask_hide ? ". Do Hide? (y/n):" : "\n");
        if (ask_show && !answer_question(window, title, SW_SHOW)) return 0;
        if (ask_hide && !answer_question(window, title, SW_HIDE)) return 0;
    }
    if (list_children) EnumChildWindows(window, list_child_window, 0);
    return 1;
}

int list_child_window(WindowHandle window, intptr_t) {
    char title[kTitleSize] = "";
    // One-character titles are skipped along with empty ones.
    if (read_title(window, title) < 2 || !title[0]) return 1;
    const int id = GetDlgCtrlID(window);
    if (id != 0)
        printf("\t\"%s\" id=%ld (0x%x)\n", title, static_cast<long>(id), static_cast<unsigned>(id));
    else
        printf("\t\"%s\"\n", title);
    return 1;
}
