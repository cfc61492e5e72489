// Calls on other programs' windows that end in bounded time, whatever the
// window's program does meanwhile, and never past the deadline of /wait.
#include <stdio.h>

#include "window_tool.h"

using namespace platform;

namespace {

// The least a send waits for its answer, even once the deadline has passed:
// a close that asks nothing is no close at all.
enum : unsigned { kLeastLookMs = 50 };

} // namespace

Carried show_window(WindowHandle window, const char *title, int command, bool hand_over_now) {
    // The null handle is nobody's window: the call returns at once.
    if (!window) return show_window_within(window, command, 0), kCarriedOut;
    // The run's one worker may still be in a call to this window that
    // timed out: a command handed over now could land before that one.
    if (show_under_way(window)) {
        complain("a show command was not given to %s: its window has not yet carried out the "
                 "one before\n", title);
        return kNotDone;
    }
    // A script that checks the window right after Quillex ends sees the
    // change, so the command is carried out while Quillex waits; but the
    // window's own thread carries it out, and one that stops handling
    // messages meanwhile would hold Quillex for ever. Such a window gets
    // the command to apply when it wakes, and so do the commands after it;
    // so does every window once the deadline has passed.
    const unsigned bound = within_deadline(kHungBoundMs);
    if (!hand_over_now && bound > 0 && !judged_hung(window)) {
        const ShowOutcome outcome = show_window_within(window, command, bound);
        if (outcome == kShowDone) return kCarriedOut;
        // Timed out, the call goes on: the command lands when the window wakes.
        if (outcome == kShowUnderWay) return kHandedOver;
    }
    if (ShowWindowAsync(window, command)) return kHandedOver;
    complain("the show command could not be handed to %s (error %u); it was not carried out\n",
             title, GetLastError());
    return kNotDone;
}

SendOutcome send_for_answer(WindowHandle window, unsigned message, uintptr_t wparam,
                            Patience patience, uintptr_t *answer) {
    // A program that asks its user first (save changes?) keeps handling
    // messages, with a question on the screen: the answer is the user's,
    // however long it takes. One that agreed to end its session may clean
    // up in it without looking at its messages, as Windows asks programs
    // to: it is not judged hung then, only given a bound.
    AnswerWait wait = patience == kForAnswer ? AnswerWait{kAnswerBoundMs, true, true}
                                             : AnswerWait{kEndSessionBoundMs, false, false};
    // A deadline is the one bound, question or not; but every message is
    // sent, and looked at least once for its answer.
    if (has_deadline()) {
        unsigned left = deadline_left_ms();
        if (left < kLeastLookMs) left = kLeastLookMs;
        if (patience == kForAnswer || left < wait.bound_ms) wait.bound_ms = left;
        wait.longer_while_asking = false;
    }
    const SendOutcome outcome = send_awaiting_answer(window, message, wparam, wait, answer);
    // A plain send gives 0 for a window that is gone.
    if (outcome != kAnswered) *answer = 0;
    return outcome;
}
