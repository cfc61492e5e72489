// The console: single key presses from its keyboard, echoed on it; its
// output code page for the UTF-8 build; and its state given back however the
// program ends. Keys are read from the console input device itself, so
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
// console shows its titles right only while its own output code page is
// UTF-8 too: switch it for the run and give it back at the end.
volatile LONG code_page_to_restore = 0;
bool output_held_back = false;

bool switch_console_to_utf8() {
    if (GetACP() != CP_UTF8) return false;
    DWORD mode;
    if (!GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode)) return false;
    const UINT current = GetConsoleOutputCP();
    if (current != CP_UTF8) {
        // Known to the control handler before the switch.
        InterlockedExchange(&code_page_to_restore, static_cast<LONG>(current));
        if (!SetConsoleOutputCP(CP_UTF8)) {
            InterlockedExchange(&code_page_to_restore, 0);
            return false;
        }
    }
    // Some C libraries convert console output through their own locale in
    // text mode, and a character whose bytes reach the console in separate
    // writes shows as two unknown ones: write bytes as they are, each line
    // whole (write_out_console_output). A console starts a new line at a
    // line feed all the same.
    _setmode(_fileno(stdout), _O_BINARY);
    setvbuf(stdout, nullptr, _IOFBF, 1 << 16);
    output_held_back = true;
    return true;
}

// The console's input mode while a key read has it at 0, for the control
// handler; the mode is stored before the handle that says a read is on.
volatile LONG input_mode_to_restore = 0;
PVOID volatile input_being_read = INVALID_HANDLE_VALUE;

DWORD WINAPI flush_output(LPVOID) {
    fflush(stdout);
    return 0;
}

// Ctrl+C outside a question, Ctrl+Break and closing the console window end
// the process at once, with the exit code the system's own handling gives.
// The system waits for this handler without limit, and the main thread may
// be stuck in a write (a paused or full pipe, a selection on the console)
// holding standard output's lock: the console is given back first, then
// output to a file or pipe is flushed on a thread that is waited for only
// briefly. Nothing more is written to a console: each line there is out
// already, or lost with the run.
BOOL WINAPI on_console_event(DWORD) {
    restore_console();
    DWORD mode;
    if (!GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode)) {
        if (HANDLE flusher = CreateThread(nullptr, 0, flush_output, nullptr, 0, nullptr))
            WaitForSingleObject(flusher, 1000);
    }
    TerminateProcess(GetCurrentProcess(), STATUS_CONTROL_C_EXIT);
    return TRUE;
}

// The code page is switched only where Ctrl+C can give it back.
bool set_up_console() {
    if (!SetConsoleCtrlHandler(on_console_event, TRUE)) {
        fprintf(stderr, "Quillex: Ctrl+C cannot be watched for (error %lu); the console keeps "
                        "its code page\n", GetLastError());
        return false;
    }
    return switch_console_to_utf8();
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
    if (output_held_back) fflush(stdout);
}

void restore_console() {
    const HANDLE input = InterlockedCompareExchangePointer(&input_being_read, nullptr, nullptr);
    if (input != INVALID_HANDLE_VALUE)
        SetConsoleMode(input, static_cast<DWORD>(
                                  InterlockedCompareExchange(&input_mode_to_restore, 0, 0)));
    if (const LONG code_page = InterlockedCompareExchange(&code_page_to_restore, 0, 0))
        SetConsoleOutputCP(static_cast<UINT>(code_page));
}

namespace platform {

int read_console_key() {
    fflush(stdout); // the question must be on screen before the key is read
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
    // No line input, no echo by the console, Ctrl+C as a plain key.
    InterlockedExchange(&input_mode_to_restore, static_cast<LONG>(previous_mode));
    InterlockedExchangePointer(&input_being_read, input);
    if (!SetConsoleMode(input, 0)) {
        InterlockedExchangePointer(&input_being_read, INVALID_HANDLE_VALUE);
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
    SetConsoleMode(input, previous_mode);
    InterlockedExchangePointer(&input_being_read, INVALID_HANDLE_VALUE);
    CloseHandle(input);
    if (key.code >= 0) echo(key);
    return key.code;
}

} // namespace platform
