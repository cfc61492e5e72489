// What a run waits for, and how it knows that its actions took effect: the
// deadline of /wait, the window /exist waits for, the end /gone waits for,
// the checks /strict makes after each action, and its second look once
// the actions are done.
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>

#include "window_tool.h"

using namespace platform;

namespace {

enum : unsigned {
    kPollMs = 100,
    // Without a deadline, a window that agreed to close is given this long
    // to disappear; a show command handed over to a window that does not
    // answer, this long to be carried out.
    kCloseBoundMs = 8000,
    kHandedOverBoundMs = 1000,
    // A window may undo an action at once (show itself again when hidden):
    // each effect is looked at again this long after the last action.
    kSecondLookMs = 300,
    kLongestWaitSeconds = 86400,
    kUntilDeadline = UINT_MAX,
};

unsigned started_at = 0;

// Waits a little, but never past the bound nor the deadline (kUntilDeadline:
// no bound but the deadline); false when no time is left.
bool pause_within(unsigned bound_ms) {
    const unsigned left = within_deadline(bound_ms);
    if (left == 0 || left == kUntilDeadline) return false;
    sleep_ms(left < kPollMs ? left : kPollMs);
    return true;
}

// Whether the window is still the one found at the start.
bool still_there(const Target &t) { return !window_gone(t); }

// 1 when the effect holds, 0 when not yet, -1 when the window is gone.
int effect_state(const Target &t, Effect effect) {
    const bool there = still_there(t);
    if (effect == kClosed) return there ? 0 : 1;
    if (!there) return -1;
    return effect_holds(t.window, effect);
}

// Whether the window in front is this one, or one it owns (its question).
bool in_front(WindowHandle window) {
    for (WindowHandle w = GetForegroundWindow(); w; w = window_owner(w))
        if (w == window) return true;
    return false;
}

// What did not come, as one line says it.
const char *failure_text(Effect effect, WindowHandle window, char *buffer, size_t size) {
    WindowRect r = {0, 0, 0, 0};
    switch (effect) {
    case kHidden: return "still visible";
    case kShown: return "not visible";
    case kMinimized: return "not minimized";
    case kRestored: return "still minimized";
    case kMaximized: return "not maximized";
    case kMoved:
    case kSized:
        // Said of windows other than the one acted on: none in particular.
        if (!window) return effect == kMoved ? "not moved" : "not sized";
        GetWindowRect(window, &r);
        if (effect == kMoved)
            snprintf(buffer, size, "the window is at %ld,%ld", static_cast<long>(r.left),
                     static_cast<long>(r.top));
        else
            snprintf(buffer, size, "the window kept %ldx%ld", static_cast<long>(r.right - r.left),
                     static_cast<long>(r.bottom - r.top));
        return buffer;
    case kOnTop: return "not on top";
    case kNotOnTop: return "still on top";
    case kActivated: return "Windows kept another window in front";
    default: return "still there";
    }
}

// What a window that undid an effect did.
const char *undone_text(Effect effect) {
    switch (effect) {
    case kHidden: return "visible again";
    case kShown: return "hidden again";
    case kMinimized: return "no longer minimized";
    case kMaximized: return "no longer maximized";
    default: return "minimized again";
    }
}

bool lasted(const Target &t, Effect effect) {
    if (effect == kNoEffect || !t.window) return true;
    const int state = effect_state(t, effect);
    if (state > 0) return true;
    report_not_done(action_name(effect), t, state < 0 ? "the window is gone" : undone_text(effect));
    return false;
}

// An exact title names one window to act on, but a script means the title;
// /all means every window that matches. Others that did not come along
// (or that the search could not see) make the run fail.
bool title_held(const Targets &targets, Effect effect) {
    if (effect == kNoEffect) return true;
    const int others = other_windows_titled(targets, effect);
    if (others == 0) return true;
    char what[96], failure[48];
    snprintf(what, sizeof what, "%d more window%s %s %s %s", others, others == 1 ? "" : "s",
             options.windowname ? options.like ? "matching it" : "of this title" : "found so",
             others == 1 ? "is" : "are", failure_text(effect, nullptr, failure, sizeof failure));
    report_not_done(action_name(effect), targets.list[0], what);
    return false;
}

} // namespace

void start_run_clock() { started_at = tick_ms(); }

bool has_deadline() { return options.wait != 0; }

unsigned deadline_left_ms() {
    int32_t seconds = options.wait_seconds;
    if (seconds < 0) seconds = 0;
    if (seconds > static_cast<int32_t>(kLongestWaitSeconds)) seconds = kLongestWaitSeconds;
    const unsigned total = static_cast<unsigned>(seconds) * 1000u;
    const unsigned spent = tick_ms() - started_at;
    return spent >= total ? 0 : total - spent;
}

unsigned within_deadline(unsigned ms) {
    if (!has_deadline()) return ms;
    const unsigned left = deadline_left_ms();
    return left < ms ? left : ms;
}

bool effect_holds(WindowHandle window, Effect effect) {
    const WindowToolOptions &o = options;
    WindowRect r = {0, 0, 0, 0};
    switch (effect) {
    case kHidden: return !IsWindowVisible(window);
    case kShown: return IsWindowVisible(window) != 0;
    case kMinimized: return IsIconic(window) != 0;
    case kRestored: return !IsIconic(window);
    case kMaximized: return IsZoomed(window) != 0;
    case kMoved: return GetWindowRect(window, &r) && r.left == o.move_x && r.top == o.move_y;
    case kSized:
        return GetWindowRect(window, &r) && r.right - r.left == o.size_width &&
               r.bottom - r.top == o.size_height;
    case kOnTop: return is_topmost(window) != 0;
    case kNotOnTop: return !is_topmost(window);
    case kActivated: return in_front(window);
    default: return false;
    }
}

bool judged_hung(WindowHandle window) {
    if (has_deadline() && deadline_left_ms() == 0) return IsHungAppWindow(window) != 0;
    return stays_hung(window) != 0;
}

void report_not_done(const char *action, const Target &t, const char *what) {
    complain("/%s did not take effect on \"%s\": %s\n", action, title_of(t), what);
}

bool took_effect(const Target &t, const char *action, Effect effect, bool handed_over) {
    if (!options.strict || !t.window) return true;
    // A show command was carried out before Quillex went on; one handed
    // over to a window that does not answer may come a little later; a
    // closing program may take a while to end.
    const unsigned bound = effect == kClosed ? (has_deadline() ? unsigned(kUntilDeadline)
                                                               : unsigned(kCloseBoundMs))
                           : handed_over ? unsigned(kHandedOverBoundMs)
                                         : 0u;
    const unsigned start = tick_ms();
    for (;;) {
        const int state = effect_state(t, effect);
        if (state > 0) return true;
        if (state < 0) {
            report_not_done(action, t, "the window is gone");
            return false;
        }
        const unsigned spent = tick_ms() - start;
        if (!pause_within(bound == kUntilDeadline ? bound : spent >= bound ? 0 : bound - spent))
            break;
    }
    char failure[48];
    report_not_done(action, t, failure_text(effect, t.window, failure, sizeof failure));
    return false;
}

bool effects_held(const Targets &targets, unsigned last_action_at) {
    const WindowToolOptions &o = options;
    if (!o.strict) return true;
    bool held = true, look = false;
    for (int i = 0; i < targets.count; ++i)
        look |= targets.list[i].placed != kNoEffect || targets.list[i].shown != kNoEffect;
    // The second look, within the deadline: with no time left, none.
    const unsigned since = tick_ms() - last_action_at;
    const unsigned pause = within_deadline(since < kSecondLookMs ? kSecondLookMs - since : 0);
    if (has_deadline() && deadline_left_ms() == 0) look = false;
    if (look && pause > 0) sleep_ms(pause);
    for (int i = 0; look && i < targets.count; ++i) {
        held &= lasted(targets.list[i], targets.list[i].placed);
        held &= lasted(targets.list[i], targets.list[i].shown);
    }
    // An exact title is judged whole on the last effect asked of each
    // property that takes a window away (hidden, minimized, closed); /all,
    // whose promise is every window that matches, on every effect.
    const bool whole = !o.handle && !o.console &&
                       (o.all ? o.windowname || filters_name_windows() : o.windowname && !o.like);
    const Effect placed = o.maximize ? kMaximized : o.restore ? kRestored
                          : o.minimize ? kMinimized : kNoEffect;
    const Effect shown = o.show ? kShown : o.hide ? kHidden : kNoEffect;
    const Effect judged[] = {placed, o.close ? kClosed : kNoEffect, shown,
                             o.move ? kMoved : kNoEffect, o.size ? kSized : kNoEffect,
                             o.top ? (o.top_value ? kOnTop : kNotOnTop) : kNoEffect};
    for (const Effect e : judged)
        if (whole && (o.all || e == kMinimized || e == kClosed || e == kHidden))
            held &= title_held(targets, e);
    return held;
}

Targets await_targets(Targets found) {
    while (!found.list[0].window && has_deadline() && pause_within(kUntilDeadline)) {
        free(found.list);
        found = find_targets();
    }
    return found;
}

int watch_until_gone(const Targets &targets) {
    const WindowToolOptions &o = options;
    const Target &first = targets.list[0];
    if (!first.window && o.strict) {
        if (o.log) printf("Window not found: \"%s\"\n", title_of(first));
        return 1;
    }
    // Every window of the set must go, each by the same deadline.
    int code = 0;
    for (int i = 0; i < targets.count; ++i) {
        const Target &t = targets.list[i];
        bool gone = !t.window;
        while (!gone) {
            gone = !still_there(t);
            if (!gone && !pause_within(kUntilDeadline)) break;
        }
        if (o.log) printf(gone ? "Window gone: %s\n" : "Window still there: %s\n", title_of(t));
        if (gone) continue;
        if (o.strict) report_not_done("gone", t, "still there");
        code = o.strict ? kExitNotDone : 1;
    }
    return code;
}
