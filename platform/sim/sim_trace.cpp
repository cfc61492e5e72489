// The trace of a simulated run, and failure injection.
#include "sim_trace.h"

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace sim {

FILE *trace_file() {
    static FILE *f = nullptr;
    static bool opened = false;
    if (!opened) {
        opened = true;
        if (const char *path = getenv("QUILLEX_SIM_TRACE")) f = fopen(path, "w");
    }
    return f;
}

namespace {

const unsigned fail_at = [] {
    const char *k = getenv("QUILLEX_SIM_FAIL");
    return k ? static_cast<unsigned>(strtoul(k, nullptr, 10)) : 0u;
}();
unsigned calls = 0;
const char *mark = ""; // for the next trace line

} // namespace

void trace(const char *format, ...) {
    FILE *f = trace_file();
    if (!f) return;
    va_list args;
    va_start(args, format);
    vfprintf(f, format, args); // NOLINT(clang-analyzer-valist.Uninitialized): started above
    va_end(args);
    fprintf(f, "%s\n", mark);
    fflush(f);
    mark = "";
}

bool fails_now(bool has_failure_mode) {
    if (++calls != fail_at) return false;
    mark = has_failure_mode ? " injected" : " injected: no failure mode";
    return has_failure_mode;
}

unsigned calls_made() { return calls; }

void fill_unfilled(char *buffer, int size) {
    if (size > 0) memset(buffer, 0xCC, static_cast<size_t>(size));
}

void fill_unfilled(unsigned short *buffer, int size) {
    for (int i = 0; i < size; ++i) buffer[i] = 0xFFFF;
}

} // namespace sim
