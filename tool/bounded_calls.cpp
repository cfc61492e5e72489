// Calls on other programs' windows that end in bounded time once the
// window's program has stopped answering, and only then.
#include "window_tool.h"

using namespace platform;

namespace {

// How long a program may go without handling messages before it counts as
// hung, as Windows itself judges it.
const unsigned kAnswerWaitMs = 5000;

// Sends with a bounded wait; false when the window did not answer in time
// or refused the message.
bool send_bounded(WindowHandle window, unsigned message, uintptr_t wparam, uintptr_t *answer) {
    return SendMessageTimeoutA(window, message, wparam, 0, SMTO_ABORTIFHUNG, kAnswerWaitMs,
                               answer) != 0;
}

} // namespace

bool send_while_answering(WindowHandle window, unsigned message, uintptr_t wparam,
                          uintptr_t *answer) {
    // A program that first asks its user (save changes?) keeps handling
    // messages meanwhile: the answer is the user's, however long it takes.
    return SendMessageTimeoutA(window, message, wparam, 0,
                               SMTO_ABORTIFHUNG | SMTO_NOTIMEOUTIFNOTHUNG, kAnswerWaitMs,
                               answer) != 0;
}

bool send_answer(WindowHandle window, unsigned message, uintptr_t wparam, uintptr_t *answer,
                 bool *hung) {
    if (send_while_answering(window, message, wparam, answer)) return true;
    const unsigned error = GetLastError();
    if (error == ERROR_TIMEOUT) *hung = true;
    if (error != ERROR_INVALID_WINDOW_HANDLE) return false;
    *answer = 0;
    return true;
}

bool window_takes_show_at_once(WindowHandle window) {
    // The null handle is nobody's window: ShowWindow returns at once for it.
    if (!window) return true;
    uintptr_t ignored;
    if (send_bounded(window, WM_NULL, 0, &ignored)) return true;
    // A program with higher rights refuses our messages (error 5, as
    // Microsoft documents); ShowWindow on its window still waits for its
    // thread, so it is given at once only to one that is not hung.
    return GetLastError() == ERROR_ACCESS_DENIED && !IsHungAppWindow(window);
}

void show_window(WindowHandle window, int command, bool at_once) {
    // ShowWindow waits for the window's thread, so a script that checks the
    // window right after sees the change; a thread that does not answer
    // would make it wait for ever, so that window gets the command to apply
    // when it wakes.
    if (at_once) ShowWindow(window, command);
    else ShowWindowAsync(window, command);
}

void show_window_bounded(WindowHandle window, int command) {
    show_window(window, command, window_takes_show_at_once(window));
}
