// The platform services on real Windows: user32 and kernel32 calls.
// platform.h comes first: windows.h turns the SW_ and WM_ names into macros.
#include "platform.h"

#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include "win32_console.h"

namespace {

HWND hwnd_of(platform::WindowHandle h) { return reinterpret_cast<HWND>(h); }
platform::WindowHandle handle_of(HWND h) { return reinterpret_cast<platform::WindowHandle>(h); }

// The tool's callbacks use the C calling convention; the enumerations call
// a CALLBACK that forwards to them.
struct Enumeration {
    platform::WindowCallback callback;
    intptr_t value;
};

BOOL CALLBACK forward_window(HWND window, LPARAM context) {
    const Enumeration *e = reinterpret_cast<const Enumeration *>(context);
    return e->callback(handle_of(window), e->value) ? TRUE : FALSE;
}

// IsHungAppWindow was seen true under Wine 8 for a moment after a thread
// that had waited for messages for more than 5 s woke, until it asked for
// the next one (often through qemu). Whether Windows does the same is not
// known: a window counts as hung only once it has stayed so for a while.
const DWORD kPollMs = 50;

bool window_stays_hung(HWND window) {
    const DWORD start = GetTickCount();
    while (IsHungAppWindow(window)) {
        if (GetTickCount() - start >= platform::kHungConfirmMs) return true;
        Sleep(kPollMs);
    }
    return false;
}

// ShowWindow on another thread's window sends that thread messages of its
// own and waits for them without limit: it runs on a thread of ours that
// the caller can stop waiting for. The call record stays with a thread that
// is still waiting when the process ends.
struct ShowCall {
    HWND window;
    int command;
};

DWORD WINAPI carry_out_show(LPVOID param) {
    const ShowCall *call = static_cast<const ShowCall *>(param);
    ::ShowWindow(call->window, call->command);
    return 0;
}

bool show_within(HWND window, int command, DWORD timeout_ms) {
    ShowCall *call = static_cast<ShowCall *>(malloc(sizeof(ShowCall)));
    HANDLE worker = nullptr;
    if (call) {
        *call = ShowCall{window, command};
        worker = CreateThread(nullptr, 0, carry_out_show, call, 0, nullptr);
    }
    // Not started: the caller hands the command over instead.
    if (!worker) {
        free(call);
        return false;
    }
    const bool done = WaitForSingleObject(worker, timeout_ms) == WAIT_OBJECT_0;
    CloseHandle(worker);
    if (done) free(call);
    return done;
}

// The answer to the send under way. The system may call back after the
// send that asked for it has given up and returned, inside a later send:
// the reply lives on, and one that carries another send's number is not
// this send's answer.
struct Reply {
    ULONG_PTR send;
    bool arrived;
    LRESULT result;
};
Reply reply = {0, false, 0};

VOID CALLBACK take_reply(HWND, UINT, ULONG_PTR send, LRESULT result) {
    if (send != reply.send) return;
    reply.arrived = true;
    reply.result = result;
}

// The visible, enabled top-level windows of a thread (the first 64).
struct ShownWindows {
    HWND list[64];
    int count;
};

BOOL CALLBACK collect_shown(HWND window, LPARAM context) {
    ShownWindows *shown = reinterpret_cast<ShownWindows *>(context);
    if (IsWindowVisible(window) && IsWindowEnabled(window) && shown->count < 64)
        shown->list[shown->count++] = window;
    return TRUE;
}

ShownWindows shown_windows(DWORD thread) {
    ShownWindows shown = {{}, 0};
    EnumThreadWindows(thread, collect_shown, reinterpret_cast<LPARAM>(&shown));
    return shown;
}

// Whether the program shows its user a question: a modal dialog or message
// box disables the window it belongs to, and one without an owner is a
// window of the thread that was not shown when the message was sent
// (windows shown before are the program's own, not a question).
bool shows_question(HWND window, DWORD thread, const ShownWindows &before) {
    if (IsWindow(window) && !IsWindowEnabled(window)) return true;
    const ShownWindows now = shown_windows(thread);
    for (int i = 0; i < now.count; ++i) {
        bool known = now.list[i] == window;
        for (int j = 0; j < before.count && !known; ++j) known = before.list[j] == now.list[i];
        if (!known) return true;
    }
    return false;
}

// Sends, then waits for the answer: without limit while the program shows
// a question (asking its user keeps a thread handling messages), at most
// answer_bound_ms while it shows none, and no longer once its thread is
// judged hung. (SMTO_NOTIMEOUTIFNOTHUNG would wait without limit for a
// program that handles messages and never answers, and Wine ignores it.)
platform::SendOutcome send_awaiting(HWND window, UINT message, WPARAM wparam,
                                    DWORD answer_bound_ms, DWORD_PTR *result) {
    using platform::kAnswered, platform::kGone, platform::kRefused, platform::kUnanswered;
    // Whose thread it is, asked before anything is sent: a window that
    // destroys itself while it answers has none afterwards. A thread that
    // may not be opened (another user's program) is one whose end cannot
    // be seen, not one that has ended.
    const DWORD thread_id = GetWindowThreadProcessId(window, nullptr);
    if (!thread_id) return kGone;
    HANDLE thread = OpenThread(SYNCHRONIZE, FALSE, thread_id);
    const ShownWindows before = shown_windows(thread_id);
    reply = {reply.send + 1, false, 0};
    // A refused or invalid window fails here at once.
    if (!SendMessageCallbackA(window, message, wparam, 0, take_reply, reply.send)) {
        if (thread) CloseHandle(thread);
        return GetLastError() == ERROR_INVALID_WINDOW_HANDLE ? kGone : kRefused;
    }
    platform::SendOutcome outcome;
    DWORD quiet_since = GetTickCount();
    for (;; MsgWaitForMultipleObjects(thread ? 1 : 0, &thread, FALSE, kPollMs, QS_ALLINPUT)) {
        // The reply is handed to take_reply while this thread looks at its
        // own messages.
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        // A window destroyed while it handles the message still answers
        // from its thread, unless its program ends first.
        const bool exists = IsWindow(window) != FALSE;
        if (reply.arrived) {
            *result = static_cast<DWORD_PTR>(reply.result);
            outcome = kAnswered;
        } else if (thread && WaitForSingleObject(thread, 0) == WAIT_OBJECT_0) {
            outcome = kGone;
        } else if (exists && window_stays_hung(window)) {
            outcome = kUnanswered; // hung with a question open too: no answer can come
        } else if (shows_question(window, thread_id, before)) {
            quiet_since = GetTickCount(); // the bound runs only while none is open
            continue;
        } else if (GetTickCount() - quiet_since < answer_bound_ms) {
            continue;
        } else {
            outcome = exists ? kUnanswered : kGone;
        }
        break;
    }
    if (thread) CloseHandle(thread);
    return outcome;
}

} // namespace

namespace platform {

WindowHandle FindWindowA(const char *class_name, const char *title) {
    write_out_console_output();
    return handle_of(::FindWindowA(class_name, title));
}

int show_window_within(WindowHandle window, int command, unsigned timeout_ms) {
    write_out_console_output();
    // The null handle is nobody's window: ShowWindow returns at once for it.
    if (!window) return ::ShowWindow(nullptr, command), 1;
    return show_within(hwnd_of(window), command, timeout_ms) ? 1 : 0;
}

int ShowWindowAsync(WindowHandle window, int command) {
    write_out_console_output();
    return ::ShowWindowAsync(hwnd_of(window), command);
}

SendOutcome send_awaiting_answer(WindowHandle window, unsigned message, uintptr_t wparam,
                                 unsigned answer_bound_ms, uintptr_t *answer) {
    write_out_console_output();
    DWORD_PTR result = 0;
    const SendOutcome outcome = send_awaiting(hwnd_of(window), message, wparam, answer_bound_ms,
                                              &result);
    if (outcome == kAnswered) *answer = result;
    return outcome;
}

int SendNotifyMessageA(WindowHandle window, unsigned message, uintptr_t wparam, intptr_t lparam) {
    write_out_console_output();
    return ::SendNotifyMessageA(hwnd_of(window), message, wparam, lparam);
}

int stays_hung(WindowHandle window) { return window_stays_hung(hwnd_of(window)); }

unsigned GetLastError() { return ::GetLastError(); }

int PostMessageA(WindowHandle window, unsigned message, uintptr_t wparam, intptr_t lparam) {
    write_out_console_output();
    return ::PostMessageA(hwnd_of(window), message, wparam, lparam);
}

int EnumWindows(WindowCallback callback, intptr_t value) {
    write_out_console_output();
    Enumeration e = {callback, value};
    return ::EnumWindows(forward_window, reinterpret_cast<LPARAM>(&e));
}

int EnumChildWindows(WindowHandle parent, WindowCallback callback, intptr_t value) {
    write_out_console_output();
    Enumeration e = {callback, value};
    return ::EnumChildWindows(hwnd_of(parent), forward_window, reinterpret_cast<LPARAM>(&e));
}

int GetWindowTextA(WindowHandle window, char *buffer, int size) {
    write_out_console_output();
    return ::GetWindowTextA(hwnd_of(window), buffer, size);
}

int IsWindowVisible(WindowHandle window) { return ::IsWindowVisible(hwnd_of(window)); }
int IsZoomed(WindowHandle window) { return ::IsZoomed(hwnd_of(window)); }
int IsIconic(WindowHandle window) { return ::IsIconic(hwnd_of(window)); }
int GetDlgCtrlID(WindowHandle window) { return ::GetDlgCtrlID(hwnd_of(window)); }

unsigned GetACP() { return ::GetACP(); }

const char *GetCommandLineA() { return ::GetCommandLineA(); }

int argument_count(int argc, char **) { return argc; }

void exit_process(int code) {
    fflush(stdout);
    restore_console();
    exit(code);
}

} // namespace platform
