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

// Sends and waits for as long as the window's program keeps handling
// messages; gives up only on one that has stopped (is hung), or refuses.
bool send_while_answering(platform::WindowHandle window, unsigned message, uintptr_t wparam,
                          uintptr_t *answer);

// Sends as a plain synchronous send answers: the window's answer, or 0 from
// a window that is gone or whose program ends before it answers. False
// when the window never answered: it is hung (then *hung is set), or it
// refused the message.
bool send_answer(platform::WindowHandle window, unsigned message, uintptr_t wparam,
                 uintptr_t *answer, bool *hung);

// Whether ShowWindow on the window comes back: its program answers within
// the bounded wait, or refuses our messages outright and is not hung.
bool window_takes_show_at_once(platform::WindowHandle window);

// Gives the window a show command: at once, or handed over for a window
// that does not answer to apply when it wakes.
void show_window(platform::WindowHandle window, int command, bool at_once);
void show_window_bounded(platform::WindowHandle window, int command);

// Listing callbacks handed to the window enumerations.
int list_top_window(platform::WindowHandle window, intptr_t list_children);
int list_child_window(platform::WindowHandle window, intptr_t unused);
