// What a run waits for, and how it knows that its actions took effect: the
// deadline of /wait, the window /exist waits for, the end /gone waits for,
// and the checks /strict makes after each action.
#include <stdio.h>
#include <stdlib.h>

#include "window_tool.h"

using namespace platform;

namespace {

enum : unsigned {
    kPollMs = 100,
    // Without a deadline, a window that agreed to close is given this long
    // to disappear.
    kCloseBoundMs = 8000,
    kLongestWaitSeconds = 86400,
};

unsigned started_at = 0;

// Waits a little, but never past the deadline; false when no time is left
// (bound_ms: the time left without a deadline).
bool pause_within(unsigned bound_ms) {
    const unsigned left = has_deadline() ? deadline_left_ms() : bound_ms;
    if (left == 0) return false;
    sleep_ms(left < kPollMs ? left : kPollMs);
    return true;
}

// Whether the window is still the one found at the start.
bool still_there(const Target &t) { return window_thread(t.window) == t.thread; }

// 1 when the effect holds, 0 when not yet, -1 when the window is gone.
int effect_state(const Target &t, Effect effect) {
    const bool there = still_there(t);
    if (effect == kClosed) return there ? 0 : 1;
    if (!there) return -1;
    switch (effect) {
    case kHidden: return !IsWindowVisible(t.window);
    case kShown: return IsWindowVisible(t.window) != 0;
    case kMinimized: return IsIconic(t.window) != 0;
    default: return !IsIconic(t.window);
    }
}

const char *failure_text(Effect effect) {
    switch (effect) {
    case kHidden: return "still visible";
    case kShown: return "not visible";
    case kMinimized: return "not minimized";
    case kRestored: return "still minimized";
    case kClosed: return "still there";
    default: return "could not be posted";
    }
}

void report_not_done(const char *action, const Target &t, const char *what) {
    fprintf(stderr, "Quillex: /%s did not take effect on \"%s\": %s\n", action, title_of(t),
            what);
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

bool took_effect(const Target &t, const char *action, Effect effect, bool posted) {
    if (!options.strict || !t.window) return true;
    if (effect == kPosted) {
        if (posted) return true;
        report_not_done(action, t, still_there(t) ? failure_text(effect) : "the window is gone");
        return false;
    }
    // A show command was carried out before Quillex went on, or handed
    // over to a window that does not answer: without a deadline one look
    // tells. A closing program may take a while to end.
    const unsigned bound = effect == kClosed ? unsigned(kCloseBoundMs) : 0u;
    const unsigned start = tick_ms();
    for (;;) {
        const int state = effect_state(t, effect);
        if (state > 0) return true;
        if (state < 0) {
            report_not_done(action, t, "the window is gone");
            return false;
        }
        const unsigned spent = tick_ms() - start;
        if (!pause_within(spent >= bound ? 0 : bound - spent)) break;
    }
    report_not_done(action, t, failure_text(effect));
    return false;
}

Targets await_targets(Targets found) {
    while (!found.list[0].window && has_deadline() && pause_within(0)) {
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
            if (!gone && !pause_within(0)) break;
        }
        if (o.log) printf(gone ? "Window gone: %s\n" : "Window still there: %s\n", title_of(t));
        if (gone) continue;
        if (o.strict) report_not_done("gone", t, "still there");
        code = o.strict ? kExitNotDone : 1;
    }
    return code;
}
