// Switch tables of every match mode and format kind for the fuzz targets,
// with guard words around every converted target, and the invariants a
// parse must keep.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "switches.h"

enum { kTableCount = 5, kToolTable = 0 };

// Resets every variable the tables write to its starting value.
void reset_fuzz_tables();

SwitchTable fuzz_table(int which);

// Aborts when a parse broke an invariant: text targets must point into one
// of the argument buffers (or hold their preset) and be terminated there,
// flags and seen states must agree and hold only their allowed values, and
// no converted target may have been written beyond its 32 bits.
void check_parse(int which, const SeenState &seen, char *const *buffers, const size_t *sizes,
                 int count, const char *result);

// Splits fuzz input at NUL bytes into at most max_args exactly sized heap
// buffers (so that a read past a terminator is caught). Returns the count.
int split_arguments(const uint8_t *data, size_t size, char **buffers, size_t *sizes,
                    int max_args);
