// The console the program runs on: shown its output, and given back as the
// program found it however the program ends.
#pragma once

// Writes out what was printed and is still buffered, where standard output
// is a console that would otherwise show it only later (the UTF-8 build's).
// Called before every call that may take time, so each printed line is on
// the screen before the program goes on.
void write_out_console_output();

// Gives the console back the output code page and input mode it had.
void restore_console();
