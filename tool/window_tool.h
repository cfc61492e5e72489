// The window command tool: its options record and the pieces that share it.
#pragma once

#include <stdint.h>

#include "platform.h"
#include "switches.h"

// Every value the switch table can set. Zero at start but for the command id.
struct WindowToolOptions {
    char *windowname;        // title of the target window, or null
    unsigned char dook;      // post a button command to the window
    int32_t command_id;      // the command posted by dook (1 is the OK button)
    unsigned char exist;     // test whether the window exists
    unsigned char hide;
    unsigned char show;
    unsigned char minimize;
    unsigned char restore;
    unsigned char close;     // ask the window's program to shut down
    unsigned char listwin;   // list all top-level windows
    unsigned char listsub;   // list child windows
    unsigned char log;       // one line per action carried out
};

extern WindowToolOptions options;
extern const SwitchDescriptor quillex_switches[];

// The raw command line after the program's own name.
const char *command_line_tail();

// Prints the usage banner and the short help listing, then ends with code 1.
[[noreturn]] void print_usage_and_exit();

// Exit code for output that could not be written (a full disk, a closed
// pipe): no other outcome uses it, so a script can tell it apart.
enum { kExitOutputFailed = 2 };

// Ends the process with the code, or with kExitOutputFailed and a line on
// standard error when standard output could not be written.
[[noreturn]] void end_program(int code);

// Finds the target window, carries out the requested actions in their fixed
// order and ends the process with the tool's exit code.
[[noreturn]] void run_window_actions();

// Sends and waits for the answer as long as the window's program may take
// to answer (send_awaiting_answer); anything but an answer gives 0, as a
// plain send gives for a window that is gone.
platform::SendOutcome send_for_answer(platform::WindowHandle window, unsigned message,
                                      uintptr_t wparam, uintptr_t *answer);

// Gives the window a show command and waits, boundedly, until it is carried
// out. A window that is hung, or does not carry it out in time, or one
// whose earlier command was handed over (handed_over), gets it handed over
// to apply when it wakes. Returns whether it was handed over.
bool show_window(platform::WindowHandle window, int command, bool handed_over);

// Listing callbacks handed to the window enumerations.
int list_top_window(platform::WindowHandle window, intptr_t list_children);
int list_child_window(platform::WindowHandle window, intptr_t unused);
