// Calls on other programs' windows that end in bounded time, whatever the
// window's program does meanwhile, and never past the deadline of /wait.
#include <stdio.h>

#include "window_tool.h"

using namespace platform;

namespace {

// The least a send waits for its answer, even once the deadline has passed:
// a close that asks nothing is no close at all.
enum : unsigned { kLeastLookMs = 50 };

// Hands the command over, to be applied when the window's thread next
// looks at its messages; says so when even that could not be done.
void hand_over_show(WindowHandle window, int command) {
    if (!ShowWindowAsync(window, command))
        complain("the show command could not be handed to the window (error %u); it was not "
                 "carried out\n", GetLastError());
}

} // namespace

bool show_window(WindowHandle window, int command, bool handed_over) {
    // The null handle is nobody's window: the call returns at once.
    if (!window) return show_window_within(window, command, 0), false;
    // A script that checks the window right after Quillex ends sees the
    // change, so the command is carried out while Quillex waits; but the
    // window's own thread carries it out, and one that stops handling
    // messages meanwhile would hold Quillex for ever. Such a window gets
    // the command to apply when it wakes, and so do the commands after it;
    // so does every window once the deadline has passed.
    unsigned bound = kHungBoundMs;
    if (has_deadline() && deadline_left_ms() < bound) bound = deadline_left_ms();
    if (bound == 0) handed_over = true;
    if (!handed_over && judged_hung(window)) handed_over = true;
    if (!handed_over && show_window_within(window, command, bound)) return false;
    hand_over_show(window, command);
    return true;
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
