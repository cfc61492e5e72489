// The record of a run on the simulated desktop: every platform call, in
// order, in the trace file named by QUILLEX_SIM_TRACE; and the one call
// that QUILLEX_SIM_FAIL=K fails on purpose, the K-th of the run.
#pragma once

#include <stdio.h>

namespace sim {

// The trace file, or null when the run keeps none.
FILE *trace_file();

// Writes one line of the trace; a call failed on purpose (or counted as
// the one, without a way to fail) is marked on its line.
void trace(const char *format, ...);

// Counts a platform call; true when it is the one to fail. A call that
// Windows never fails (a clock, a sleep) is counted with has_failure_mode
// false: marked, but carried out as usual.
bool fails_now(bool has_failure_mode = true);

// How many platform calls the run made.
unsigned calls_made();

// What a failed call leaves in a buffer it did not fill: bytes that are not
// text and no end, so that a program that reads it anyway is caught.
void fill_unfilled(char *buffer, int size);
void fill_unfilled(unsigned short *buffer, int size);

} // namespace sim
