// Prints the console's output code page, to check that a program gave it
// back as it found it.
#include <windows.h>

#include <stdio.h>

int main() {
    printf("console output code page %u\n", GetConsoleOutputCP());
    return 0;
}
