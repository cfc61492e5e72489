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

// IsHungAppWindow is also true for a moment when a thread that has waited
// for messages for more than 5 s wakes, until it asks for the next one
// (Wine shows it often through qemu): a window counts as hung only once
// it has stayed so for a second.
const DWORD kHungConfirmMs = 1000;
const DWORD kPollMs = 50;

bool stays_hung(HWND window) {
    const DWORD start = GetTickCount();
    while (IsHungAppWindow(window)) {
        if (GetTickCount() - start >= kHungConfirmMs) return true;
        Sleep(kPollMs);
    }
    return false;
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

// Sends and waits for the answer for as long as the window's thread keeps
// handling messages, and gives up once it is hung (5 s without handling
// any, as the system judges it, for a second on end). Windows documents
// this as SMTO_NOTIMEOUTIFNOTHUNG with SMTO_ABORTIFHUNG, but Wine ignores
// that flag and gives up after the time limit; the same behaviour is built
// here from calls both have. A window destroyed while it handles the
// message still answers from its thread, unless its program ends first.
LRESULT send_until_hung(HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                        DWORD_PTR *result) {
    if (stays_hung(window)) {
        SetLastError(ERROR_TIMEOUT);
        return 0;
    }
    reply = {reply.send + 1, false, 0};
    // A refused or invalid window fails here at once, with its error.
    if (!SendMessageCallbackA(window, message, wparam, lparam, take_reply, reply.send)) return 0;
    HANDLE thread = OpenThread(SYNCHRONIZE, FALSE, GetWindowThreadProcessId(window, nullptr));
    bool gone = false;
    DWORD gone_at = 0;
    for (;;) {
        // The reply is handed to take_reply while this thread looks at its
        // own messages.
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        DWORD error = 0;
        if (reply.arrived) {
            *result = static_cast<DWORD_PTR>(reply.result);
        } else if (!IsWindow(window)) {
            // No answer will come once its thread has ended too, or has had
            // as long as a hung one to answer.
            if (!gone) gone_at = GetTickCount();
            gone = true;
            if (!thread || WaitForSingleObject(thread, 0) == WAIT_OBJECT_0 ||
                GetTickCount() - gone_at >= 5000)
                error = ERROR_INVALID_WINDOW_HANDLE;
        } else if (stays_hung(window)) {
            error = ERROR_TIMEOUT;
        }
        if (reply.arrived || error) {
            if (thread) CloseHandle(thread);
            SetLastError(error);
            return reply.arrived ? 1 : 0;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, kPollMs, QS_ALLINPUT);
    }
}

} // namespace

namespace platform {

WindowHandle FindWindowA(const char *class_name, const char *title) {
    write_out_console_output();
    return handle_of(::FindWindowA(class_name, title));
}

int ShowWindow(WindowHandle window, int command) {
    write_out_console_output();
    return ::ShowWindow(hwnd_of(window), command);
}

int ShowWindowAsync(WindowHandle window, int command) {
    write_out_console_output();
    return ::ShowWindowAsync(hwnd_of(window), command);
}

intptr_t SendMessageTimeoutA(WindowHandle window, unsigned message, uintptr_t wparam,
                             intptr_t lparam, unsigned flags, unsigned timeout_ms,
                             uintptr_t *answer) {
    write_out_console_output();
    DWORD_PTR result = 0;
    const LRESULT sent =
        flags & SMTO_NOTIMEOUTIFNOTHUNG
            ? send_until_hung(hwnd_of(window), message, wparam, lparam, &result)
            : ::SendMessageTimeoutA(hwnd_of(window), message, wparam, lparam, flags, timeout_ms,
                                    &result);
    if (answer) *answer = result;
    return sent;
}

int SendNotifyMessageA(WindowHandle window, unsigned message, uintptr_t wparam, intptr_t lparam) {
    write_out_console_output();
    return ::SendNotifyMessageA(hwnd_of(window), message, wparam, lparam);
}

int IsHungAppWindow(WindowHandle window) { return stays_hung(hwnd_of(window)); }

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
