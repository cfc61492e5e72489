// Calls on other programs' windows that end in bounded time, whatever the
// window's program does meanwhile.
#include <stdio.h>

#include "window_tool.h"

using namespace platform;

namespace {

// Hands the command over, to be applied when the window's thread next
// looks at its messages; says so when even that could not be done.
void hand_over_show(WindowHandle window, int command) {
    if (!ShowWindowAsync(window, command))
        fprintf(stderr, "Quillex: the show command could not be handed to the window "
                        "(error %u); it was not carried out\n", GetLastError());
}

} // namespace

bool show_window(WindowHandle window, int command, bool handed_over) {
    // A script that checks the window right after Quillex ends sees the
    // change, so the command is carried out while Quillex waits; but the
    // window's own thread carries it out, and one that stops handling
    // messages meanwhile would hold Quillex for ever. Such a window gets
    // the command to apply when it wakes, and so do the commands after it.
    if (!handed_over && window && stays_hung(window)) handed_over = true;
    if (!handed_over && show_window_within(window, command, kHungBoundMs)) return false;
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
    // A deadline is the one bound, question or not.
    if (has_deadline()) {
        const unsigned left = deadline_left_ms();
        if (left == 0) {
            *answer = 0;
            return kUnanswered;
        }
        if (patience == kForAnswer || left < wait.bound_ms) wait.bound_ms = left;
        wait.longer_while_asking = false;
    }
    const SendOutcome outcome = send_awaiting_answer(window, message, wparam, wait, answer);
    // A plain send gives 0 for a window that is gone.
    if (outcome != kAnswered) *answer = 0;
    return outcome;
}
