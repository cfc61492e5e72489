// The console: single key presses from its keyboard, echoed on it; the
// UTF-8 build's output shown on it as UTF-16; and its input mode given back
// however the program ends. Keys are read from the console input device itself, so
// redirected standard input does not answer the questions.
// platform.h comes first: windows.h turns the SW_ and WM_ names into macros.
// stdio.h comes before windows.h, which would otherwise make fprintf
// MinGW's own, a much larger one than the system C library's.
#include "platform.h"

#include <stdio.h>

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include "console_keys.h"
#include "win32_console.h"

namespace {

// Where the program's code page is UTF-8 (the UTF-8 build declares it), a
// console would show its bytes in the console's own code page. Rather than
// switch that code page for the run (a process that is killed never gives
// it back), what the program writes to a console goes into a pipe, and a
// thread of ours hands it to the console as UTF-16, each character whole.
// Output to a file or pipe stays bytes.
struct Relay {
    HANDLE pipe;      // the reading end
    HANDLE console;   // where the text is shown
    HANDLE wake;      // output is waiting
    HANDLE served;    // the thread has caught up with a request
    HANDLE thread;    // the relay itself: once it has ended, nothing is awaited
    volatile LONG requested, done;
};
Relay relay = {nullptr, nullptr, nullptr, nullptr, nullptr, 0, 0};

// The length of the text up to a character that its last bytes begin but
// do not finish, kept for the next read.
DWORD whole_characters(const char *bytes, DWORD length) {
    DWORD start = length;
    while (start > 0 && length - start < 3 &&
           (static_cast<unsigned char>(bytes[start - 1]) & 0xC0) == 0x80)
        --start;
    if (start == 0) return length;
    const unsigned char lead = static_cast<unsigned char>(bytes[start - 1]);
    const DWORD needed = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    return length - (start - 1) < needed ? start - 1 : length;
}

DWORD WINAPI relay_output(LPVOID) {
    char bytes[4096];
    wchar_t text[4096];
    DWORD held = 0;
    for (;;) {
        // A request is served by a look at the pipe that began after it
        // and found the pipe empty: everything written before it is shown.
        const LONG asked = InterlockedCompareExchange(&relay.requested, 0, 0);
        DWORD waiting = 0;
        if (!PeekNamedPipe(relay.pipe, nullptr, 0, nullptr, &waiting, nullptr)) return 0;
        if (waiting == 0) {
            InterlockedExchange(&relay.done, asked);
            SetEvent(relay.served);
            WaitForSingleObject(relay.wake, 50);
            continue;
        }
        DWORD got = 0;
        if (!ReadFile(relay.pipe, bytes + held, sizeof bytes - held, &got, nullptr)) return 0;
        const DWORD length = held + got, whole = whole_characters(bytes, length);
        const int units = MultiByteToWideChar(CP_UTF8, 0, bytes, static_cast<int>(whole), text,
                                              sizeof text / sizeof text[0]);
        DWORD written;
        if (units > 0) WriteConsoleW(relay.console, text, static_cast<DWORD>(units), &written, nullptr);
        held = length - whole;
        memmove(bytes, bytes + whole, held);
    }
}

bool is_console(HANDLE handle) {
    DWORD mode;
    return GetConsoleMode(handle, &mode) != 0;
}

// Sends standard output and standard error, where they are the console,
// through the relay.
bool relay_console_output() {
    if (GetACP() != CP_UTF8) return false;
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE), err = GetStdHandle(STD_ERROR_HANDLE);
    const bool out_shown = is_console(out), err_shown = is_console(err);
    if (!out_shown && !err_shown) return false;
    HANDLE write_end;
    // A copy of the standard handle itself (the screen buffer the program
    // was given, which need not be the console's active one): the standard
    // one is closed when the pipe takes its place.
    if (!DuplicateHandle(GetCurrentProcess(), out_shown ? out : err, GetCurrentProcess(),
                         &relay.console, 0, FALSE, DUPLICATE_SAME_ACCESS))
        return false;
    relay.wake = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    relay.served = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (!relay.wake || !relay.served || !CreatePipe(&relay.pipe, &write_end, nullptr, 1 << 16))
        return false;
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(write_end), _O_WRONLY);
    if (fd < 0 || !(relay.thread = CreateThread(nullptr, 0, relay_output, nullptr, 0, nullptr)))
        return false;
    if (out_shown) {
        _dup2(fd, _fileno(stdout));
        setvbuf(stdout, nullptr, _IOFBF, 1 << 16);
    }
    if (err_shown) _dup2(fd, _fileno(stderr));
    return true;
}

const bool relaying = relay_console_output();

// The console's input mode while a key read has it at 0, for the control
// handler; the mode is stored before the handle that says a read is on.
volatile LONG input_mode_to_restore = 0;
PVOID volatile input_being_read = INVALID_HANDLE_VALUE;
// Once the control handler runs, no question starts: the handler gives the
// input mode back last, and a read must not set it to 0 after that.
CRITICAL_SECTION question_lock;
bool ending = false;

DWORD WINAPI flush_output(LPVOID) {
    fflush(stdout);
    return 0;
}

// Ctrl+C outside a question, Ctrl+Break and closing the console window end
// the process at once, with the exit code the system's own handling gives.
// The system waits for this handler without limit, and the main thread may
// be stuck in a write (a paused or full pipe, a selection on the console)
// holding standard output's lock: output to a file or pipe is flushed on a
// thread that is waited for only briefly. Nothing more is written to a
// console: each line there is out already, or lost with the run.
BOOL WINAPI on_console_event(DWORD) {
    EnterCriticalSection(&question_lock);
    ending = true;
    LeaveCriticalSection(&question_lock);
    if (!relaying && !is_console(GetStdHandle(STD_OUTPUT_HANDLE))) {
        if (HANDLE flusher = CreateThread(nullptr, 0, flush_output, nullptr, 0, nullptr))
            WaitForSingleObject(flusher, 1000);
    }
    restore_console();
    TerminateProcess(GetCurrentProcess(), STATUS_CONTROL_C_EXIT);
    return TRUE;
}

bool set_up_console() {
    InitializeCriticalSection(&question_lock);
    if (!SetConsoleCtrlHandler(on_console_event, TRUE)) {
        fprintf(stderr, "Quillex: console events cannot be watched for (error %lu); Ctrl+Break "
                        "at a question would leave the console without its echo\n", GetLastError());
        return false;
    }
    return true;
}

const bool kConsoleSetUp = set_up_console();

// The key code of the last key without a character, returned by the next read.
int kept_code = -1;

unsigned modifiers_of(DWORD state) {
    return ((state & SHIFT_PRESSED) ? platform::kShift : 0) |
           ((state & (LEFT_CTRL_PRESSED | RIGHT_CTRL_PRESSED)) ? platform::kCtrl : 0) |
           ((state & (LEFT_ALT_PRESSED | RIGHT_ALT_PRESSED)) ? platform::kAlt : 0);
}

// A key read: what it returns, and what it echoes (nothing, a lead byte,
// or the character typed, as UTF-16).
struct Key {
    int code;
    wchar_t typed[2];
    int typed_length;
};

// The byte a key read returns for a typed character: the character in the
// console's input code page, as a byte-wide read would give it (first byte
// of a longer one; '?' for one the code page lacks).
int byte_of(const wchar_t *typed, int length) {
    char bytes[8];
    const int n = WideCharToMultiByte(GetConsoleCP(), 0, typed, length, bytes, sizeof bytes,
                                      nullptr, nullptr);
    return n > 0 && bytes[0] ? static_cast<unsigned char>(bytes[0]) : '?';
}

// Waits for one key-down event that gives a character or a classic key
// code; lone modifiers and keys without a code are skipped. Characters are
// read as UTF-16, whatever the code pages, so that they are echoed as typed.
Key read_key(HANDLE input) {
    Key result = {-1, {0, 0}, 0};
    for (;;) {
        INPUT_RECORD record;
        DWORD count = 0;
        if (!ReadConsoleInputW(input, &record, 1, &count) || count == 0) return result;
        if (record.EventType != KEY_EVENT) continue;
        const KEY_EVENT_RECORD &key = record.Event.KeyEvent;
        if (!key.bKeyDown) continue;
        const wchar_t c = key.uChar.UnicodeChar;
        if (c >= 0xDC00 && c < 0xE000 && result.typed_length == 1) {
            result.typed[result.typed_length++] = c; // the second half of the character
        } else if (c >= 0xD800 && c < 0xDC00) {
            result.typed[0] = c; // a character beyond 0xFFFF comes in two halves
            result.typed_length = 1;
            continue;
        } else if (c != 0) {
            result.typed[0] = c;
            result.typed_length = 1;
        }
        if (result.typed_length) {
            result.code = byte_of(result.typed, result.typed_length);
            return result;
        }
        const platform::KeyPress press = {key.wVirtualKeyCode,
                                          (key.dwControlKeyState & ENHANCED_KEY) != 0,
                                          modifiers_of(key.dwControlKeyState), 0};
        int lead, code;
        if (!platform::classic_key_code(press, lead, code)) continue;
        // A lead byte now, the key's code at the next read.
        if (code) kept_code = code;
        result.code = lead;
        return result;
    }
}

// Where the console will not hand over single keys, a line is read, with
// the console's own echo and Ctrl+C handling; its first character answers.
int read_line_answer(HANDLE input) {
    wchar_t first = 0, c = 0;
    DWORD read = 0;
    while (ReadConsoleW(input, &c, 1, &read, nullptr) && read == 1 && c != L'\n')
        if (!first) first = c;
    if (read != 1) return -1;
    return first ? byte_of(&first, 1) : '\r';
}

void echo(const Key &key) {
    HANDLE output = CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                nullptr);
    if (output == INVALID_HANDLE_VALUE) return;
    DWORD written;
    if (key.typed_length) {
        WriteConsoleW(output, key.typed, static_cast<DWORD>(key.typed_length), &written, nullptr);
    } else {
        const char lead = static_cast<char>(key.code);
        WriteConsoleA(output, &lead, 1, &written, nullptr);
    }
    CloseHandle(output);
}

} // namespace

void write_out_console_output() {
    if (!relaying) return;
    fflush(stdout);
    const LONG request = InterlockedIncrement(&relay.requested);
    SetEvent(relay.wake);
    const HANDLE awaited[2] = {relay.served, relay.thread};
    while (InterlockedCompareExchange(&relay.done, 0, 0) - request < 0)
        if (WaitForMultipleObjects(2, awaited, FALSE, INFINITE) != WAIT_OBJECT_0) return;
}

void restore_console() {
    const HANDLE input = InterlockedCompareExchangePointer(&input_being_read, nullptr, nullptr);
    if (input != INVALID_HANDLE_VALUE)
        SetConsoleMode(input, static_cast<DWORD>(
                                  InterlockedCompareExchange(&input_mode_to_restore, 0, 0)));
}

namespace platform {

int read_console_key() {
    // The question must be out, on the screen or in the file, before the
    // key is read.
    fflush(stdout);
    write_out_console_output();
    if (kept_code >= 0) {
        const int code = kept_code;
        kept_code = -1;
        return code;
    }
    HANDLE input = CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                               nullptr);
    if (input == INVALID_HANDLE_VALUE) return -1;
    DWORD previous_mode;
    if (!GetConsoleMode(input, &previous_mode)) {
        CloseHandle(input);
        return -1;
    }
    // No line input, no echo by the console, Ctrl+C as a plain key; known
    // to the control handler before the mode is set, and never set once it
    // is ending the process (it waits here for its end).
    EnterCriticalSection(&question_lock);
    if (ending) {
        LeaveCriticalSection(&question_lock);
        Sleep(INFINITE);
    }
    InterlockedExchange(&input_mode_to_restore, static_cast<LONG>(previous_mode));
    InterlockedExchangePointer(&input_being_read, input);
    const bool single_keys = SetConsoleMode(input, 0) != 0;
    if (!single_keys) InterlockedExchangePointer(&input_being_read, INVALID_HANDLE_VALUE);
    LeaveCriticalSection(&question_lock);
    if (!single_keys) {
        static bool said = false;
        if (!said)
            fprintf(stderr, "Quillex: the console gives no single keys (error %lu): type the "
                            "answer, then Enter\n", static_cast<unsigned long>(::GetLastError()));
        said = true;
        const int answer = read_line_answer(input);
        CloseHandle(input);
        return answer;
    }
    const Key key = read_key(input);
    EnterCriticalSection(&question_lock);
    SetConsoleMode(input, previous_mode);
    InterlockedExchangePointer(&input_being_read, INVALID_HANDLE_VALUE);
    LeaveCriticalSection(&question_lock);
    CloseHandle(input);
    if (key.code >= 0) echo(key);
    return key.code;
}

} // namespace platform
