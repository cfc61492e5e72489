// Types text into the edit control of a window, as a user at its keyboard
// would, so that a program has unsaved work. A test helper: Quillex itself
// never types.
//
//     typist.exe WINDOW_TITLE TEXT
#include <windows.h>

#include <stdio.h>
#include <string.h>

namespace {

BOOL CALLBACK find_edit(HWND child, LPARAM found) {
    char name[64];
    GetClassNameA(child, name, sizeof name);
    if (_stricmp(name, "Edit") != 0 && _strnicmp(name, "RichEdit", 8) != 0) return TRUE;
    *reinterpret_cast<HWND *>(found) = child;
    return FALSE;
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: typist WINDOW_TITLE TEXT\n");
        return 2;
    }
    HWND window = FindWindowA(nullptr, argv[1]);
    HWND edit = nullptr;
    if (window) EnumChildWindows(window, find_edit, reinterpret_cast<LPARAM>(&edit));
    if (!edit) {
        fprintf(stderr, "typist: no edit control in a window titled \"%s\"\n", argv[1]);
        return 1;
    }
    for (const char *c = argv[2]; *c; ++c)
        SendMessageA(edit, WM_CHAR, static_cast<unsigned char>(*c), 1);
    return 0;
}
