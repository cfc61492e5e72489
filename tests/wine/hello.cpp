// A trivial console program, built like quillex.exe, to compare start-up times.
#include <stdio.h>

int main() {
    printf("hello\n");
    return 0;
}
