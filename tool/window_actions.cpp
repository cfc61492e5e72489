// The actions on the target windows, in their fixed order, and the exit
// code: one row per action, walked in that order for each window.
#include <stdio.h>
#include <stdlib.h>

#include <iterator>

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

// One show command, with its log line whatever became of it.
Carried show_command(const Target &t, int command, const char *logged) {
    const Carried shown = show_window(t.window, title_of(t), command, false);
    if (options.log) printf(logged, title_of(t));
    return shown;
}

Carried minimize(const Target &t) {
    const Carried restored = show_window(t.window, title_of(t), SW_RESTORE, false);
    const Carried shown = restored == kNotDone ? kNotDone
                          : show_window(t.window, title_of(t), SW_MINIMIZE, restored == kHandedOver);
    if (options.log) printf("minimized window: %s\n", title_of(t));
    return shown;
}

Carried restore(const Target &t) { return show_command(t, SW_RESTORE, "Restored window: %s\n"); }
Carried hide(const Target &t) { return show_command(t, SW_HIDE, "Hidden window: %s\n"); }
Carried show(const Target &t) { return show_command(t, SW_SHOW, "Shown window: %s\n"); }
Carried maximize(const Target &t) {
    return show_command(t, SW_MAXIMIZE, "Maximized window: %s\n");
}

// Hands a placing to the window (a place for a move, a size for a size);
// says so when even that could not be done.
void hand_placing(const Target &t, unsigned placing, int32_t a, int32_t b) {
    if (!place_window(t.window, placing, a, b, a, b) && t.window)
        complain("%s could not be placed (error %u)\n", title_of(t), GetLastError());
}

// A window is moved or sized in its normal place: a minimized or maximized
// one is restored first. The window's thread does it when it next looks at
// its messages: judged a little later, as a command handed over is. The
// log line gives the two numbers.
Carried place(const Target &t, unsigned placing, int32_t a, int32_t b, const char *logged) {
    Carried c = kHandedOver;
    if (t.window && (IsIconic(t.window) || IsZoomed(t.window)) &&
        show_window(t.window, title_of(t), SW_RESTORE, false) == kNotDone)
        c = kNotDone;
    else
        hand_placing(t, placing, a, b);
    if (options.log) printf(logged, title_of(t), static_cast<long>(a), static_cast<long>(b));
    return c;
}

Carried move(const Target &t) {
    return place(t, kPlaceMove, options.move_x, options.move_y, "Moved window: %s to %ld,%ld\n");
}

Carried resize(const Target &t) {
    const WindowToolOptions &o = options;
    if (o.size_width > 0 && o.size_height > 0)
        return place(t, kPlaceSize, o.size_width, o.size_height, "Sized window: %s to %ld,%ld\n");
    complain("/size was not applied to %s: a width and a height above 0 are needed\n",
             title_of(t));
    return kNotDone;
}

Carried top(const Target &t) {
    const bool on = options.top_value != 0; // any number but 0 puts it on top
    hand_placing(t, on ? kPlaceTopmost : kPlaceNotTopmost, 0, 0);
    if (options.log) printf(on ? "Window %s on top\n" : "Window %s not on top\n", title_of(t));
    return kHandedOver;
}

// Windows lets a program bring a window to the front only on its own
// conditions, and may refuse: nothing here goes around them (no faked
// input, no joined input queues).
Carried activate(const Target &t) {
    const WindowHandle w = t.window;
    if (w && !IsWindowVisible(w)) {
        report_not_done("activate", t, "not visible");
        return kNotDone;
    }
    if (w && IsIconic(w) && show_window(w, title_of(t), SW_RESTORE, false) == kNotDone)
        return kNotDone;
    // A window that does not answer could not come to the front; one that
    // asks its user a question is disabled: the question comes instead.
    const bool hung = w && judged_hung(w);
    if (w && !hung) SetForegroundWindow(IsWindowEnabled(w) ? w : GetLastActivePopup(w));
    if (options.log) printf("Activated window: %s\n", title_of(t));
    if (!hung) return kHandedOver;
    report_not_done("activate", t, "the window does not answer");
    return kNotDone;
}

Carried close(const Target &t) {
    const WindowHandle w = t.window;
    const bool hung = w && judged_hung(w);
    bool unanswered = false;
    const bool shut_down = !hung && end_session(w, &unanswered);
    if (options.log)
        printf("Sent ShutDown Message to %s%s\n", title_of(t), shut_down ? " " : " - failed");
    if (hung) hand_over_quit_and_close(w);
    else if (!unanswered) quit_and_close(w);
    return kCarriedOut;
}

Carried dook(const Target &t) {
    const WindowToolOptions &o = options;
    // Under /strict, a command that nothing in the window can give is not
    // posted: the program would take it for whatever that number means.
    if (o.strict && t.window && !can_press(t.window, o.command_id)) {
        char what[64];
        snprintf(what, sizeof what, "no enabled control with id %ld",
                 static_cast<long>(o.command_id));
        report_not_done("dook", t, what);
        return kNotDone;
    }
    const int posted = PostMessageA(t.window, WM_COMMAND, static_cast<uint32_t>(o.command_id), 0);
    if (o.log)
        printf("Sent WM_COMMAND + %ld Message to %s%s\n", static_cast<long>(o.command_id),
               title_of(t), posted ? " " : " - failed");
    if (posted || !o.strict || !t.window) return kCarriedOut;
    report_not_done("dook", t, window_gone(t) ? "the window is gone" : "could not be posted");
    return kNotDone;
}

// Which of Quillex's own windows an action leaves alone: hiding or
// minimizing the terminal would take the keyboard away from the run and
// from everything else in its tabs; closing or pressing a button in either
// would end the run itself; and a console that a terminal holds is a
// hidden stand-in that no show command should bring up.
enum Spares { kSparesStandIn, kSparesTerminal, kSparesBoth };

struct Action {
    unsigned char WindowToolOptions::*flag;
    const char *name;
    Effect effect; // what /strict looks for afterwards (dook judges itself)
    Spares spares;
    Carried (*carry_out)(const Target &t);
};

const Action kActions[] = {
    {&WindowToolOptions::minimize, "minimize", kMinimized, kSparesTerminal, minimize},
    {&WindowToolOptions::restore, "restore", kRestored, kSparesStandIn, restore},
    {&WindowToolOptions::close, "close", kClosed, kSparesBoth, close},
    {&WindowToolOptions::dook, "dook", kNoEffect, kSparesBoth, dook},
    {&WindowToolOptions::hide, "hide", kHidden, kSparesTerminal, hide},
    {&WindowToolOptions::show, "show", kShown, kSparesStandIn, show},
    {&WindowToolOptions::move, "move", kMoved, kSparesStandIn, move},
    {&WindowToolOptions::size, "size", kSized, kSparesStandIn, resize},
    {&WindowToolOptions::maximize, "maximize", kMaximized, kSparesStandIn, maximize},
    {&WindowToolOptions::top, "top", kOnTop, kSparesStandIn, top},
    {&WindowToolOptions::activate, "activate", kActivated, kSparesStandIn, activate},
};

} // namespace

const char *action_name(Effect effect) {
    const Effect asked = effect == kNotOnTop ? kOnTop : effect;
    const Action *a = kActions;
    while (a->effect != asked && a + 1 < std::end(kActions)) ++a;
    return a->name;
}

namespace {

bool left_alone(const Target &t, Spares spares) {
    if (!t.window) return false;
    if (is_own_terminal(t.window)) {
        if (spares == kSparesStandIn) return false;
        complain("%s is the terminal this console runs in; it was left as it is\n", title_of(t));
        return true;
    }
    if (!is_own_console(t.window) || (spares != kSparesBoth && !console_in_terminal()))
        return false;
    complain("%s is the console this program runs in; it was left as it is\n", title_of(t));
    return true;
}

// Carries out the actions on one window; returns whether each took effect.
// Under listwin alone the window may be null; the calls are made all the
// same and their lines report what the platform answered.
bool act_on(Target &t) {
    const WindowToolOptions &o = options;
    // Under /all a window may have gone with an earlier one (its program
    // ended): closed, which is what was asked.
    if (o.all && o.close && window_gone(t)) {
        if (o.log) printf("Window gone: %s\n", title_of(t));
        return true;
    }
    bool done = true;
    for (const Action &a : kActions) {
        if (!(o.*a.flag)) continue;
        if (left_alone(t, a.spares)) {
            done = false;
            continue;
        }
        const Carried c = a.carry_out(t);
        if (c == kNotDone) {
            done = false;
            continue;
        }
        const Effect effect = a.effect == kOnTop && !o.top_value ? kNotOnTop : a.effect;
        if (effect == kNoEffect || !took_effect(t, a.name, effect, c == kHandedOver)) {
            done &= effect == kNoEffect;
            continue;
        }
        // The last effect on each of the window's properties, to be looked
        // at again once every action is done.
        if (effect == kHidden || effect == kShown) t.shown = effect;
        if (effect == kMinimized || effect == kRestored || effect == kMaximized) t.placed = effect;
    }
    return done;
}

bool any_action_requested(const WindowToolOptions &o) {
    return o.dook || o.hide || o.show || o.minimize || o.restore || o.close || o.listwin ||
           o.listsub || o.maximize || o.activate || o.top || o.move || o.size;
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
    if (first.window) done &= effects_held(targets, tick_ms());
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
    // A search that could not look at every window promises nothing.
    return options.strict && code == 0 && search_failed() ? kExitNotDone : code;
}
