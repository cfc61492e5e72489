// The window listings: one line per titled top-level window with its state,
// an optional y/n question to show or hide it, and the child windows.
#include <stdio.h>

#include "window_tool.h"

using namespace platform;

namespace {

enum { kTitleSize = 128, kCtrlC = 3 };

// Reads the window's title; returns the number of bytes copied. A UTF-8
// title longer than the buffer may be cut inside a character: the bytes
// of that last, incomplete character are dropped.
int read_title(WindowHandle window, char *title) {
    int copied = GetWindowTextA(window, title, kTitleSize);
    if (copied < kTitleSize - 1 || GetACP() != CP_UTF8) return copied;
    int start = copied;
    while (start > 0 && (static_cast<unsigned char>(title[start - 1]) & 0xC0) == 0x80) --start;
    if (start == 0) return copied;
    const unsigned char lead = static_cast<unsigned char>(title[start - 1]);
    const int length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    if (copied - (start - 1) < length) {
        copied = start - 1;
        title[copied] = 0;
    }
    return copied;
}

// Answers the question that ends the window's line with a key press.
void answer_question(WindowHandle window, int command) {
    const int key = read_console_key();
    if (key == 'Y' || key == 'y') show_window(window, command, false);
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
    const int copied = read_title(window, title);
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
    if (read_title(window, title) < 2 || !title[0]) return 1;
    const int id = GetDlgCtrlID(window);
    if (id != 0)
        printf("\t\"%s\" id=%ld (0x%x)\n", title, static_cast<long>(id), static_cast<unsigned>(id));
    else
        printf("\t\"%s\"\n", title);
    return 1;
}
