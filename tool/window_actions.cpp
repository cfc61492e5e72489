// The actions on the target window, in their fixed order, and the exit code.
#include <stdio.h>

#include "window_tool.h"

using namespace platform;

namespace {

// Asks the window's program to end its session, then to quit and close.
// Returns whether the end-of-session handshake succeeded.
bool close_window(WindowHandle window) {
    bool shut_down = false;
    uintptr_t answer = 0;
    // A program that stopped answering, or refused our message, counts as
    // saying no to the query; to the end of the session, as failing.
    if (send_while_answering(window, WM_QUERYENDSESSION, 0, &answer) && answer != 0) {
        uintptr_t ended = 1;
        shut_down = send_while_answering(window, WM_ENDSESSION, 1, &ended) && ended == 0;
    }
    return shut_down;
}

void finish_close(WindowHandle window) {
    uintptr_t ignored;
    send_while_answering(window, WM_QUIT, 1, &ignored);
    send_while_answering(window, WM_CLOSE, 0, &ignored);
}

bool any_action_requested(const WindowToolOptions &o) {
    return o.dook || o.hide || o.show || o.minimize || o.restore || o.close || o.listwin ||
           o.listsub;
}

} // namespace

void run_window_actions() {
    const WindowToolOptions &o = options;
    const char *title = o.windowname ? o.windowname : "(null)";
    WindowHandle target = o.windowname ? FindWindowA(nullptr, o.windowname) : nullptr;

    if (o.exist) {
        if (o.log) printf("Window %sfound: %s\n", target ? "" : "not ", title);
        if (!target) end_program(1);
        if (!any_action_requested(o)) end_program(0);
    }

    if (!target && !o.listwin) {
        if (!o.windowname) print_usage_and_exit();
        if (o.log) printf("Window not found: \"%s\"\n", title);
        end_program(0);
    }

    // Under listwin alone the target may be null; the calls are made all the
    // same and their lines report what the platform answered.
    if (o.minimize) {
        const bool at_once = window_takes_show_at_once(target);
        show_window(target, SW_RESTORE, at_once);
        show_window(target, SW_MINIMIZE, at_once);
        if (o.log) printf("minimized window: %s\n", title);
    }
    if (o.restore) {
        show_window_bounded(target, SW_RESTORE);
        if (o.log) printf("Restored window: %s\n", title);
    }
    if (o.close) {
        const bool shut_down = close_window(target);
        if (o.log) printf("Sent ShutDown Message to %s%s\n", title, shut_down ? " " : " - failed");
        finish_close(target);
    }
    if (o.dook) {
        const int posted = PostMessageA(target, WM_COMMAND,
                                        static_cast<uint32_t>(o.command_id), 0);
        if (o.log)
            printf("Sent WM_COMMAND + %ld Message to %s%s\n", static_cast<long>(o.command_id), title,
                   posted ? " " : " - failed");
    }
    if (o.hide) {
        show_window_bounded(target, SW_HIDE);
        if (o.log) printf("Hidden window: %s\n", title);
    }
    if (o.show) {
        show_window_bounded(target, SW_SHOW);
        if (o.log) printf("Shown window: %s\n", title);
    }
    if (o.listwin) EnumWindows(list_top_window, o.listsub ? 1 : 0);
    if (o.listsub) EnumChildWindows(target, list_child_window, 0);
    end_program(0);
}
