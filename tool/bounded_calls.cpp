// Calls on other programs' windows that end in bounded time even when the
// window's program has stopped answering.
#include "window_tool.h"

using namespace platform;

namespace {

// The longest wait for a window's program to answer.
const unsigned kAnswerWaitMs = 5000;

} // namespace

bool send_bounded(WindowHandle window, unsigned message, uintptr_t wparam, uintptr_t *answer) {
    return SendMessageTimeoutA(window, message, wparam, 0, SMTO_ABORTIFHUNG, kAnswerWaitMs,
                               answer) != 0;
}

bool window_answers(WindowHandle window) {
    // The null handle is nobody's window: ShowWindow returns at once for it.
    if (!window) return true;
    uintptr_t ignored;
    return send_bounded(window, WM_NULL, 0, &ignored);
}

void show_window(WindowHandle window, int command, bool answers) {
    // ShowWindow waits for the window's thread, so a script that checks the
    // window right after sees the change; a thread that does not answer
    // would make it wait for ever, so that window gets the command to apply
    // when it wakes.
    if (answers) ShowWindow(window, command);
    else ShowWindowAsync(window, command);
}

void show_window_bounded(WindowHandle window, int command) {
    show_window(window, command, window_answers(window));
}
