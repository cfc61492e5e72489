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

enum ShowCommand { SW_HIDE = 0, SW_MAXIMIZE = 3, SW_SHOW = 5, SW_MINIMIZE = 6, SW_RESTORE = 9 };

enum Message : unsigned {
    WM_CLOSE = 0x10,
    WM_QUERYENDSESSION = 0x11,
    WM_QUIT = 0x12,
    WM_ENDSESSION = 0x16,
    WM_COMMAND = 0x111,
};

// How long a thread may go without handling messages before the system
// judges it hung (Windows' own figure); how long it must then stay so before
// the tool believes it; how long a program that keeps handling messages,
// but shows no question, is given to answer; and how long one that agreed
// to end its session is given to clean up in it.
enum : unsigned {
    kHungBoundMs = 5000,
    kHungConfirmMs = 1000,
    kAnswerBoundMs = 8000,
    kEndSessionBoundMs = 30000,
};

// Why a call failed: the window's program refused our message (it runs with
// higher rights), or the window does not exist.
enum { ERROR_ACCESS_DENIED = 5, ERROR_INVALID_WINDOW_HANDLE = 1400 };

WindowHandle FindWindowA(const char *class_name, const char *title);
// Gives the window a show command through the run's one worker, and waits
// at most timeout_ms for the window's thread to carry it out: done (the
// null or an invalid window included); under way when that time passed
// first (the worker's call goes on: the command lands when the thread
// wakes, or never); or not given, when the worker is still held by an
// earlier call or could not be started.
enum ShowOutcome { kShowDone, kShowUnderWay, kShowNotGiven };
ShowOutcome show_window_within(WindowHandle window, int command, unsigned timeout_ms);
// Whether the worker's call to this window is still under way: a command
// handed over now could land before that one.
int show_under_way(WindowHandle window);
// Hands the show command to the window's own thread and returns at once,
// without waiting for that thread to apply it; 0 when it could not be
// handed over (GetLastError says why).
int ShowWindowAsync(WindowHandle window, int command);

// How a send that waits for the window's answer ended.
enum SendOutcome {
    kAnswered, // the window answered: the answer is its own
    kGone,     // the window is gone, or its program ended, without answering
    kRefused,  // its program refused the message: nothing was delivered
    kUnanswered, // sent, but no answer came in time: its thread stopped
                 // handling messages (hung), or the bound passed; the
                 // message may still be under way inside that program
};
// How long a send waits for the answer: at most bound_ms, but without limit
// while the window's program shows a question (a window of its disabled, or
// a new window of its thread shown) when longer_while_asking; and no longer
// once its thread is judged hung when hung_ends.
struct AnswerWait {
    unsigned bound_ms;
    bool longer_while_asking;
    bool hung_ends;
};
SendOutcome send_awaiting_answer(WindowHandle window, unsigned message, uintptr_t wparam,
                                 const AnswerWait &wait, uintptr_t *answer);
// Hands the message to the window's thread and returns at once; the thread
// handles it, in order with others sent this way, when it next looks at its
// messages (a hung one once it wakes).
int SendNotifyMessageA(WindowHandle window, unsigned message, uintptr_t wparam, intptr_t lparam);
// Whether the window's thread has stopped handling messages, as the system
// judges it, and stays so for kHungConfirmMs: blocks that long for a window
// that is judged hung, returns at once for one that is not.
int stays_hung(WindowHandle window);
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

// The thread that made the window, or 0 when the window does not exist. A
// window's handle may be reused once it is gone, rarely by the same thread.
unsigned window_thread(WindowHandle window);

// A clock in milliseconds (it wraps: compare differences), and a pause.
unsigned tick_ms();
void sleep_ms(unsigned ms);

// The console window the program runs in, and the terminal window that
// holds it (its root owner, where that is another window); null where
// there is none.
void console_windows(WindowHandle *console, WindowHandle *terminal);

// Titles, class and program names whole, as UTF-16, for matching and for
// the JSON listing: each returns the number of units copied (at most
// size - 1; the text is cut there) and ends the text with 0. A title that
// could not be read gives 0 with GetLastError telling why (0: it is empty).
int GetWindowTextLengthW(WindowHandle window);
int GetWindowTextW(WindowHandle window, uint16_t *buffer, int size);
int GetClassNameW(WindowHandle window, uint16_t *buffer, int size);
// The process that made the window; its program's file name goes to name
// (empty where the process may not be opened).
unsigned window_process(WindowHandle window, uint16_t *name, int size);
// The window that owns it (a dialog's main window), or null.
WindowHandle window_owner(WindowHandle window);
// The window's rectangle on the screen, in pixels, as GetWindowRect gives it
// (a minimized window's is where the system parks it); 0 when it cannot be
// read.
struct WindowRect {
    int32_t left, top, right, bottom;
};
int GetWindowRect(WindowHandle window, WindowRect *rect);
// Moves or sizes the window, or puts it above others or not, without
// waiting for its thread to do it (SWP_ASYNCWINDOWPOS) and without bringing
// it to the front; 0 when that could not be handed to it.
enum Placing { kPlaceMove = 1, kPlaceSize = 2, kPlaceTopmost = 4, kPlaceNotTopmost = 8 };
int place_window(WindowHandle window, unsigned placing, int32_t x, int32_t y, int32_t width,
                 int32_t height);
// Whether the window stays above the others (WS_EX_TOPMOST).
int is_topmost(WindowHandle window);
// The window in front, which the user types into; bringing one there,
// which Windows may refuse (it flashes its taskbar button instead); and
// the window a disabled window's question is in (GetLastActivePopup).
WindowHandle GetForegroundWindow();
int SetForegroundWindow(WindowHandle window);
WindowHandle GetLastActivePopup(WindowHandle window);
int IsWindowEnabled(WindowHandle window);
// Whether the window's menu has an item with that command id, enabled
// (GetMenu and GetMenuState: nothing is sent to the window).
int has_enabled_menu_item(WindowHandle window, unsigned id);
// Whether the system judges the window's thread hung now, without waiting.
int IsHungAppWindow(WindowHandle window);
// The top-level window that a handle's number names (as Windows widens
// one of 32 bits), or null when there is none; and a handle's number.
WindowHandle top_level_window(uint32_t number);
uint32_t handle_number(WindowHandle window);
// Text in the ANSI code page as UTF-16; the number of units, 0 ending it
// (without a buffer: the number of units it needs, the 0 not counted); -1
// when it could not be converted.
int ansi_to_utf16(const char *text, uint16_t *buffer, int size);
// Whether two UTF-16 texts are the same but for case, as the system
// compares titles (a comparison the system cannot make is made unit by
// unit).
bool same_ignoring_case(const uint16_t *a, int a_length, const uint16_t *b, int b_length);

// The ANSI code page that titles are read in (65001: UTF-8).
unsigned GetACP();
enum { CP_UTF8 = 65001 };

// The raw command line, the program's own name included.
const char *GetCommandLineA();
// Marks lost[i] for each byte i of that line that stands for a character
// the ANSI code page lacks (the system put "?" or a look-alike there);
// lost has room for the line. Returns whether any was lost.
bool command_line_losses(unsigned char *lost);

// The argument count that the start-up code computed from the command line.
int argument_count(int argc, char **argv);

// Reads one key press from the console keyboard and echoes it on the
// console: the character (1-255), 3 for Ctrl+C, 0 or 0xE0 for a key without
// a character (whose key code the next read returns at once, unechoed), or
// -1 at once when there is no console.
int read_console_key();

// Writes out what standard output holds and returns once it is shown
// (a console may show it later than it is written).
void write_out_output();

// Ends the process with the code, writing out standard output first.
[[noreturn]] void exit_process(int code);

} // namespace platform
