// The window command tool: its options record and the pieces that share it.
#pragma once

#include <stdint.h>
#include <stdio.h>

#include "platform.h"
#include "switches.h"

// The empty text that the class and program name start as: a text row
// whose target holds a value takes no bare word, which stays the title's.
extern char no_text[];

// Every value the switch table can set. Zero at start but for the command id
// and the texts of the filters.
struct WindowToolOptions {
    // Texts, then numbers, then the flags: laid out without padding.
    char *windowname;        // title of the target window, or null
    char *class_name = no_text;   // /class: only windows of this class
    char *process_name = no_text; // /process: only windows of this program
    int32_t command_id = 1;  // the command posted by dook (1 is the OK button)
    int32_t wait_seconds;
    uint32_t handle_number;
    int32_t top_value;       // 1 on top, 0 not
    int32_t move_x, move_y;
    int32_t size_width, size_height;
    int32_t pid;             // /pid: only windows of this process
    unsigned char dook;      // post a button command to the window
    unsigned char exist;     // test whether the window exists
    unsigned char hide;
    unsigned char show;
    unsigned char minimize;
    unsigned char restore;
    unsigned char close;     // ask the window's program to shut down
    unsigned char listwin;   // list all top-level windows
    unsigned char listsub;   // list child windows
    unsigned char log;       // one line per action carried out
    unsigned char strict;    // the exit code tells whether each action took effect
    unsigned char wait;      // wait up to wait_seconds for what the actions await
    unsigned char gone;      // test whether the window has gone
    unsigned char help;      // list every switch
    unsigned char like;      // the title is a pattern with * and ?
    unsigned char all;       // act on every matching window
    unsigned char handle;    // the window is handle_number's, not a title's
    unsigned char json;      // list windows as JSON
    unsigned char console;   // the target is this program's console window
    unsigned char maximize;
    unsigned char activate;  // bring the window to the front
    unsigned char top;       // keep it on top or not
    unsigned char move;      // to move_x, move_y
    unsigned char size;      // to size_width, size_height
    unsigned char visible;   // only visible windows
    unsigned char by_class;
    unsigned char by_process;
    unsigned char by_pid;
};

extern WindowToolOptions options;
extern const SwitchDescriptor quillex_switches[];
// The usage and the parser's help request list the first eleven rows;
// /help lists them all.
enum { kListedSwitches = 11 };

// Parses the command line's text, in place, against the program's table.
void parse_tool_switches(char *text, ParseReport *report);

// Whether a text given (title, class or program name) lost characters on
// its way to this program (the code page lacks them): a pattern then finds
// nothing, as an exact text cannot.
extern bool title_lost;

// Writes a line on standard error, "Quillex: " first, after everything
// standard output holds so far, so that one file taking both streams reads
// in the order things happened.
void complain(const char *format, ...);

// The raw command line after the program's own name.
const char *command_line_tail();

// Exit codes beyond 0 and 1: output that could not be written (a full disk,
// a closed pipe), which no other outcome uses, so a script can tell it
// apart; and, under /strict, an action that did not take effect and a bad
// command line.
enum { kExitOutputFailed = 2, kExitNotDone = 3, kExitBadCommandLine = 4 };

// Prints the usage banner and the short help listing of the first rows.
void print_usage();

// Ends the process with the code, or with kExitOutputFailed and a line on
// standard error when standard output could not be written (a bad command
// line under /strict keeps its code). The one way the program ends.
[[noreturn]] void end_program(int code);

// Finds the target window, carries out the requested actions in their fixed
// order and returns the tool's exit code.
int run_window_actions();

// What an action must have done for /strict to count it as done.
enum Effect {
    kNoEffect, kHidden, kShown, kMinimized, kRestored, kClosed,
    kMaximized, kMoved, kSized, kOnTop, kNotOnTop, kActivated,
};

// The window a run acts on, as it was at the start.
struct Target {
    platform::WindowHandle window; // null when none was found
    unsigned thread;               // its thread then: a handle may be reused
    const char *typed;             // the typed title its lines carry, or null
    char own[128];                 // else its own title then, or its handle
    // The last effect asked of its visibility and of its placement that
    // took effect, looked at again once the actions are done.
    Effect shown, placed;
};
inline const char *title_of(const Target &t) { return t.typed ? t.typed : t.own; }

// The windows a run acts on: the one its title, pattern or handle finds, or
// with /all every window that matches.
struct Targets {
    Target *list;
    int count;
    bool given; // a title or a handle was given
};
Targets find_targets();
// Window titles are read into buffers of this size: at most 127 bytes.
enum { kTitleSize = 128 };
// Reads the window's title; returns the number of bytes copied. A UTF-8
// title cut at the buffer's end loses the bytes of its last character.
int read_title(platform::WindowHandle window, char *title);
// Whether the window is the console this program runs in, or the terminal
// window that holds it; whether it is that terminal; and whether a
// terminal holds the console (its console window is a hidden stand-in).
bool is_own_console(platform::WindowHandle window);
bool is_own_terminal(platform::WindowHandle window);
bool console_in_terminal();
// The top-level windows of the title (or pattern) given, but for those
// acted on, that are not yet as the effect would have them: visible
// (kHidden), hidden (kShown), visible and not minimized (kMinimized),
// minimized (kRestored), or there at all (kClosed).
int other_windows_titled(const Targets &except, Effect still);
// Whether the window has a descendant control with the id, enabled, or an
// enabled item with that id in its menu: something a command can press.
bool can_press(platform::WindowHandle window, int32_t id);
// Whether the window is gone: no thread any more, or another thread's now
// (its handle reused); the thread is read here when the search did not.
bool window_gone(const Target &t);

// The clock of the run, started by the entry; the time left before the
// deadline of /wait (0 once it has passed), and whether there is one.
void start_run_clock();
bool has_deadline();
unsigned deadline_left_ms();
// A wait of ms, cut to the time left before the deadline.
unsigned within_deadline(unsigned ms);
// Whether the window's thread has stopped handling messages: confirmed for
// a while, but at once once the deadline has passed.
bool judged_hung(platform::WindowHandle window);

// Awaits the effect on the target (a close as long as its bounds allow; a
// show command handed over to a window that does not answer up to 1 s;
// never past the deadline) and reports one that did not come on standard
// error. True when it came, or when nothing is judged (no /strict, no
// target).
bool took_effect(const Target &target, const char *action, Effect effect, bool handed_over);
void report_not_done(const char *action, const Target &t, const char *what);
// The switch of the action that asks for the effect ("hide" for kHidden).
const char *action_name(Effect effect);
// Once the actions are done, under /strict: each effect looked at again a
// moment later (a window may undo it), and an exact title's other windows
// judged too. Returns whether everything held.
bool effects_held(const Targets &targets, unsigned last_action_at);
// The targets once /exist has waited for one to appear (none may have).
Targets await_targets(Targets found);
// /gone: whether the windows found at the start have gone; the exit code.
int watch_until_gone(const Targets &targets);

// How long a send waits: for an answer as long as the program asks its
// user, or for a program that agreed to end its session to clean up in it.
// Under a deadline no send waits past it, and none is made once it passed.
enum Patience { kForAnswer, kForSessionEnd };
// Sends and waits for the answer (send_awaiting_answer); anything but an
// answer gives 0, as a plain send gives for a window that is gone.
platform::SendOutcome send_for_answer(platform::WindowHandle window, unsigned message,
                                      uintptr_t wparam, Patience patience, uintptr_t *answer);

// How an action on a window went: carried out (its effect to be judged),
// handed over to the window's own thread (judged a little later), or not
// done at all (already said on standard error).
enum Carried { kCarriedOut, kHandedOver, kNotDone };

// Gives the window a show command and waits, boundedly, until it is carried
// out. A window that is hung, or does not carry it out in time, or whose
// earlier command was handed over (hand_over_now), gets it to apply when it
// wakes; one whose earlier command is still under way gets none, with a
// line on standard error (title names it), so that two commands never land
// in either order.
Carried show_window(platform::WindowHandle window, const char *title, int command,
                    bool hand_over_now);

// Listing callbacks handed to the window enumerations. The top-level one
// stops the enumeration when a question is answered with Ctrl+C.
int list_top_window(platform::WindowHandle window, intptr_t list_children);
int list_child_window(platform::WindowHandle window, intptr_t unused);
// Whether a question of the listing was answered with Ctrl+C.
bool listing_interrupted();

// The JSON listing: one object per window, the children's (with the
// parent's handle as their value) after their parent's.
int json_top_window(platform::WindowHandle window, intptr_t list_children);
int json_child_window(platform::WindowHandle window, intptr_t parent);
// Ends the array begun by the first object.
void end_json_listing();
// Writes UTF-16 text as one JSON string, in ASCII.
void print_json_string(FILE *out, const uint16_t *text, int length);

// Text as UTF-16 in memory of its own (malloc), 0 ending it, with its
// length; a window's whole title likewise. Free the text when done. A
// length of -1 tells that it could not be read or converted.
struct WideText {
    uint16_t *text;
    int length;
};
WideText wide_title(platform::WindowHandle window);
WideText wide_text(const char *text);
// Whether the title matches the pattern of /like: "*" any run of
// characters, "?" one character (a surrogate pair, or a lone half of one,
// is one), any other character itself but for case.
bool title_matches(const uint16_t *pattern, int pattern_length, const uint16_t *title,
                   int title_length);
// Whether a read of a window that gave nothing failed (rather than found
// nothing, or a window that has gone meanwhile).
bool read_failed(int got);
// A window's title length (-1 when it could not be read), and a text's.
int title_length(platform::WindowHandle window);
int units_of(const uint16_t *text);
// Whether a search could not look at every window (a title that could not
// be read, an enumeration that failed): said once on standard error where
// it happened, and under /strict no success.
void note_search_failure(const char *what);
bool search_failed();

// Whether the window is one the run wants: its title (by_title: the title
// given, whole but for case, or the pattern of /like; else any title but
// the input method's windows) and the filters given. Never Quillex's own
// console or terminal, nor the system's stand-in for a hung window.
bool window_wanted(platform::WindowHandle window, bool by_title);
// Whether /visible, /class, /process or /pid narrow the windows; whether
// those but /visible name windows by themselves; and the latter as the
// not-found line says them ("class=C process=P pid=N").
bool filters_given();
bool filters_name_windows();
void describe_filters(char *text, size_t size);
// Whether the effect holds on the window as it is now (a window that is
// there is never closed).
bool effect_holds(platform::WindowHandle window, Effect effect);
