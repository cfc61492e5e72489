// The platform services on the simulated desktop. Every call is recorded, in
// order, in the trace file named by QUILLEX_SIM_TRACE; at exit the trace
// also gets the messages each window received and its final state.
#include <signal.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "platform.h"
#include "sim_desktop.h"

namespace {

// Windows has no SIGPIPE: a write to a closed pipe fails with an error that
// the program sees. The simulated desktop behaves the same.
const bool kSigpipeIgnored = signal(SIGPIPE, SIG_IGN) != SIG_ERR;

sim::Desktop &desktop() {
    static sim::Desktop *d = nullptr;
    if (!d) {
        d = new sim::Desktop;
        if (const char *path = getenv("QUILLEX_SIM_SCENARIO")) {
            std::string error;
            if (!sim::load_desktop(path, *d, error)) {
                fprintf(stderr, "simulated desktop: %s\n", error.c_str());
                exit(125);
            }
        }
    }
    return *d;
}

FILE *trace_file() {
    static FILE *f = nullptr;
    static bool opened = false;
    if (!opened) {
        opened = true;
        if (const char *path = getenv("QUILLEX_SIM_TRACE")) f = fopen(path, "w");
    }
    return f;
}

void trace(const char *format, ...) {
    FILE *f = trace_file();
    if (!f) return;
    va_list args;
    va_start(args, format);
    vfprintf(f, format, args); // NOLINT(clang-analyzer-valist.Uninitialized): started above
    va_end(args);
    fputc('\n', f);
    fflush(f);
}

sim::Window *window_of(platform::WindowHandle h) { return reinterpret_cast<sim::Window *>(h); }
platform::WindowHandle handle_of(sim::Window *w) {
    return reinterpret_cast<platform::WindowHandle>(w);
}

const char *name(platform::WindowHandle h) { return h ? window_of(h)->id.c_str() : "NULL"; }

// The window behind a handle, or null when there is none or it was destroyed:
// calls with a destroyed window's handle fail as with any invalid handle.
sim::Window *live(platform::WindowHandle h) {
    sim::Window *w = window_of(h);
    return w && !w->gone ? w : nullptr;
}

void destroy(sim::Window *w) {
    w->gone = true;
    for (sim::Window *c : w->children) destroy(c);
}

std::string quoted(const char *text) {
    std::string s = "\"";
    for (const unsigned char *p = reinterpret_cast<const unsigned char *>(text); *p; ++p) {
        if (*p == '"' || *p == '\\') {
            s += '\\';
            s += char(*p);
        } else if (*p < 32 || *p >= 127) {
            char hex[8];
            snprintf(hex, sizeof hex, "\\x%02x", *p);
            s += hex;
        } else {
            s += char(*p);
        }
    }
    return s + "\"";
}

std::string key_text(int key) {
    char text[16];
    if (key > 32 && key < 127 && key != '\'') snprintf(text, sizeof text, "'%c'", key);
    else if (key < 0) snprintf(text, sizeof text, "%d", key);
    else snprintf(text, sizeof text, "0x%02x", key);
    return text;
}

const char *message_name(unsigned m) {
    switch (m) {
    case platform::WM_CLOSE: return "WM_CLOSE";
    case platform::WM_QUERYENDSESSION: return "WM_QUERYENDSESSION";
    case platform::WM_QUIT: return "WM_QUIT";
    case platform::WM_ENDSESSION: return "WM_ENDSESSION";
    case platform::WM_COMMAND: return "WM_COMMAND";
    default: return "WM_?";
    }
}

// Set by the calls that fail, as Windows keeps it per thread.
unsigned last_error = 0;

const char *show_name(int command) {
    switch (command) {
    case platform::SW_HIDE: return "SW_HIDE";
    case platform::SW_SHOW: return "SW_SHOW";
    case platform::SW_MINIMIZE: return "SW_MINIMIZE";
    case platform::SW_RESTORE: return "SW_RESTORE";
    default: return "SW_?";
    }
}

std::string message_text(unsigned message, uintptr_t wparam, intptr_t lparam) {
    char text[96];
    snprintf(text, sizeof text, "%s %lu %ld", message_name(message),
             static_cast<unsigned long>(wparam), static_cast<long>(lparam));
    return text;
}

void receive(sim::Window *w, unsigned message, uintptr_t wparam, intptr_t lparam) {
    w->received.push_back(message_text(message, wparam, lparam));
    // A vanishing window destroys itself while it handles its first message.
    if (w->vanishes) destroy(w);
    // The scenario's windows are one program's: when it ends, all are gone.
    if (w->exits && message == platform::WM_ENDSESSION)
        for (sim::Window *t : desktop().top) destroy(t);
}

// A message that a hung window's thread takes, to handle if it wakes.
void hand_over(sim::Window *w, unsigned message, uintptr_t wparam, intptr_t lparam) {
    w->queued.push_back(message_text(message, wparam, lparam));
}

// Windows enumerates descendants depth first, each before its own children.
bool enumerate(const std::vector<sim::Window *> &windows, platform::WindowCallback callback,
               intptr_t value, bool descend) {
    for (sim::Window *w : windows) {
        if (w->gone) continue;
        if (!callback(handle_of(w), value)) return false;
        if (descend && !enumerate(w->children, callback, value, true)) return false;
    }
    return true;
}

// The raw command line when the scenario gives none: the program's own
// arguments, joined as a command line.
std::string argv_command_line;

const char *raw_command_line() {
    const sim::Desktop &d = desktop();
    return d.has_command_line ? d.command_line.c_str() : argv_command_line.c_str();
}

std::string command_line_from_args(int argc, char **argv) {
    std::string line;
    for (int i = 0; i < argc; ++i) {
        if (i) line += ' ';
        const bool quote = strchr(argv[i], ' ') || strchr(argv[i], '\t') || !*argv[i];
        if (quote) line += '"';
        line += argv[i];
        if (quote) line += '"';
    }
    return line;
}

// The start-up code's count: the program name (quoted or up to a blank or
// tab), then one more argument if anything but blanks and tabs follows.
int count_from_command_line(const char *line) {
    const char *p = line;
    if (*p == '"') {
        p = strchr(p + 1, '"');
        p = p ? p + 1 : line + strlen(line);
    } else {
        while (*p && *p != ' ' && *p != '\t') ++p;
    }
    while (*p == ' ' || *p == '\t') ++p;
    return *p ? 2 : 1;
}

// The effect of a show command on the window's state; returns whether the
// window was visible before.
int apply_show(sim::Window *w, int command) {
    const int was_visible = w->visible;
    switch (command) {
    case platform::SW_HIDE: w->visible = false; break;
    case platform::SW_SHOW: w->visible = true; break;
    case platform::SW_MINIMIZE:
        if (w->placement != sim::MINIMIZED) {
            w->restore_maximized = w->placement == sim::MAXIMIZED;
            w->placement = sim::MINIMIZED;
        }
        w->visible = true;
        break;
    case platform::SW_RESTORE:
        if (w->placement == sim::MINIMIZED)
            w->placement = w->restore_maximized ? sim::MAXIMIZED : sim::NORMAL;
        else
            w->placement = sim::NORMAL;
        w->visible = true;
        break;
    }
    return was_visible;
}

} // namespace

namespace platform {

WindowHandle FindWindowA(const char *class_name, const char *title) {
    WindowHandle found = nullptr;
    for (sim::Window *w : desktop().top) {
        if (w->gone) continue;
        // Titles compare without regard to case; an empty title finds an
        // untitled window.
        if (strcasecmp(w->title.c_str(), title) == 0) {
            found = handle_of(w);
            break;
        }
    }
    trace("FindWindowA(%s, %s) = %s", class_name ? quoted(class_name).c_str() : "NULL",
          quoted(title).c_str(), name(found));
    return found;
}

int show_window_within(WindowHandle h, int command, unsigned timeout_ms) {
    sim::Window *w = live(h);
    int done = 1;
    if (w && (w->hung || w->stalls)) {
        // Its thread does not carry the command out, or stops handling
        // messages while it does (for the rest of the run): it is carried
        // out only if the thread wakes.
        if (w->stalls) w->hung = w->wakes = true;
        w->stalls = false;
        w->queued_shows.push_back(command);
        done = 0;
    } else if (w && w->vanishes) {
        destroy(w); // while it handles the command's first message
    } else if (w) {
        apply_show(w, command);
    }
    trace("show_window_within(%s, %s, %u ms) = %d", name(h), show_name(command), timeout_ms, done);
    return done;
}

int ShowWindowAsync(WindowHandle h, int command) {
    sim::Window *w = live(h);
    last_error = w ? 0 : ERROR_INVALID_WINDOW_HANDLE;
    // A hung window applies the command if it wakes, after this run.
    if (w && w->hung) w->queued_shows.push_back(command);
    else if (w) apply_show(w, command);
    trace("ShowWindowAsync(%s, %s) = %d", name(h), show_name(command), w != nullptr);
    return w != nullptr;
}

// How the window's program takes a message sent to it and waited for.
SendOutcome deliver(sim::Window *w, unsigned message, uintptr_t wparam, uintptr_t *answer) {
    if (!w) return kGone;
    if (w->refuses) return kRefused; // refused at once, never received
    if (w->drops) return kUnanswered; // lost on the way: nothing arrives, nothing answers
    if (w->hung) {
        hand_over(w, message, wparam, 0); // its thread takes it if it wakes
        return kUnanswered;
    }
    receive(w, message, wparam, 0);
    if (message == WM_QUERYENDSESSION) {
        // Busy past the hung bound: judged hung while it handles the query.
        if (w->busy_seconds * 1000u >= kHungBoundMs + kHungConfirmMs) {
            w->hung = w->wakes = true;
            return kUnanswered;
        }
        if (w->ponders) return kUnanswered;
    }
    // A program that ended while it handled the message never answered.
    if (w->gone && w->exits) return kGone;
    *answer = message == WM_QUERYENDSESSION ? w->query_answer
              : message == WM_ENDSESSION   ? w->endsession_answer
                                           : 0;
    return kAnswered;
}

SendOutcome send_awaiting_answer(WindowHandle h, unsigned message, uintptr_t wparam,
                                 unsigned answer_bound_ms, uintptr_t *answer) {
    uintptr_t a = 0;
    const SendOutcome outcome = deliver(live(h), message, wparam, &a);
    static const char *const outcomes[] = {"answered", "gone", "refused", "unanswered"};
    std::string result = outcomes[outcome];
    if (outcome == kAnswered) {
        *answer = a;
        result += " " + std::to_string(a);
    }
    trace("send_awaiting_answer(%s, %s, %lu, %u ms) = %s", name(h), message_name(message),
          static_cast<unsigned long>(wparam), answer_bound_ms, result.c_str());
    return outcome;
}

int SendNotifyMessageA(WindowHandle h, unsigned message, uintptr_t wparam, intptr_t lparam) {
    sim::Window *w = live(h);
    last_error = !w ? ERROR_INVALID_WINDOW_HANDLE : w->refuses ? ERROR_ACCESS_DENIED : 0;
    if (!last_error) {
        if (w->hung) hand_over(w, message, wparam, lparam);
        else receive(w, message, wparam, lparam);
    }
    trace("SendNotifyMessageA(%s, %s, %lu, %ld) = %d", name(h), message_name(message),
          static_cast<unsigned long>(wparam), static_cast<long>(lparam), !last_error);
    return !last_error;
}

int stays_hung(WindowHandle h) {
    const sim::Window *w = live(h);
    const int hung = w && w->hung;
    trace("stays_hung(%s) = %d", name(h), hung);
    return hung;
}

unsigned GetLastError() { return last_error; }

unsigned GetACP() {
    // Titles in UTF-8 are read as the UTF-8 build reads them.
    const unsigned code_page = desktop().utf8_titles ? CP_UTF8 : 1252;
    trace("GetACP() = %u", code_page);
    return code_page;
}

int PostMessageA(WindowHandle h, unsigned message, uintptr_t wparam, intptr_t lparam) {
    sim::Window *w = live(h);
    // A null window means the calling thread's own queue, which takes it.
    // A hung window's queue takes the post, to handle if it wakes.
    const int ok = !h || (w && !w->post_fails && !w->refuses);
    if (ok && w && w->hung) hand_over(w, message, wparam, lparam);
    else if (ok && w) receive(w, message, wparam, lparam);
    trace("PostMessageA(%s, %s, %lu, %ld) = %d", name(h), message_name(message),
          static_cast<unsigned long>(wparam), static_cast<long>(lparam), ok);
    return ok;
}

int EnumWindows(WindowCallback callback, intptr_t value) {
    trace("EnumWindows(callback, %ld)", static_cast<long>(value));
    enumerate(desktop().top, callback, value, false);
    return 1;
}

int EnumChildWindows(WindowHandle parent, WindowCallback callback, intptr_t value) {
    trace("EnumChildWindows(%s, callback, %ld)", name(parent), static_cast<long>(value));
    // Without a parent Windows enumerates the top-level windows, as
    // EnumWindows does; with one, every descendant of the parent.
    if (parent) {
        if (sim::Window *w = live(parent)) enumerate(w->children, callback, value, true);
    } else {
        enumerate(desktop().top, callback, value, false);
    }
    return 1;
}

int GetWindowTextA(WindowHandle h, char *buffer, int size) {
    int copied = 0;
    if (size > 0) {
        const sim::Window *w = live(h);
        const std::string title = w ? w->title : std::string();
        copied = int(title.size()) < size - 1 ? int(title.size()) : size - 1;
        memcpy(buffer, title.data(), size_t(copied));
        buffer[copied] = 0;
    }
    trace("GetWindowTextA(%s, %d) = %d %s", name(h), size, copied,
          quoted(size > 0 ? buffer : "").c_str());
    return copied;
}

int IsWindowVisible(WindowHandle h) {
    int visible = live(h) != nullptr;
    for (sim::Window *w = live(h); w; w = w->parent) visible &= w->visible;
    trace("IsWindowVisible(%s) = %d", name(h), visible);
    return visible;
}

int IsZoomed(WindowHandle h) {
    const sim::Window *w = live(h);
    const int zoomed = w && w->placement == sim::MAXIMIZED;
    trace("IsZoomed(%s) = %d", name(h), zoomed);
    return zoomed;
}

int IsIconic(WindowHandle h) {
    const sim::Window *w = live(h);
    const int iconic = w && w->placement == sim::MINIMIZED;
    trace("IsIconic(%s) = %d", name(h), iconic);
    return iconic;
}

int GetDlgCtrlID(WindowHandle h) {
    const sim::Window *w = live(h);
    const int id = w ? w->control_id : 0;
    trace("GetDlgCtrlID(%s) = %d", name(h), id);
    return id;
}

const char *GetCommandLineA() {
    const char *line = raw_command_line();
    trace("GetCommandLineA() = %s", quoted(line).c_str());
    return line;
}

int argument_count(int argc, char **argv) {
    argv_command_line = command_line_from_args(argc, argv);
    const int count = count_from_command_line(raw_command_line());
    trace("argument_count() = %d", count);
    return count;
}

int read_console_key() {
    fflush(stdout);
    sim::Desktop &d = desktop();
    if (!d.has_console) {
        trace("read_console_key() = -1");
        return -1;
    }
    if (d.pending_code >= 0) {
        const int code = d.pending_code;
        d.pending_code = -1;
        trace("read_console_key() = %s", key_text(code).c_str());
        return code;
    }
    if (d.next_key == d.keys.size()) {
        // A real console would wait here for ever.
        trace("read_console_key() blocked: no keys left");
        exit_process(124);
    }
    const sim::Key key = d.keys[d.next_key++];
    d.pending_code = key.kept;
    trace("read_console_key() = %s, echoed", key_text(key.code).c_str());
    return key.code;
}

void exit_process(int code) {
    fflush(stdout);
    trace("exit_process(%d)", code);
    const sim::Desktop &d = desktop();
    // A scenario whose keys are not all read is most likely a wrong scenario.
    if (d.next_key < d.keys.size()) trace("keys left unread: %zu", d.keys.size() - d.next_key);
    for (const auto &w : desktop().all) {
        // A window that wakes once the run has ended handles what it was handed.
        if (w->wakes) {
            w->received.insert(w->received.end(), w->queued.begin(), w->queued.end());
            for (int command : w->queued_shows) apply_show(w.get(), command);
        }
        for (const std::string &m : w->received) trace("received %s %s", w->id.c_str(), m.c_str());
    }
    for (sim::Window *w : desktop().top) {
        static const char *const placements[] = {"normal", "minimized", "maximized"};
        if (w->gone)
            trace("final %s gone", w->id.c_str());
        else
            trace("final %s %s %s", w->id.c_str(), w->visible ? "visible" : "hidden",
                  placements[w->placement]);
    }
    exit(code);
}

} // namespace platform
