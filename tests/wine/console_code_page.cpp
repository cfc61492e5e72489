// Prints the console's output code page and input mode, to check that a
// program gave them back as it found them.
#include <windows.h>

#include <stdio.h>

int main() {
    DWORD mode = 0;
    HANDLE input = CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                               nullptr);
    GetConsoleMode(input, &mode);
    printf("console output code page %u, input mode 0x%lx\n", GetConsoleOutputCP(),
           static_cast<unsigned long>(mode));
    return 0;
}
