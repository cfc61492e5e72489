// The actions on the target window, in their fixed order, and the exit code.
#include <stdio.h>
#include <stdlib.h>

#include "window_tool.h"

using namespace platform;

namespace {

// Asks the window's program to end its session. Returns whether it agreed
// and ended it; *unanswered tells that a message was left unanswered.
bool end_session(WindowHandle window, bool *unanswered) {
    uintptr_t answer = 0;
    // A program that refused our message, or did not answer, never agreed.
    SendOutcome sent = send_for_answer(window, WM_QUERYENDSESSION, 0, kForAnswer, &answer);
    *unanswered = sent == kUnanswered;
    if (sent != kAnswered || answer == 0) return false;
    // One whose program ended meanwhile has ended its session.
    sent = send_for_answer(window, WM_ENDSESSION, 1, kForSessionEnd, &answer);
    *unanswered = sent == kUnanswered;
    return (sent == kAnswered && answer == 0) || sent == kGone;
}

// Then quit and close, whatever the outcome, each waited for as the query
// is. A window left unanswered gets nothing more: its program is most
// likely still inside our message, saving or about to ask its user, and
// anything sent now would be handled inside that (a close stacked on its
// question, its window destroyed under its own handler).
void quit_and_close(WindowHandle window) {
    uintptr_t ignored;
    if (send_for_answer(window, WM_QUIT, 1, kForAnswer, &ignored) == kUnanswered) return;
    send_for_answer(window, WM_CLOSE, 0, kForAnswer, &ignored);
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

// Hiding or minimizing the terminal that holds Quillex's console would take
// the keyboard away from the run and from everything else in its tabs.
bool refused_as_terminal(const Target &t) {
    if (!is_own_terminal(t.window)) return false;
    fprintf(stderr, "Quillex: %s is the terminal this console runs in; it was left as it is\n",
            title_of(t));
    return true;
}

// Carries out the actions on one window; returns whether each took effect.
// Under listwin alone the window may be null; the calls are made all the
// same and their lines report what the platform answered.
bool act_on(const Target &t) {
    const WindowToolOptions &o = options;
    const WindowHandle w = t.window;
    bool done = true;
    if (o.minimize) {
        if (refused_as_terminal(t)) {
            done = false;
        } else {
            show_window(w, SW_MINIMIZE, show_window(w, SW_RESTORE, false));
            if (o.log) printf("minimized window: %s\n", title_of(t));
            done &= took_effect(t, "minimize", kMinimized);
        }
    }
    if (o.restore) {
        show_window(w, SW_RESTORE, false);
        if (o.log) printf("Restored window: %s\n", title_of(t));
        done &= took_effect(t, "restore", kRestored);
    }
    if (o.close) {
        const bool hung = w && stays_hung(w);
        bool unanswered = false;
        const bool shut_down = !hung && end_session(w, &unanswered);
        if (o.log) printf("Sent ShutDown Message to %s%s\n", title_of(t), shut_down ? " " : " - failed");
        if (hung) hand_over_quit_and_close(w);
        else if (!unanswered) quit_and_close(w);
        done &= took_effect(t, "close", kClosed);
    }
    if (o.dook) {
        const int posted = PostMessageA(w, WM_COMMAND, static_cast<uint32_t>(o.command_id), 0);
        if (o.log)
            printf("Sent WM_COMMAND + %ld Message to %s%s\n", static_cast<long>(o.command_id),
                   title_of(t), posted ? " " : " - failed");
        done &= took_effect(t, "dook", kPosted, posted != 0);
    }
    if (o.hide) {
        if (refused_as_terminal(t)) {
            done = false;
        } else {
            show_window(w, SW_HIDE, false);
            if (o.log) printf("Hidden window: %s\n", title_of(t));
            done &= took_effect(t, "hide", kHidden);
        }
    }
    if (o.show) {
        show_window(w, SW_SHOW, false);
        if (o.log) printf("Shown window: %s\n", title_of(t));
        done &= took_effect(t, "show", kShown);
    }
    return done;
}

// The listings, once every window has had its actions: text with its
// questions, or JSON. A Ctrl+C at a question ends the listing and the run.
void list_windows(const Targets &targets) {
    const WindowToolOptions &o = options;
    if (o.json) {
        if (o.listwin) EnumWindows(json_top_window, o.listsub ? 1 : 0);
        // Each window appears once: under listwin the children are listed
        // under their window already.
        for (int i = 0; o.listsub && !o.listwin && i < targets.count; ++i) {
            const WindowHandle w = targets.list[i].window;
            EnumChildWindows(w, json_child_window, reinterpret_cast<intptr_t>(w));
        }
        if (o.listwin || o.listsub) end_json_listing();
        return;
    }
    if (o.listwin) EnumWindows(list_top_window, o.listsub ? 1 : 0);
    for (int i = 0; o.listsub && !listing_interrupted() && i < targets.count; ++i)
        EnumChildWindows(targets.list[i].window, list_child_window, 0);
}

// The run proper, on the windows found at the start.
int run_on(Targets &targets) {
    const WindowToolOptions &o = options;
    if (o.gone) {
        if (!targets.given) {
            print_usage();
            return 1;
        }
        return watch_until_gone(targets);
    }
    if (o.exist) {
        targets = await_targets(targets);
        for (int i = 0; o.log && i < targets.count; ++i)
            printf("Window %sfound: %s\n", targets.list[i].window ? "" : "not ",
                   title_of(targets.list[i]));
        if (!targets.list[0].window) return 1;
        if (!any_action_requested(o)) return 0;
    }
    const Target &first = targets.list[0];
    if (!first.window && !o.listwin) {
        if (!targets.given) {
            print_usage();
            return 1;
        }
        if (o.log) printf("Window not found: \"%s\"\n", title_of(first));
        return o.strict ? 1 : 0;
    }

    bool done = true;
    for (int i = 0; i < targets.count; ++i) done &= act_on(targets.list[i]);
    list_windows(targets);
    // Without a target nothing is judged; a title that was not found is.
    if (!o.strict) return 0;
    if (!first.window) return targets.given ? 1 : 0;
    return done ? 0 : kExitNotDone;
}

} // namespace

int run_window_actions() {
    Targets targets = find_targets();
    const int code = run_on(targets);
    free(targets.list);
    return code;
}
