// Starts a program with an exact raw command line (a file of UTF-8, passed
// on as Unicode, as a console hands a program what the user typed), so that
// quoting and ".exe" placement reach GetCommandLineA as a scenario writes
// them; our standard handles go to it (standard input from a file, if one
// is named) and its exit code is ours. --show N starts it as a shortcut
// would (STARTF_USESHOWWINDOW). --keys gives it a console of our own (with
// --title, titled) that holds typed keys, each line of KEYS "char HH" or
// "key NAME" (console_keys.h: ctrl+c, f1, shift+f6...), after a lone Shift
// and a mouse move for the reader to skip; SCREEN then gets "left N" (input
// records left unread) and the console's lines.
//
//     starter.exe [--show N] [--keys KEYS SCREEN] [--title TITLE]
//                 PROGRAM COMMAND_LINE_FILE [STANDARD_INPUT_FILE]
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

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

WORD scan_code(WORD vk) { return static_cast<WORD>(MapVirtualKeyA(vk, MAPVK_VK_TO_VSC)); }

void press(std::vector<INPUT_RECORD> &records, WORD vk, char c, DWORD state) {
    records.push_back(key_record(true, vk, scan_code(vk), c, state));
    records.push_back(key_record(false, vk, scan_code(vk), c, state));
}

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
    press(records, static_cast<WORD>(key.virtual_key), static_cast<char>(key.character),
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
    press(records, VK_SHIFT, 0, SHIFT_PRESSED);
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
            press(records, found == -1 ? 0 : LOBYTE(found), static_cast<char>(code), 0);
        } else if (sscanf(line, "key %63s", name) == 1 && platform::key_by_name(name, key)) {
            press_named(records, key);
        } else {
            ok = line[0] == '\n';
        }
    }
    fclose(f);
    return ok;
}

// Ctrl+C is written as a key; it must not end the starter itself. A
// handler, unlike ignoring the event, is not passed on to the program.
BOOL WINAPI ignore_event(DWORD) { return TRUE; }

// The console's window and the system's helper windows of its thread are
// newer than the test's windows and would come first in listings: put them
// below every other window.
BOOL CALLBACK lower_console_window(HWND window, LPARAM console_thread) {
    if (GetWindowThreadProcessId(window, nullptr) == static_cast<DWORD>(console_thread))
        SetWindowPos(window, HWND_BOTTOM, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
    return TRUE;
}

HANDLE open_console(const char *name) {
    return CreateFileA(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       nullptr, OPEN_EXISTING, 0, nullptr);
}

// A console of our own, with the keys in its input; false when there is none.
bool console_with_keys(const char *keys, const char *title) {
    std::vector<INPUT_RECORD> records;
    if (!read_keys(keys, records)) {
        fprintf(stderr, "starter: cannot read the keys in %s\n", keys);
        return false;
    }
    FreeConsole();
    if (!AllocConsole()) {
        fprintf(stderr, "starter: no console: error %lu\n", GetLastError());
        return false;
    }
    // Untitled, the console's window gets no line in listings. (Hiding it
    // would activate another window, which then comes first.)
    SetConsoleTitleA(title);
    EnumWindows(lower_console_window, GetWindowThreadProcessId(GetConsoleWindow(), nullptr));
    SetConsoleCtrlHandler(ignore_event, TRUE);
    HANDLE input = open_console("CONIN$");
    DWORD usual_mode = 0, written = 0;
    GetConsoleMode(input, &usual_mode);
    // With the usual mode, a written Ctrl+C would become a console event.
    SetConsoleMode(input, 0);
    WriteConsoleInputA(input, records.data(), static_cast<DWORD>(records.size()), &written);
    SetConsoleMode(input, usual_mode);
    CloseHandle(input);
    return true;
}

void write_screen(const char *path) {
    FILE *f = fopen(path, "wb");
    if (!f) return;
    HANDLE input = open_console("CONIN$"), output = open_console("CONOUT$");
    DWORD left = 0;
    GetNumberOfConsoleInputEvents(input, &left);
    fprintf(f, "left %lu\n", static_cast<unsigned long>(left));
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

const char kUsage[] = "usage: starter [--show N] [--keys KEYS SCREEN] [--title TITLE] PROGRAM "
                      "COMMAND_LINE_FILE [STANDARD_INPUT_FILE]\n";

} // namespace

int main(int argc, char **argv) {
    int show = -1;
    const char *keys = nullptr, *screen = nullptr, *title = "";
    for (; argc > 2 && strncmp(argv[1], "--", 2) == 0; argc -= 2, argv += 2) {
        if (strcmp(argv[1], "--show") == 0) {
            show = atoi(argv[2]);
        } else if (strcmp(argv[1], "--title") == 0) {
            title = argv[2];
        } else if (strcmp(argv[1], "--keys") == 0 && argc > 3) {
            keys = argv[2];
            screen = argv[3];
            --argc;
            ++argv;
        } else {
            break;
        }
    }
    if (argc != 3 && argc != 4) {
        fputs(kUsage, stderr);
        return 250;
    }
    static char line[32768];
    FILE *f = fopen(argv[2], "rb");
    if (!f) return 251;
    const size_t n = fread(line, 1, sizeof line - 1, f);
    fclose(f);
    line[n] = 0;

    // Our standard handles (pipes or files) go to the program, whatever
    // console it gets.
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    if (argc == 4) {
        SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
        si.hStdInput = CreateFileA(argv[3], GENERIC_READ, FILE_SHARE_READ, &inherit,
                                   OPEN_EXISTING, 0, nullptr);
        if (si.hStdInput == INVALID_HANDLE_VALUE) return 251;
    }
    if (show >= 0) {
        si.dwFlags |= STARTF_USESHOWWINDOW;
        si.wShowWindow = static_cast<WORD>(show);
    }
    if (keys && !console_with_keys(keys, title)) return 250;
    static wchar_t wide_line[32768];
    static wchar_t program[MAX_PATH];
    if (!MultiByteToWideChar(CP_UTF8, 0, line, -1, wide_line, 32768) ||
        !MultiByteToWideChar(CP_ACP, 0, argv[1], -1, program, MAX_PATH))
        return 251;
    PROCESS_INFORMATION pi;
    if (!CreateProcessW(program, wide_line, nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si,
                        &pi)) {
        fprintf(stderr, "starter: cannot start %s: error %lu\n", argv[1], GetLastError());
        return 252;
    }
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 253;
    GetExitCodeProcess(pi.hProcess, &code);
    if (screen) write_screen(screen);
    return static_cast<int>(code);
}
