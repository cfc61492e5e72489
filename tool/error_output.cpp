// Lines on standard error. Standard output to a file is written in blocks,
// so each line waits until what standard output holds is written: a file
// that takes both streams (">> log 2>&1") reads in the order things happened.
#include <stdarg.h>
#include <stdio.h>

#include "window_tool.h"

void complain(const char *format, ...) {
    platform::write_out_output();
    va_list args;
    va_start(args, format);
    fputs("Quillex: ", stderr);
    vfprintf(stderr, format, args); // NOLINT(clang-analyzer-valist.Uninitialized): started above
    va_end(args);
}
