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

struct Reply {
    bool arrived;
    LRESULT result;
};

VOID CALLBACK take_reply(HWND, UINT, ULONG_PTR reply, LRESULT result) {
    *reinterpret_cast<Reply *>(reply) = {true, result};
}

// Sends and waits for the answer for as long as the window's thread keeps
// handling messages, and gives up once the system judges it hung (5 s
// without handling any). Windows documents this as SMTO_NOTIMEOUTIFNOTHUNG
// with SMTO_ABORTIFHUNG, but Wine ignores that flag and gives up after the
// time limit; the same behaviour is built here from calls both have.
LRESULT send_until_hung(HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                        DWORD_PTR *result) {
    if (IsHungAppWindow(window)) {
        SetLastError(ERROR_TIMEOUT);
        return 0;
    }
    Reply reply = {false, 0};
    // A refused or invalid window fails here at once, with its error.
    if (!SendMessageCallbackA(window, message, wparam, lparam, take_reply,
                              reinterpret_cast<ULONG_PTR>(&reply)))
        return 0;
    for (;;) {
        // The reply is handed to take_reply while this thread looks at its
        // own messages.
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        if (reply.arrived) {
            *result = static_cast<DWORD_PTR>(reply.result);
            return 1;
        }
        if (!IsWindow(window)) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return 0;
        }
        if (IsHungAppWindow(window)) {
            SetLastError(ERROR_TIMEOUT);
            return 0;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
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

const char *GetCommandLineA() { return ::GetCommandLineA(); }

int argument_count(int argc, char **) { return argc; }

void exit_process(int code) {
    fflush(stdout);
    restore_console();
    exit(code);
}

} // namespace platform
