// A trivial console program, built like quillex.exe, to compare start-up
// times with: "hello.exe find" also looks for a window once, with the one
// FindWindowA call that Quillex's own lookup of a title is.
// stdio.h first, as in Quillex: windows.h would make printf MinGW's own.
#include <stdio.h>

#include <windows.h>

int main(int argc, char **) {
    if (argc > 1) return FindWindowA(nullptr, "NoSuchWindow") ? 0 : 1;
    printf("hello\n");
    return 0;
}
