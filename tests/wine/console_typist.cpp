// Types keys into a console of its own, then starts a program on that
// console, so that the program reads them as a person's key presses: Ctrl+C
// as the character 3, cursor keys marked as enhanced, keys without a
// character. Afterwards it reports what the console shows (the echoes) and
// how many input records were left unread. No terminal is needed.
//
//     console_typist.exe [--title TITLE] KEYS SCREEN PROGRAM [ARGUMENT...]
//
// KEYS holds one key a line, each written as a press and a release:
//     char HH     the character HH (hexadecimal)
//     key NAME    a key by name, with the modifiers held around it:
//                 ctrl+c, f1, shift+f6, ctrl+up, volume-up (console_keys.h)
// A lone Shift press and a mouse move come first, for the reader to skip.
// SCREEN receives "left N" and then the console's lines. The program gets
// our standard handles; its exit code is ours.
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "console_keys.h"

namespace {

INPUT_RECORD key_record(bool down, WORD vk, WORD scan, char c, DWORD state) {
    INPUT_RECORD r = {};
    r.EventType = KEY_EVENT;
    r.Event.KeyEvent.bKeyDown = down;
    r.Event.KeyEvent.wRepeatCount = 1;
    r.Event.KeyEvent.wVirtualKeyCode = vk;
    r.Event.KeyEvent.wVirtualScanCode = scan;
    r.Event.KeyEvent.uChar.AsciiChar = c;
    r.Event.KeyEvent.dwControlKeyState = state;
    return r;
}

void press(std::vector<INPUT_RECORD> &records, WORD vk, WORD scan, char c, DWORD state) {
    records.push_back(key_record(true, vk, scan, c, state));
    records.push_back(key_record(false, vk, scan, c, state));
}

WORD scan_code(WORD vk) { return static_cast<WORD>(MapVirtualKeyA(vk, MAPVK_VK_TO_VSC)); }

// The key, with each of its modifiers pressed before it and released after.
void press_named(std::vector<INPUT_RECORD> &records, const platform::KeyPress &key) {
    const struct {
        unsigned modifier;
        WORD vk;
        DWORD state;
    } modifiers[] = {{platform::kShift, VK_SHIFT, SHIFT_PRESSED},
                     {platform::kCtrl, VK_CONTROL, LEFT_CTRL_PRESSED},
                     {platform::kAlt, VK_MENU, LEFT_ALT_PRESSED}};
    DWORD state = 0;
    for (const auto &m : modifiers) {
        if (!(key.modifiers & m.modifier)) continue;
        state |= m.state;
        records.push_back(key_record(true, m.vk, scan_code(m.vk), 0, state));
    }
    const WORD vk = static_cast<WORD>(key.virtual_key);
    press(records, vk, scan_code(vk), static_cast<char>(key.character),
          state | (key.enhanced ? ENHANCED_KEY : 0));
    for (const auto &m : modifiers) {
        if (!(key.modifiers & m.modifier)) continue;
        state &= ~m.state;
        records.push_back(key_record(false, m.vk, scan_code(m.vk), 0, state));
    }
}

bool read_keys(const char *path, std::vector<INPUT_RECORD> &records) {
    FILE *f = fopen(path, "r");
    if (!f) return false;
    press(records, VK_SHIFT, 0x2A, 0, SHIFT_PRESSED);
    INPUT_RECORD mouse = {};
    mouse.EventType = MOUSE_EVENT;
    mouse.Event.MouseEvent.dwEventFlags = MOUSE_MOVED;
    records.push_back(mouse);
    char line[128];
    bool ok = true;
    while (ok && fgets(line, sizeof line, f)) {
        unsigned code;
        char name[64];
        platform::KeyPress key;
        if (sscanf(line, "char %x", &code) == 1) {
            const SHORT found = VkKeyScanA(static_cast<char>(code));
            const WORD vk = found == -1 ? 0 : LOBYTE(found);
            press(records, vk, scan_code(vk), static_cast<char>(code), 0);
        } else if (sscanf(line, "key %63s", name) == 1 && platform::key_by_name(name, key)) {
            press_named(records, key);
        } else {
            ok = line[0] == '\n';
        }
    }
    fclose(f);
    return ok;
}

// Ctrl+C is written as a key; it must not end the typist itself. A handler,
// unlike ignoring the event, is not passed on to the program.
BOOL WINAPI ignore_event(DWORD) { return TRUE; }

std::string quoted_arguments(int argc, char **argv) {
    std::string line;
    for (int i = 0; i < argc; ++i) line += std::string(i ? " \"" : "\"") + argv[i] + "\"";
    return line;
}

// The console's window and the system's helper windows of its thread are
// newer than the test's windows and would come first in listings: put them
// below every other window.
BOOL CALLBACK lower_console_window(HWND window, LPARAM console_thread) {
    if (GetWindowThreadProcessId(window, nullptr) == static_cast<DWORD>(console_thread))
        SetWindowPos(window, HWND_BOTTOM, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
    return TRUE;
}

void write_screen(const char *path, DWORD left) {
    FILE *f = fopen(path, "wb");
    if (!f) return;
    fprintf(f, "left %lu\n", static_cast<unsigned long>(left));
    HANDLE output = CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                nullptr);
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (output != INVALID_HANDLE_VALUE && GetConsoleScreenBufferInfo(output, &info)) {
        std::vector<char> row(info.dwSize.X);
        for (SHORT y = 0; y < info.dwSize.Y; ++y) {
            DWORD read = 0;
            ReadConsoleOutputCharacterA(output, row.data(), info.dwSize.X, {0, y}, &read);
            while (read > 0 && (row[read - 1] == ' ' || row[read - 1] == 0)) --read;
            if (!read) continue;
            fwrite(row.data(), 1, read, f); // a NUL echoed is a character here
            fputc('\n', f);
        }
    }
    fclose(f);
}

} // namespace

int main(int argc, char **argv) {
    const char *title = "";
    if (argc > 2 && strcmp(argv[1], "--title") == 0) {
        title = argv[2];
        argc -= 2;
        argv += 2;
    }
    if (argc < 4) {
        fprintf(stderr, "usage: console_typist KEYS SCREEN PROGRAM [ARGUMENT...]\n");
        return 250;
    }
    std::vector<INPUT_RECORD> records;
    if (!read_keys(argv[1], records)) {
        fprintf(stderr, "console_typist: cannot read the keys in %s\n", argv[1]);
        return 250;
    }
    // Our standard handles (pipes or files) go to the program; the console
    // is a new one of our own.
    HANDLE const handles[3] = {GetStdHandle(STD_INPUT_HANDLE), GetStdHandle(STD_OUTPUT_HANDLE),
                         GetStdHandle(STD_ERROR_HANDLE)};
    FreeConsole();
    if (!AllocConsole()) {
        fprintf(stderr, "console_typist: no console: error %lu\n", GetLastError());
        return 251;
    }
    // Untitled, the console's window gets no line in listings. (Hiding it
    // would activate another window, which then comes first.) A scenario
    // that lists it gives it a title.
    SetConsoleTitleA(title);
    EnumWindows(lower_console_window, GetWindowThreadProcessId(GetConsoleWindow(), nullptr));
    SetConsoleCtrlHandler(ignore_event, TRUE);
    HANDLE input = CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                               nullptr);
    DWORD usual_mode = 0, written = 0;
    GetConsoleMode(input, &usual_mode);
    // With the usual mode, a written Ctrl+C would become a console event.
    SetConsoleMode(input, 0);
    WriteConsoleInputA(input, records.data(), static_cast<DWORD>(records.size()), &written);
    SetConsoleMode(input, usual_mode);

    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = handles[0];
    si.hStdOutput = handles[1];
    si.hStdError = handles[2];
    std::string line = quoted_arguments(argc - 3, argv + 3);
    PROCESS_INFORMATION pi;
    if (!CreateProcessA(argv[3], &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si,
                        &pi)) {
        fprintf(stderr, "console_typist: cannot start %s: error %lu\n", argv[3], GetLastError());
        return 252;
    }
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 253, left = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    GetNumberOfConsoleInputEvents(input, &left);
    write_screen(argv[2], left);
    return static_cast<int>(code);
}
