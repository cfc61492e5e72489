// The one way the tool ends: the exit code says whether the work was done,
// so output that never reached its file or pipe must not end with success.
#include <stdio.h>

#include "window_tool.h"

void end_program(int code) {
    // Output to a file or pipe is written in blocks; what is still buffered
    // is written here, and a write that failed before leaves the error flag.
    if (fflush(stdout) != 0 || ferror(stdout)) {
        fputs("Quillex: could not write standard output\n", stderr);
        if (code != kExitBadCommandLine) code = kExitOutputFailed;
    }
    platform::exit_process(code);
}
