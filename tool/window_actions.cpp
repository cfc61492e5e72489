// The actions on the target window, in their fixed order, and the exit code.
#include <stdio.h>

#include "window_tool.h"

using namespace platform;

namespace {

// Asks the window's program to end its session. Returns whether it agreed
// and ended it; *hung tells whether the window turned out hung.
bool end_session(WindowHandle window, bool *hung) {
    uintptr_t answer = 0;
    // A program that stopped answering, or refused our message, never
    // agreed; one that is gone by the end of the session has ended it.
    if (!send_answer(window, WM_QUERYENDSESSION, 0, &answer, hung) || answer == 0) return false;
    uintptr_t ended = 1;
    return send_answer(window, WM_ENDSESSION, 1, &ended, hung) && ended == 0;
}

// Then quit and close, whatever the outcome: sent and waited for while the
// window answers, handed over to one that is hung, to handle when it wakes.
void quit_and_close(WindowHandle window, bool hung) {
    const struct {
        unsigned message;
        uintptr_t wparam;
    } last[] = {{WM_QUIT, 1}, {WM_CLOSE, 0}};
    if (!hung) hung = IsHungAppWindow(window) != 0;
    for (const auto &m : last) {
        uintptr_t ignored;
        // A send that finds the window hung leaves its message with it.
        if (hung) SendNotifyMessageA(window, m.message, m.wparam, 0);
        else send_answer(window, m.message, m.wparam, &ignored, &hung);
    }
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
        bool hung = false;
        const bool shut_down = end_session(target, &hung);
        if (o.log) printf("Sent ShutDown Message to %s%s\n", title, shut_down ? " " : " - failed");
        quit_and_close(target, hung);
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
