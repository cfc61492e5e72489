// Single key presses from the console keyboard, echoed on the console.
// Reads the console input device itself, so redirected standard input does
// not answer the questions.
// platform.h comes first: windows.h turns the SW_ and WM_ names into macros.
#include "platform.h"

#include <windows.h>

#include <stdio.h>

namespace {

// The key code of the last key without a character, returned by the next read.
int kept_code = -1;

bool is_modifier(WORD key) {
    return key == VK_SHIFT || key == VK_CONTROL || key == VK_MENU || key == VK_CAPITAL ||
           key == VK_NUMLOCK || key == VK_SCROLL || key == VK_LWIN || key == VK_RWIN ||
           key == VK_APPS || key == VK_LSHIFT || key == VK_RSHIFT || key == VK_LCONTROL ||
           key == VK_RCONTROL || key == VK_LMENU || key == VK_RMENU;
}

// Waits for one key-down event that is not a modifier alone.
int read_key(HANDLE input) {
    for (;;) {
        INPUT_RECORD record;
        DWORD count = 0;
        if (!ReadConsoleInputA(input, &record, 1, &count) || count == 0) return -1;
        if (record.EventType != KEY_EVENT) continue;
        const KEY_EVENT_RECORD &key = record.Event.KeyEvent;
        if (!key.bKeyDown || is_modifier(key.wVirtualKeyCode)) continue;
        const unsigned char c = static_cast<unsigned char>(key.uChar.AsciiChar);
        if (c != 0) return c;
        // A key without a character: a lead byte now, its scan code next.
        kept_code = key.wVirtualScanCode & 0xFF;
        return (key.dwControlKeyState & ENHANCED_KEY) ? 0xE0 : 0;
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
    SetConsoleMode(input, 0);
    const int key = read_key(input);
    SetConsoleMode(input, previous_mode);
    CloseHandle(input);
    if (key >= 0) echo(key);
    return key;
}

} // namespace platform
