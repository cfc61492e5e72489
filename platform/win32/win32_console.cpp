// The console: single key presses from its keyboard, echoed on it; its
// output code page for the UTF-8 build; and its state given back however the
// program ends. Keys are read from the console input device itself, so
// redirected standard input does not answer the questions.
// platform.h comes first: windows.h turns the SW_ and WM_ names into macros.
#include "platform.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <stdio.h>

#include "console_keys.h"
#include "win32_console.h"

namespace {

// Where the program's code page is UTF-8 (the UTF-8 build declares it), a
// console shows its titles right only while its own output code page is
// UTF-8 too: switch it for the run and give it back at the end.
UINT code_page_to_restore = 0;
bool output_held_back = false;

bool switch_console_to_utf8() {
    if (GetACP() != CP_UTF8) return false;
    DWORD mode;
    if (!GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode)) return false;
    const UINT current = GetConsoleOutputCP();
    if (current != CP_UTF8) {
        if (!SetConsoleOutputCP(CP_UTF8)) return false;
        code_page_to_restore = current;
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

// The console's input mode while a key read has it at 0.
HANDLE input_being_read = INVALID_HANDLE_VALUE;
DWORD input_mode_to_restore = 0;

// Ctrl+C outside a question, Ctrl+Break and closing the console window end
// the process without its normal exit: first give the console back, or the
// user's cmd window stays in UTF-8, then write out what was printed (a
// write stuck behind a paused pipe or a selection must not keep the
// console from being given back).
BOOL WINAPI on_console_event(DWORD) {
    restore_console();
    fflush(stdout);
    return FALSE; // the system's own handling then ends the process
}

bool set_up_console() {
    const bool switched = switch_console_to_utf8();
    SetConsoleCtrlHandler(on_console_event, TRUE);
    return switched;
}

const bool kConsoleSetUp = set_up_console();

// The key code of the last key without a character, returned by the next read.
int kept_code = -1;

unsigned modifiers_of(DWORD state) {
    return ((state & SHIFT_PRESSED) ? platform::kShift : 0) |
           ((state & (LEFT_CTRL_PRESSED | RIGHT_CTRL_PRESSED)) ? platform::kCtrl : 0) |
           ((state & (LEFT_ALT_PRESSED | RIGHT_ALT_PRESSED)) ? platform::kAlt : 0);
}

// Waits for one key-down event that gives a character or a classic key
// code; lone modifiers and keys without a code are skipped.
int read_key(HANDLE input) {
    for (;;) {
        INPUT_RECORD record;
        DWORD count = 0;
        if (!ReadConsoleInputA(input, &record, 1, &count) || count == 0) return -1;
        if (record.EventType != KEY_EVENT) continue;
        const KEY_EVENT_RECORD &key = record.Event.KeyEvent;
        if (!key.bKeyDown) continue;
        const unsigned char c = static_cast<unsigned char>(key.uChar.AsciiChar);
        if (c != 0) return c;
        const platform::KeyPress press = {key.wVirtualKeyCode,
                                          (key.dwControlKeyState & ENHANCED_KEY) != 0,
                                          modifiers_of(key.dwControlKeyState), 0};
        int lead, code;
        if (!platform::classic_key_code(press, lead, code)) continue;
        // A lead byte now, the key's code at the next read.
        if (code) kept_code = code;
        return lead;
    }
}

void echo(int byte) {
    HANDLE output = CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                nullptr);
    if (output == INVALID_HANDLE_VALUE) return;
    const char c = static_cast<char>(byte);
    DWORD written;
    WriteConsoleA(output, &c, 1, &written, nullptr);
    CloseHandle(output);
}

} // namespace

void write_out_console_output() {
    if (output_held_back) fflush(stdout);
}

void restore_console() {
    if (input_being_read != INVALID_HANDLE_VALUE) SetConsoleMode(input_being_read, input_mode_to_restore);
    if (code_page_to_restore) SetConsoleOutputCP(code_page_to_restore);
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
    input_mode_to_restore = previous_mode;
    input_being_read = input;
    SetConsoleMode(input, 0);
    const int key = read_key(input);
    SetConsoleMode(input, previous_mode);
    input_being_read = INVALID_HANDLE_VALUE;
    CloseHandle(input);
    if (key >= 0) echo(key);
    return key;
}

} // namespace platform
