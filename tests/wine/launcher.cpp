// Starts a program with an exact raw command line, so that quoting, ".exe"
// placement and leading blanks reach GetCommandLineA as a scenario writes
// them. Standard handles are passed on; the program's exit code is ours.
//
//     launcher.exe PROGRAM COMMAND_LINE_FILE
#include <windows.h>

#include <stdio.h>

int main(int argc, char **argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: launcher PROGRAM COMMAND_LINE_FILE\n");
        return 250;
    }
    static char line[32768];
    FILE *f = fopen(argv[2], "rb");
    if (!f) return 251;
    const size_t n = fread(line, 1, sizeof line - 1, f);
    fclose(f);
    line[n] = 0;

    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION pi;
    if (!CreateProcessA(argv[1], line, nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi))
        return 252;
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 253;
    GetExitCodeProcess(pi.hProcess, &code);
    return static_cast<int>(code);
}
