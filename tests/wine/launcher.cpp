// Starts a program with an exact raw command line, so that quoting, ".exe"
// placement and leading blanks reach GetCommandLineA as a scenario writes
// them. Standard handles are passed on; the program's exit code is ours.
// The file holds the command line in UTF-8 and it is passed on as Unicode,
// as a console hands a program what the user typed: a program whose code
// page is UTF-8 gets the same bytes back, another one its own code page's
// rendering of them. With --show N the program is started as a shortcut or
// "start /min" starts one: STARTF_USESHOWWINDOW with the show command N.
//
//     launcher.exe [--show N] PROGRAM COMMAND_LINE_FILE [STANDARD_INPUT_FILE]
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

int main(int argc, char **argv) {
    int show = -1;
    if (argc > 2 && strcmp(argv[1], "--show") == 0) {
        show = atoi(argv[2]);
        argc -= 2;
        argv += 2;
    }
    if (argc != 3 && argc != 4) {
        fprintf(stderr, "usage: launcher [--show N] PROGRAM COMMAND_LINE_FILE "
                        "[STANDARD_INPUT_FILE]\n");
        return 250;
    }
    static char line[32768];
    FILE *f = fopen(argv[2], "rb");
    if (!f) return 251;
    const size_t n = fread(line, 1, sizeof line - 1, f);
    fclose(f);
    line[n] = 0;

    STARTUPINFOW si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    if (show >= 0) {
        si.dwFlags |= STARTF_USESHOWWINDOW;
        si.wShowWindow = static_cast<WORD>(show);
    }
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    if (argc == 4) {
        SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
        si.hStdInput = CreateFileA(argv[3], GENERIC_READ, FILE_SHARE_READ, &inherit,
                                   OPEN_EXISTING, 0, nullptr);
        if (si.hStdInput == INVALID_HANDLE_VALUE) return 251;
    }
    si.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    static wchar_t wide_line[32768];
    static wchar_t program[MAX_PATH];
    if (!MultiByteToWideChar(CP_UTF8, 0, line, -1, wide_line, 32768) ||
        !MultiByteToWideChar(CP_ACP, 0, argv[1], -1, program, MAX_PATH))
        return 251;
    PROCESS_INFORMATION pi;
    if (!CreateProcessW(program, wide_line, nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si,
                        &pi))
        return 252;
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 253;
    GetExitCodeProcess(pi.hProcess, &code);
    return static_cast<int>(code);
}
