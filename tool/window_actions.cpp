// The actions on the target window, in their fixed order, and the exit code.
#include <stdio.h>

#include "window_tool.h"

using namespace platform;

namespace {

// Asks the window's program to end its session. Returns whether it agreed
// and ended it; *unanswered tells that a message was left unanswered.
bool end_session(WindowHandle window, bool *unanswered) {
    uintptr_t answer = 0;
    // A program that refused our message, or did not answer, never agreed.
    SendOutcome sent = send_for_answer(window, WM_QUERYENDSESSION, 0, &answer);
    *unanswered = sent == kUnanswered;
    if (sent != kAnswered || answer == 0) return false;
    // One that is gone by the end of the session has ended it.
    sent = send_for_answer(window, WM_ENDSESSION, 1, &answer);
    *unanswered = sent == kUnanswered;
    return (sent == kAnswered && answer == 0) || sent == kGone;
}

// Then quit and close, whatever the outcome, each waited for as the session
// messages are. A window left unanswered gets nothing more: its program is
// most likely still inside our message, saving or about to ask its user,
// and anything sent now would be handled inside that (a close stacked on
// its question, its window destroyed under its own handler).
void quit_and_close(WindowHandle window) {
    uintptr_t ignored;
    if (send_for_answer(window, WM_QUIT, 1, &ignored) == kUnanswered) return;
    send_for_answer(window, WM_CLOSE, 0, &ignored);
}

// A window hung before anything was sent has nothing of ours on its stack:
// its quit and close are handed over, to be handled when it wakes.
void hand_over_quit_and_close(WindowHandle window) {
    SendNotifyMessageA(window, WM_QUIT, 1, 0);
    SendNotifyMessageA(window, WM_CLOSE, 0, 0);
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
        show_window(target, SW_MINIMIZE, show_window(target, SW_RESTORE, false));
        if (o.log) printf("minimized window: %s\n", title);
    }
    if (o.restore) {
        show_window(target, SW_RESTORE, false);
        if (o.log) printf("Restored window: %s\n", title);
    }
    if (o.close) {
        const bool hung = target && stays_hung(target);
        bool unanswered = false;
        const bool shut_down = !hung && end_session(target, &unanswered);
        if (o.log) printf("Sent ShutDown Message to %s%s\n", title, shut_down ? " " : " - failed");
        if (hung) hand_over_quit_and_close(target);
        else if (!unanswered) quit_and_close(target);
    }
    if (o.dook) {
        const int posted = PostMessageA(target, WM_COMMAND,
                                        static_cast<uint32_t>(o.command_id), 0);
        if (o.log)
            printf("Sent WM_COMMAND + %ld Message to %s%s\n", static_cast<long>(o.command_id), title,
                   posted ? " " : " - failed");
    }
    if (o.hide) {
        show_window(target, SW_HIDE, false);
        if (o.log) printf("Hidden window: %s\n", title);
    }
    if (o.show) {
        show_window(target, SW_SHOW, false);
        if (o.log) printf("Shown window: %s\n", title);
    }
    if (o.listwin) EnumWindows(list_top_window, o.listsub ? 1 : 0);
    if (o.listsub) EnumChildWindows(target, list_child_window, 0);
    end_program(0);
}
