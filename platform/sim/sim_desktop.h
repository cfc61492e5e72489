// The simulated desktop: windows, console keys and command line, loaded from
// a scenario file named by QUILLEX_SIM_SCENARIO.
#pragma once

#include <stdint.h>
#include <stdio.h>

#include <memory>
#include <string>
#include <vector>

namespace sim {

enum Placement { NORMAL, MINIMIZED, MAXIMIZED };

// The process that made every window of a scenario (the fixture's, under
// Wine); a scenario writes {pid} for it.
const unsigned kSimulatedPid = 1234;

struct Window {
    std::string id;    // the scenario's name for it, used in the trace
    std::string title;
    std::string class_name = "QuillexFixtureWindow"; // as the fixture makes them
    bool visible = true;
    Placement placement = NORMAL;
    bool restore_maximized = false; // a minimized window that was maximized
    int control_id = 0;
    uintptr_t query_answer = 1;     // to WM_QUERYENDSESSION
    uintptr_t endsession_answer = 0;
    bool hung = false;              // answers no message in time
    bool wakes = false;             // hung, but wakes once the run has ended
    bool exits = false;             // its program ends while it handles WM_ENDSESSION
    bool refuses = false;           // its program refuses our messages (runs elevated)
    int asks_seconds = 0;           // asks its user this long before answering the query
    int busy_seconds = 0;           // handles no messages this long in its query handler
    bool ponders = false;           // handles messages, but never answers the query
    bool drops = false;             // messages sent to it are lost on the way
    bool stalls = false;            // stops handling messages inside its first show command
    bool post_fails = false;
    bool vanishes = false;          // destroyed by the first message or show it handles
    int saves_seconds = 0;          // in the query: destroys itself, then handles no
                                    // messages this long behind a window of its own
    int cleans_seconds = 0;         // in WM_ENDSESSION: handles no messages this long,
                                    // then its program ends
    int appears_ms = 0;             // created this long after the run starts
    int goes_ms = 0;                // destroyed this long after the run starts
    bool console = false;           // the console window the program runs in
    bool terminal = false;          // the terminal window that holds that console
    bool gone = false;              // destroyed, or not made yet
    unsigned thread = 0;            // the thread that made it
    uint32_t number = 0;            // its handle's number
    std::string owner_id;           // the window that owns it, by its id
    bool disabled = false;
    bool closes = false;            // destroyed by WM_CLOSE
    int menu_item = 0;              // the command id of an enabled item of its menu
    bool reshows = false;           // shows itself again 100 ms after it is hidden
    unsigned reshow_at_ms = 0;
    int x = 10, y = 10, width = 300, height = 200; // where it is, as the fixture makes them
    bool reports_rect = false;      // a rect= line: the final line says where it is
    int min_width = 0, min_height = 0; // the least size it lets itself have
    bool topmost = false;           // above every window that is not
    bool front = false;             // in front at the start
    Window *parent = nullptr;
    std::vector<Window *> children;
    std::vector<std::string> received; // messages, in order
    std::vector<std::string> queued;   // handed to it while hung, for when it wakes
    std::vector<int> queued_shows;     // show commands likewise
};

struct Key {
    int code;       // the byte a fresh read returns
    int kept = -1;  // the key code the next read returns, for two-byte keys
};

struct Desktop {
    std::vector<std::unique_ptr<Window>> all;
    std::vector<Window *> top; // top-level windows in enumeration order
    bool has_command_line = false;
    std::string command_line;
    bool has_console = false;
    std::vector<Key> keys;
    size_t next_key = 0;
    int pending_code = -1; // kept back by the last two-byte key
    // For the fixture under Wine: keep creating and destroying windows while
    // the program runs; leave the windows in the order the system gives.
    bool churn = false;
    bool ordered = true;
    Window *foreground = nullptr; // the window in front
    bool reports_front = false;   // a window is in front at the start: finals say which is
    bool foreground_locked = false; // Windows keeps the window in front where it is
    bool utf8_titles = false; // titles (and the command line) are UTF-8
    bool classic = false;     // the classic build, which reads them in code page 1252
    unsigned now_ms = 0;      // the run's virtual clock
};

// Loads the scenario's desktop; false with a message in error on a bad file.
bool load_desktop(const char *path, Desktop &desktop, std::string &error);

// A top-level window's state at the end of a run.
struct FinalState {
    bool visible;
    Placement placement;
    int x, y, width, height; // said where the scenario gave a rect
    bool topmost, front;
};

// Writes the messages each window received and each top-level window's
// final state, as a scenario's received and final lines; for a window that
// is not gone, state fills in its state, or tells that it gets no line
// (false). The simulated desktop and the fixture that makes real windows
// report alike.
typedef bool (*StateOf)(const Window &window, FinalState *state);
void write_report(FILE *f, const Desktop &desktop, StateOf state);

// The name of a message that a report records ("WM_CLOSE"), or null.
const char *message_name(unsigned message);

} // namespace sim
