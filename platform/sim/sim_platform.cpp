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
    case platform::WM_NULL: return "WM_NULL";
    case platform::WM_CLOSE: return "WM_CLOSE";
    case platform::WM_QUERYENDSESSION: return "WM_QUERYENDSESSION";
    case platform::WM_QUIT: return "WM_QUIT";
    case platform::WM_ENDSESSION: return "WM_ENDSESSION";
    case platform::WM_COMMAND: return "WM_COMMAND";
    default: return "WM_?";
    }
}

std::string flag_names(unsigned flags) {
    std::string names;
    if (flags & platform::SMTO_ABORTIFHUNG) names += "SMTO_ABORTIFHUNG";
    if (flags & platform::SMTO_NOTIMEOUTIFNOTHUNG)
        names += std::string(names.empty() ? "" : "|") + "SMTO_NOTIMEOUTIFNOTHUNG";
    return names.empty() ? "SMTO_NORMAL" : names;
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

int ShowWindow(WindowHandle h, int command) {
    trace("ShowWindow(%s, %s)", name(h), show_name(command));
    sim::Window *w = live(h);
    if (!w) return 0;
    if (w->hung) {
        // Windows waits here for the window's thread, for ever.
        trace("ShowWindow blocked: %s does not answer", name(h));
        exit_process(124);
    }
    return apply_show(w, command);
}

int ShowWindowAsync(WindowHandle h, int command) {
    trace("ShowWindowAsync(%s, %s)", name(h), show_name(command));
    sim::Window *w = live(h);
    if (!w) return 0;
    // A hung window applies the command when it wakes, after this run.
    if (!w->hung) apply_show(w, command);
    return 1;
}

intptr_t SendMessageTimeoutA(WindowHandle h, unsigned message, uintptr_t wparam, intptr_t lparam,
                             unsigned flags, unsigned timeout_ms, uintptr_t *answer) {
    sim::Window *w = live(h);
    uintptr_t a = 0;
    if (!w) last_error = ERROR_INVALID_WINDOW_HANDLE;
    else if (w->refuses) last_error = ERROR_ACCESS_DENIED; // refused at once, never received
    else if (w->hung) last_error = ERROR_TIMEOUT;
    else {
        receive(w, message, wparam, lparam);
        if (message == WM_QUERYENDSESSION) a = w->query_answer;
        if (message == WM_ENDSESSION) a = w->endsession_answer;
        // A program that asks its user first keeps handling messages: only a
        // time limit that runs all the same gives up on it, and its answer is lost.
        const unsigned asks_ms = message == WM_QUERYENDSESSION ? w->asks_seconds * 1000u : 0;
        if (asks_ms > timeout_ms && !(flags & SMTO_NOTIMEOUTIFNOTHUNG)) last_error = ERROR_TIMEOUT;
        // A program that ended while it handled the message never answered.
        else if (w->gone && w->exits) last_error = ERROR_INVALID_WINDOW_HANDLE;
        else last_error = 0;
    }
    const std::string sent = std::string(name(h)) + ", " + message_name(message) + ", " +
                             std::to_string(wparam) + ", " + std::to_string(lparam) + ", " +
                             flag_names(flags) + ", " + std::to_string(timeout_ms) + " ms";
    if (last_error) {
        trace("SendMessageTimeoutA(%s) = 0, error %u", sent.c_str(), last_error);
        return 0;
    }
    if (answer) *answer = a;
    trace("SendMessageTimeoutA(%s) = 1, answer %lu", sent.c_str(), static_cast<unsigned long>(a));
    return 1;
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

int IsHungAppWindow(WindowHandle h) {
    const sim::Window *w = live(h);
    const int hung = w && w->hung;
    trace("IsHungAppWindow(%s) = %d", name(h), hung);
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
        if (w->wakes) w->received.insert(w->received.end(), w->queued.begin(), w->queued.end());
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
