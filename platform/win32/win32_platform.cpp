// The platform services on real Windows: user32 and kernel32 calls.
// platform.h comes first: windows.h turns the SW_ and WM_ names into macros.
#include "platform.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <stdlib.h>

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

// Where the program's code page is UTF-8 (the UTF-8 build declares it), a
// console shows its titles right only while its own output code page is
// UTF-8 too: switch it for the run and give it back at exit.
UINT console_code_page_to_restore = 0;

bool switch_console_to_utf8() {
    if (GetACP() != CP_UTF8) return false;
    DWORD mode;
    if (!GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode)) return false;
    const UINT current = GetConsoleOutputCP();
    if (current != CP_UTF8) {
        if (!SetConsoleOutputCP(CP_UTF8)) return false;
        console_code_page_to_restore = current;
    }
    // Some C libraries convert console output through their own locale in
    // text mode, and a character whose bytes reach the console in separate
    // writes shows as two unknown ones: write bytes as they are, in blocks.
    // A console starts a new line at a line feed all the same, and the
    // questions are written out before each key is read.
    _setmode(_fileno(stdout), _O_BINARY);
    setvbuf(stdout, nullptr, _IOFBF, 1 << 16);
    return true;
}

const bool kConsoleSwitched = switch_console_to_utf8();

} // namespace

namespace platform {

WindowHandle FindWindowA(const char *class_name, const char *title) {
    return handle_of(::FindWindowA(class_name, title));
}

int ShowWindow(WindowHandle window, int command) { return ::ShowWindow(hwnd_of(window), command); }

int ShowWindowAsync(WindowHandle window, int command) {
    return ::ShowWindowAsync(hwnd_of(window), command);
}

intptr_t SendMessageTimeoutA(WindowHandle window, unsigned message, uintptr_t wparam,
                             intptr_t lparam, unsigned flags, unsigned timeout_ms,
                             uintptr_t *answer) {
    DWORD_PTR result = 0;
    const LRESULT sent = ::SendMessageTimeoutA(hwnd_of(window), message, wparam, lparam, flags,
                                               timeout_ms, &result);
    if (answer) *answer = result;
    return sent;
}

int PostMessageA(WindowHandle window, unsigned message, uintptr_t wparam, intptr_t lparam) {
    return ::PostMessageA(hwnd_of(window), message, wparam, lparam);
}

int EnumWindows(WindowCallback callback, intptr_t value) {
    Enumeration e = {callback, value};
    return ::EnumWindows(forward_window, reinterpret_cast<LPARAM>(&e));
}

int EnumChildWindows(WindowHandle parent, WindowCallback callback, intptr_t value) {
    Enumeration e = {callback, value};
    return ::EnumChildWindows(hwnd_of(parent), forward_window, reinterpret_cast<LPARAM>(&e));
}

int GetWindowTextA(WindowHandle window, char *buffer, int size) {
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
    if (console_code_page_to_restore) SetConsoleOutputCP(console_code_page_to_restore);
    exit(code);
}

} // namespace platform
