// The window-manager, command-line and console services that the window tool
// calls. On Windows they are the system's own (win32/); elsewhere a simulated
// desktop stands in (sim/). The tool includes only this header.
#pragma once

#include <stdint.h>

namespace platform {

// An opaque top-level or child window; null is "no window".
typedef struct OpaqueWindow *WindowHandle;

// Called once per window by the enumerations; returns non-zero to go on.
typedef int (*WindowCallback)(WindowHandle window, intptr_t value);

enum ShowCommand { SW_HIDE = 0, SW_SHOW = 5, SW_MINIMIZE = 6, SW_RESTORE = 9 };

enum Message : unsigned {
    WM_NULL = 0x00,
    WM_CLOSE = 0x10,
    WM_QUERYENDSESSION = 0x11,
    WM_QUIT = 0x12,
    WM_ENDSESSION = 0x16,
    WM_COMMAND = 0x111,
};

// Flags of SendMessageTimeoutA: give up at once on a window that is hung;
// let the time limit run only while the window's thread handles no messages.
enum { SMTO_ABORTIFHUNG = 2, SMTO_NOTIMEOUTIFNOTHUNG = 8 };

// Why a call failed: the window's program refused our message (it runs with
// higher rights), the window did not answer in time, or it does not exist.
enum { ERROR_ACCESS_DENIED = 5, ERROR_INVALID_WINDOW_HANDLE = 1400, ERROR_TIMEOUT = 1460 };

WindowHandle FindWindowA(const char *class_name, const char *title);
int ShowWindow(WindowHandle window, int command);
// Hands the show command to the window's own thread and returns at once,
// without waiting for that thread to apply it.
int ShowWindowAsync(WindowHandle window, int command);
// Sends and waits at most timeout_ms for the answer (with
// SMTO_NOTIMEOUTIFNOTHUNG, as long as the window's thread keeps handling
// messages); returns 0 when the window refused the message, did not answer
// in time or does not exist (GetLastError says which), non-zero otherwise.
intptr_t SendMessageTimeoutA(WindowHandle window, unsigned message, uintptr_t wparam,
                             intptr_t lparam, unsigned flags, unsigned timeout_ms,
                             uintptr_t *answer);
// Hands the message to the window's thread and returns at once; the thread
// handles it, in order with others sent this way, when it next looks at its
// messages (a hung one once it wakes).
int SendNotifyMessageA(WindowHandle window, unsigned message, uintptr_t wparam, intptr_t lparam);
// Whether the window's thread has stopped handling messages (hung).
int IsHungAppWindow(WindowHandle window);
// The error of the last call on this thread that failed.
unsigned GetLastError();
int PostMessageA(WindowHandle window, unsigned message, uintptr_t wparam, intptr_t lparam);
int EnumWindows(WindowCallback callback, intptr_t value);
int EnumChildWindows(WindowHandle parent, WindowCallback callback, intptr_t value);
int GetWindowTextA(WindowHandle window, char *buffer, int size);
int IsWindowVisible(WindowHandle window);
int IsZoomed(WindowHandle window);
int IsIconic(WindowHandle window);
int GetDlgCtrlID(WindowHandle window);

// The ANSI code page that titles are read in (65001: UTF-8).
unsigned GetACP();
enum { CP_UTF8 = 65001 };

// The raw command line, the program's own name included.
const char *GetCommandLineA();

// The argument count that the start-up code computed from the command line.
int argument_count(int argc, char **argv);

// Reads one key press from the console keyboard and echoes it on the
// console: the character (1-255), 3 for Ctrl+C, 0 or 0xE0 for a key without
// a character (whose key code the next read returns at once, unechoed), or
// -1 at once when there is no console.
int read_console_key();

// Ends the process with the code, writing out standard output first.
[[noreturn]] void exit_process(int code);

} // namespace platform
