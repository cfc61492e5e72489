// The console the program runs on: shown its output, and given back as the
// program found it however the program ends.
#pragma once

// Shows what was printed and is still buffered, where standard output is a
// console that would otherwise show it only later (the UTF-8 build's), and
// returns once it is on the screen. Called before every call that may take
// time, so each printed line is there before the program goes on.
void write_out_console_output();

// Gives the console back the input mode it had before a key read.
void restore_console();
