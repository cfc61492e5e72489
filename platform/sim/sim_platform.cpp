// The platform services on the simulated desktop. Every call is recorded, in
// order, in the trace file named by QUILLEX_SIM_TRACE; at exit the trace
// also gets the messages each window received and its final state.
#include <signal.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>

#include "platform.h"
#include "sim_desktop.h"
#include "sim_text.h"
#include "sim_trace.h"

using sim::fails_now;
using sim::trace;

namespace {

// What a call failed on purpose leaves for GetLastError.
const unsigned kInjectedError = platform::ERROR_ACCESS_DENIED;

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

// The virtual clock moves only when the program waits; windows come and go
// on it as the scenario says.
void advance(unsigned ms) {
    sim::Desktop &d = desktop();
    d.now_ms += ms;
    for (sim::Window *w : d.top) {
        if (w->appears_ms > 0 && d.now_ms >= static_cast<unsigned>(w->appears_ms)) {
            w->gone = false;
            w->appears_ms = 0;
        }
        if (w->reshow_at_ms > 0 && d.now_ms >= w->reshow_at_ms) {
            w->visible = true;
            w->reshow_at_ms = 0;
        }
        if (w->goes_ms > 0 && d.now_ms >= static_cast<unsigned>(w->goes_ms)) {
            w->gone = true;
            for (sim::Window *c : w->children) c->gone = true;
            w->goes_ms = 0;
        }
    }
}

sim::Window *window_of(platform::WindowHandle h) { return reinterpret_cast<sim::Window *>(h); }
platform::WindowHandle handle_of(sim::Window *w) {
    return reinterpret_cast<platform::WindowHandle>(w);
}

// The code page the program reads text in: UTF-8 where the scenario's
// titles are, but for the classic build, which reads them in 1252.
bool ansi_is_utf8() { return desktop().utf8_titles && !desktop().classic; }

// A window's title as the W calls give it, and as the A calls do.
std::u16string wide_title_of(const sim::Window &w) {
    return sim::utf16_of(w.title, desktop().utf8_titles);
}
std::string ansi_title_of(const sim::Window &w) {
    return ansi_is_utf8() || !desktop().utf8_titles ? w.title : sim::cp1252_of(wide_title_of(w));
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
    const char *known = sim::message_name(m);
    return known ? known : "WM_?";
}


// Set by the calls that fail, as Windows keeps it per thread.
unsigned last_error = 0;

const char *show_name(int command) {
    switch (command) {
    case platform::SW_HIDE: return "SW_HIDE";
    case platform::SW_SHOW: return "SW_SHOW";
    case platform::SW_MINIMIZE: return "SW_MINIMIZE";
    case platform::SW_MAXIMIZE: return "SW_MAXIMIZE";
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
    if (w->vanishes || (w->closes && message == platform::WM_CLOSE)) destroy(w);
    // The scenario's windows are one program's: when it ends, all are gone.
    if (w->exits && message == platform::WM_ENDSESSION)
        for (sim::Window *t : desktop().top) destroy(t);
}

// A message that a hung window's thread takes, to handle if it wakes.
void hand_over(sim::Window *w, unsigned message, uintptr_t wparam, intptr_t lparam) {
    w->queued.push_back(message_text(message, wparam, lparam));
}

// A callback's value as the trace shows it: a window by its name, a small
// number as itself, an address (which differs from run to run) as such.
std::string value_text(intptr_t value) {
    const auto &all = desktop().all;
    const auto named = std::find_if(all.begin(), all.end(), [value](const auto &w) {
        return value == reinterpret_cast<intptr_t>(w.get());
    });
    if (named != all.end()) return (*named)->id;
    if (value > -65536 && value < 65536) return std::to_string(value);
    return "an address";
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

// The classic build's command line: the scenario's, in UTF-8, as the
// system hands it over in code page 1252, and which of its bytes lost a
// character on the way.
std::string classic_command_line;
std::vector<unsigned char> classic_losses;

const char *raw_command_line() {
    const sim::Desktop &d = desktop();
    if (!d.has_command_line) return argv_command_line.c_str();
    if (!d.classic || !d.utf8_titles) return d.command_line.c_str();
    if (classic_losses.empty()) {
        classic_command_line = sim::cp1252_of(sim::utf16_of(d.command_line, true), &classic_losses);
        classic_losses.push_back(0);
    }
    return classic_command_line.c_str();
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
    case platform::SW_HIDE:
        w->visible = false;
        if (w->reshows) w->reshow_at_ms = desktop().now_ms + 100;
        break;
    case platform::SW_SHOW: w->visible = true; break;
    case platform::SW_MINIMIZE:
        if (w->placement != sim::MINIMIZED) {
            w->restore_maximized = w->placement == sim::MAXIMIZED;
            w->placement = sim::MINIMIZED;
        }
        w->visible = true;
        break;
    case platform::SW_MAXIMIZE:
        w->placement = sim::MAXIMIZED;
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
    const bool fails = fails_now();
    // Titles compare as UTF-16, without regard to case; an empty title
    // finds an untitled window.
    const std::u16string wanted = sim::utf16_of(title, ansi_is_utf8());
    for (sim::Window *w : desktop().top) {
        if (w->gone || fails) continue;
        const std::u16string own = wide_title_of(*w);
        if (sim::same_but_case(own, wanted)) {
            found = handle_of(w);
            break;
        }
    }
    if (fails) last_error = kInjectedError;
    trace("FindWindowA(%s, %s) = %s", class_name ? quoted(class_name).c_str() : "NULL",
          quoted(title).c_str(), name(found));
    return found;
}

// The window whose call the worker is still in, for the rest of the run
// (its thread stopped handling messages inside it).
const sim::Window *under_way = nullptr;

ShowOutcome show_window_within(WindowHandle h, int command, unsigned timeout_ms) {
    sim::Window *w = live(h);
    ShowOutcome outcome = kShowDone;
    const bool fails = fails_now();
    if (fails || (under_way && w)) {
        outcome = kShowNotGiven; // the worker could not be started, or is held
    } else if (w && (w->hung || w->stalls)) {
        // Its thread does not carry the command out, or stops handling
        // messages while it does (for the rest of the run): it is carried
        // out only if the thread wakes.
        if (w->stalls) w->hung = w->wakes = true;
        w->stalls = false;
        w->queued_shows.push_back(command);
        advance(timeout_ms);
        under_way = w;
        outcome = kShowUnderWay;
    } else if (w && w->vanishes) {
        destroy(w); // while it handles the command's first message
    } else if (w) {
        apply_show(w, command);
    }
    static const char *const outcomes[] = {"done", "under way", "not given"};
    trace("show_window_within(%s, %s, %u ms) = %s", name(h), show_name(command), timeout_ms,
          outcomes[outcome]);
    return outcome;
}

int show_under_way(WindowHandle h) {
    const int busy = h && window_of(h) == under_way;
    fails_now(false);
    trace("show_under_way(%s) = %d", name(h), busy);
    return busy;
}

int ShowWindowAsync(WindowHandle h, int command) {
    sim::Window *w = live(h);
    last_error = w ? 0 : ERROR_INVALID_WINDOW_HANDLE;
    if (fails_now()) w = nullptr, last_error = kInjectedError;
    // A hung window applies the command if it wakes, after this run; so
    // does a stalling one, which stops handling messages inside it.
    if (w && w->stalls) w->hung = w->wakes = true, w->stalls = false;
    if (w && w->hung) w->queued_shows.push_back(command);
    else if (w && w->vanishes) destroy(w); // while it handles the command
    else if (w) apply_show(w, command);
    trace("ShowWindowAsync(%s, %s) = %d", name(h), show_name(command), w != nullptr);
    return w != nullptr;
}

// How the window's program takes a message sent to it and waited for, and
// how long the wait for its answer lasts.
SendOutcome deliver(sim::Window *w, unsigned message, uintptr_t wparam, const AnswerWait &wait,
                    uintptr_t *answer) {
    const unsigned judged_hung = kHungBoundMs + kHungConfirmMs;
    // Until the bound: what a program that never answers costs.
    auto no_answer = [&](unsigned after_ms) {
        advance(after_ms < wait.bound_ms ? after_ms : wait.bound_ms);
        return kUnanswered;
    };
    if (!w) return kGone;
    if (w->refuses) return kRefused; // refused at once, never received
    if (w->drops) return no_answer(wait.bound_ms); // lost on the way: nothing answers
    if (w->hung) {
        hand_over(w, message, wparam, 0); // its thread takes it if it wakes
        return no_answer(wait.hung_ends ? judged_hung : wait.bound_ms);
    }
    receive(w, message, wparam, 0);
    if (message == WM_QUERYENDSESSION) {
        if (w->saves_seconds > 0) {
            // Gone, its thread hung behind a window of its own.
            destroy(w);
            w->hung = true;
            return no_answer(wait.hung_ends ? judged_hung : w->saves_seconds * 1000u);
        }
        // Busy past the hung bound: judged hung while it handles the query.
        const unsigned busy = w->busy_seconds * 1000u;
        if (busy >= judged_hung && wait.hung_ends) {
            w->hung = w->wakes = true;
            return no_answer(judged_hung);
        }
        if (busy > wait.bound_ms) return no_answer(busy);
        advance(busy);
        // A question on the screen holds the wait, unless it is bounded.
        const unsigned asks = w->asks_seconds * 1000u;
        if (asks > wait.bound_ms && !wait.longer_while_asking) return no_answer(asks);
        advance(asks);
        if (w->ponders) return no_answer(wait.bound_ms);
    }
    if (message == WM_ENDSESSION && w->cleans_seconds > 0) {
        const unsigned cleaning = w->cleans_seconds * 1000u;
        if (cleaning >= judged_hung && wait.hung_ends) return no_answer(judged_hung);
        if (cleaning > wait.bound_ms) return no_answer(cleaning);
        advance(cleaning);
        for (sim::Window *t : desktop().top) destroy(t); // its program ends
        return kGone;
    }
    // A program that ended while it handled the message never answered.
    if (w->gone && w->exits) return kGone;
    *answer = message == WM_QUERYENDSESSION ? w->query_answer
              : message == WM_ENDSESSION   ? w->endsession_answer
                                           : 0;
    return kAnswered;
}

SendOutcome send_awaiting_answer(WindowHandle h, unsigned message, uintptr_t wparam,
                                 const AnswerWait &wait, uintptr_t *answer) {
    uintptr_t a = 0;
    // A send that fails at once is one the window's program refused.
    const SendOutcome outcome = fails_now() ? kRefused : deliver(live(h), message, wparam, wait, &a);
    static const char *const outcomes[] = {"answered", "gone", "refused", "unanswered"};
    std::string result = outcomes[outcome];
    if (outcome == kAnswered) {
        *answer = a;
        result += " " + std::to_string(a);
    }
    trace("send_awaiting_answer(%s, %s, %lu, %u ms%s%s) = %s", name(h), message_name(message),
          static_cast<unsigned long>(wparam), wait.bound_ms,
          wait.longer_while_asking ? "" : " at most", wait.hung_ends ? "" : ", even if hung",
          result.c_str());
    return outcome;
}

int SendNotifyMessageA(WindowHandle h, unsigned message, uintptr_t wparam, intptr_t lparam) {
    sim::Window *w = live(h);
    last_error = !w ? ERROR_INVALID_WINDOW_HANDLE : w->refuses ? ERROR_ACCESS_DENIED : 0;
    if (fails_now()) last_error = kInjectedError;
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
    fails_now(false);
    if (hung) advance(kHungConfirmMs);
    trace("stays_hung(%s) = %d", name(h), hung);
    return hung;
}

unsigned window_thread(WindowHandle h) {
    const sim::Window *w = live(h);
    const bool fails = fails_now();
    const unsigned thread = w && !fails ? w->thread : 0;
    trace("window_thread(%s) = %u", name(h), thread);
    return thread;
}

// Reading the clock changes nothing: it leaves no trace line, but for the
// call counted as the one to fail.
unsigned tick_ms() {
    if (fails_now(false)) trace("tick_ms() = %u", desktop().now_ms);
    return desktop().now_ms;
}

void sleep_ms(unsigned ms) {
    fails_now(false);
    trace("sleep_ms(%u)", ms);
    advance(ms);
}

void console_windows(WindowHandle *console, WindowHandle *terminal) {
    *console = *terminal = nullptr;
    // GetConsoleWindow and GetAncestor have no failure of their own.
    fails_now(false);
    for (sim::Window *w : desktop().top) {
        if (w->console) *console = handle_of(w);
        if (w->terminal) *terminal = handle_of(w);
    }
    trace("console_windows() = %s %s", name(*console), name(*terminal));
}

unsigned GetLastError() {
    fails_now(false);
    return last_error;
}


int GetWindowTextLengthW(WindowHandle h) {
    const sim::Window *w = live(h);
    const bool fails = fails_now();
    const int length = w && !fails ? static_cast<int>(wide_title_of(*w).size()) : 0;
    last_error = fails ? kInjectedError : w ? 0 : ERROR_INVALID_WINDOW_HANDLE;
    trace("GetWindowTextLengthW(%s) = %d", name(h), length);
    return length;
}

int GetWindowTextW(WindowHandle h, uint16_t *buffer, int size) {
    const sim::Window *w = live(h);
    int copied = 0;
    last_error = w ? 0 : ERROR_INVALID_WINDOW_HANDLE;
    if (fails_now()) sim::fill_unfilled(buffer, size), last_error = kInjectedError;
    else copied = sim::copy_utf16(w ? wide_title_of(*w) : std::u16string(), buffer, size);
    trace("GetWindowTextW(%s, %d) = %d", name(h), size, copied);
    return copied;
}

int GetClassNameW(WindowHandle h, uint16_t *buffer, int size) {
    const sim::Window *w = live(h);
    std::u16string name_text;
    for (const char *c = w ? w->class_name.c_str() : ""; *c; ++c)
        name_text += static_cast<char16_t>(*c);
    last_error = w ? 0 : ERROR_INVALID_WINDOW_HANDLE;
    if (fails_now()) {
        last_error = kInjectedError;
        sim::fill_unfilled(buffer, size);
        trace("GetClassNameW(%s) = 0", name(h));
        return 0;
    }
    const int copied = sim::copy_utf16(name_text, buffer, size);
    trace("GetClassNameW(%s) = %s", name(h), quoted(sim::ascii_of(buffer).c_str()).c_str());
    return copied;
}

unsigned window_process(WindowHandle h, uint16_t *buffer, int size) {
    const sim::Window *w = fails_now() ? nullptr : live(h);
    std::u16string program;
    for (const char *c = w ? "fixture.exe" : ""; *c; ++c) program += static_cast<char16_t>(*c);
    sim::copy_utf16(program, buffer, size);
    const unsigned pid = w ? sim::kSimulatedPid : 0;
    trace("window_process(%s) = %u %s", name(h), pid, quoted(sim::ascii_of(buffer).c_str()).c_str());
    return pid;
}

WindowHandle window_owner(WindowHandle h) {
    const sim::Window *w = live(h);
    WindowHandle owner = nullptr;
    const bool fails = fails_now();
    if (w && !w->owner_id.empty() && !fails) {
        const auto &all = desktop().all;
        const auto found = std::find_if(all.begin(), all.end(), [w](const auto &o) {
            return o->id == w->owner_id && !o->gone;
        });
        if (found != all.end()) owner = handle_of(found->get());
    }
    trace("window_owner(%s) = %s", name(h), name(owner));
    return owner;
}

int GetWindowRect(WindowHandle h, WindowRect *rect) {
    const sim::Window *w = fails_now() ? nullptr : live(h);
    if (w) {
        // Where the system parks a minimized window, and a maximized one's
        // frame beyond the screen's edges (the virtual display's 1280x1024).
        *rect = w->placement == sim::MINIMIZED   ? WindowRect{-32000, -32000, -31840, -31972}
                : w->placement == sim::MAXIMIZED ? WindowRect{-8, -8, 1288, 1032}
                                                 : WindowRect{w->x, w->y, w->x + w->width,
                                                              w->y + w->height};
    }
    trace("GetWindowRect(%s) = %d", name(h), w != nullptr);
    return w != nullptr;
}

int place_window(WindowHandle h, unsigned placing, int32_t x, int32_t y, int32_t width,
                 int32_t height) {
    sim::Window *w = fails_now() ? nullptr : live(h);
    last_error = w ? 0 : kInjectedError;
    // A window that does not handle its messages is placed when it wakes,
    // after the run; one that is placed keeps at least its least size.
    if (w && !w->hung && !w->stalls) {
        if (placing & kPlaceMove) w->x = x, w->y = y;
        if (placing & kPlaceSize)
            w->width = std::max(width, w->min_width), w->height = std::max(height, w->min_height);
        if (placing & kPlaceTopmost) w->topmost = true;
        if (placing & kPlaceNotTopmost) w->topmost = false;
    }
    trace("place_window(%s, %u, %d, %d, %d, %d) = %d", name(h), placing, x, y, width, height,
          w != nullptr);
    return w != nullptr;
}

int is_topmost(WindowHandle h) {
    const sim::Window *w = live(h);
    fails_now(false);
    trace("is_topmost(%s) = %d", name(h), w && w->topmost);
    return w && w->topmost;
}

WindowHandle GetForegroundWindow() {
    sim::Desktop &d = desktop();
    const WindowHandle front = d.foreground && !d.foreground->gone ? handle_of(d.foreground)
                                                                    : nullptr;
    fails_now(false);
    trace("GetForegroundWindow() = %s", name(front));
    return front;
}

int SetForegroundWindow(WindowHandle h) {
    sim::Window *w = live(h);
    // Windows lets a program take the foreground only on its conditions;
    // refused, it flashes the window's taskbar button instead.
    const bool fails = fails_now();
    const bool taken = w && !w->hung && !desktop().foreground_locked && !fails;
    if (taken) desktop().foreground = w;
    trace("SetForegroundWindow(%s) = %d", name(h), taken);
    return taken;
}

WindowHandle GetLastActivePopup(WindowHandle h) {
    const sim::Window *w = live(h);
    fails_now(false);
    // The last window it owns that is shown and enabled, else itself.
    const auto &top = desktop().top;
    const auto owned = std::find_if(top.rbegin(), top.rend(), [w](const sim::Window *o) {
        return w && !o->gone && o->owner_id == w->id && o->visible && !o->disabled;
    });
    const WindowHandle popup = owned != top.rend() ? handle_of(*owned) : h;
    trace("GetLastActivePopup(%s) = %s", name(h), name(popup));
    return popup;
}

int has_enabled_menu_item(WindowHandle h, unsigned id) {
    const sim::Window *w = live(h);
    const int has = !fails_now() && w && w->menu_item != 0 &&
                    static_cast<unsigned>(w->menu_item) == id;
    trace("has_enabled_menu_item(%s, %u) = %d", name(h), id, has);
    return has;
}

int IsWindowEnabled(WindowHandle h) {
    const sim::Window *w = live(h);
    const int enabled = w && !w->disabled;
    fails_now(false);
    trace("IsWindowEnabled(%s) = %d", name(h), enabled);
    return enabled;
}

int IsHungAppWindow(WindowHandle h) {
    const sim::Window *w = live(h);
    const int hung = w && w->hung;
    fails_now(false);
    trace("IsHungAppWindow(%s) = %d", name(h), hung);
    return hung;
}

WindowHandle top_level_window(uint32_t number) {
    const auto &top = desktop().top;
    const auto it = std::find_if(top.begin(), top.end(), [number](const sim::Window *w) {
        return !w->gone && w->number == number;
    });
    const bool fails = fails_now();
    WindowHandle found = it != top.end() && !fails ? handle_of(*it) : nullptr;
    trace("top_level_window(0x%08X) = %s", number, name(found));
    return found;
}

uint32_t handle_number(WindowHandle h) {
    fails_now(false);
    return h ? window_of(h)->number : 0;
}

int ansi_to_utf16(const char *text, uint16_t *buffer, int size) {
    const std::u16string wide_text = sim::utf16_of(text, ansi_is_utf8());
    if (fails_now()) {
        last_error = kInjectedError;
        if (buffer) sim::fill_unfilled(buffer, size);
        trace("ansi_to_utf16() = -1");
        return -1;
    }
    if (!buffer) return static_cast<int>(wide_text.size());
    return sim::copy_utf16(wide_text, buffer, size);
}

bool same_ignoring_case(const uint16_t *a, int a_length, const uint16_t *b, int b_length) {
    // Where the system cannot compare, the texts are compared unit by unit:
    // the call as the program sees it does not fail.
    if (fails_now(false)) trace("same_ignoring_case()");
    return sim::same_but_case(std::u16string(a, a + a_length), std::u16string(b, b + b_length));
}

unsigned GetACP() {
    // Titles in UTF-8 are read as the UTF-8 build reads them.
    const unsigned code_page = ansi_is_utf8() ? CP_UTF8 : 1252;
    fails_now(false);
    trace("GetACP() = %u", code_page);
    return code_page;
}

int PostMessageA(WindowHandle h, unsigned message, uintptr_t wparam, intptr_t lparam) {
    sim::Window *w = live(h);
    // A null window means the calling thread's own queue, which takes it.
    // A hung window's queue takes the post, to handle if it wakes.
    int ok = !h || (w && !w->post_fails && !w->refuses);
    if (fails_now()) ok = 0, last_error = kInjectedError;
    if (ok && w && w->hung) hand_over(w, message, wparam, lparam);
    else if (ok && w) receive(w, message, wparam, lparam);
    trace("PostMessageA(%s, %s, %lu, %ld) = %d", name(h), message_name(message),
          static_cast<unsigned long>(wparam), static_cast<long>(lparam), ok);
    return ok;
}

int EnumWindows(WindowCallback callback, intptr_t value) {
    const bool fails = fails_now();
    trace("EnumWindows(callback, %s)", value_text(value).c_str());
    if (fails) {
        last_error = kInjectedError;
        return 0;
    }
    enumerate(desktop().top, callback, value, false);
    return 1;
}

int EnumChildWindows(WindowHandle parent, WindowCallback callback, intptr_t value) {
    const bool fails = fails_now();
    trace("EnumChildWindows(%s, callback, %s)", name(parent), value_text(value).c_str());
    if (fails) return 0;
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
    if (fails_now()) {
        last_error = kInjectedError;
        sim::fill_unfilled(buffer, size);
        trace("GetWindowTextA(%s, %d) = 0", name(h), size);
        return 0;
    }
    if (size > 0) {
        const sim::Window *w = live(h);
        const std::string title = w ? ansi_title_of(*w) : std::string();
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
    fails_now(false);
    for (sim::Window *w = live(h); w; w = w->parent) visible &= w->visible;
    trace("IsWindowVisible(%s) = %d", name(h), visible);
    return visible;
}

int IsZoomed(WindowHandle h) {
    const sim::Window *w = live(h);
    const int zoomed = w && w->placement == sim::MAXIMIZED;
    fails_now(false);
    trace("IsZoomed(%s) = %d", name(h), zoomed);
    return zoomed;
}

int IsIconic(WindowHandle h) {
    const sim::Window *w = live(h);
    const int iconic = w && w->placement == sim::MINIMIZED;
    fails_now(false);
    trace("IsIconic(%s) = %d", name(h), iconic);
    return iconic;
}

int GetDlgCtrlID(WindowHandle h) {
    const sim::Window *w = live(h);
    const bool fails = fails_now();
    const int id = w && !fails ? w->control_id : 0;
    trace("GetDlgCtrlID(%s) = %d", name(h), id);
    return id;
}

const char *GetCommandLineA() {
    const char *line = raw_command_line();
    fails_now(false);
    trace("GetCommandLineA() = %s", quoted(line).c_str());
    return line;
}

bool command_line_losses(unsigned char *lost) {
    raw_command_line();
    bool any = false;
    // Failing, it tells of no loss: what it could not convert it cannot tell.
    const bool fails = fails_now();
    for (size_t i = 0; !fails && i < classic_losses.size(); ++i)
        any |= (lost[i] = classic_losses[i]) != 0;
    trace("command_line_losses() = %d", any);
    return any;
}

void write_out_output() {
    fails_now(false);
    fflush(stdout);
}

int argument_count(int argc, char **argv) {
    argv_command_line = command_line_from_args(argc, argv);
    const int count = count_from_command_line(raw_command_line());
    fails_now(false);
    trace("argument_count() = %d", count);
    return count;
}

int read_console_key() {
    fflush(stdout);
    sim::Desktop &d = desktop();
    // A read that fails is one without a console.
    const bool fails = fails_now();
    if (!d.has_console || fails) {
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
    fails_now(false);
    trace("exit_process(%d)", code);
    trace("calls %u", sim::calls_made());
    const sim::Desktop &d = desktop();
    // A scenario whose keys are not all read is most likely a wrong scenario.
    if (d.next_key < d.keys.size()) trace("keys left unread: %zu", d.keys.size() - d.next_key);
    // How long the run took on the virtual clock, for a scenario's seconds
    // line, and the handles and process that a scenario's {ID} and {pid}
    // stand for.
    if (d.now_ms) trace("elapsed %u ms", d.now_ms);
    for (const auto &w : d.all) trace("handle %s 0x%08X", w->id.c_str(), w->number);
    trace("pid %u", sim::kSimulatedPid);
    for (const auto &w : d.all) {
        // A window that wakes once the run has ended handles what it was handed.
        if (!w->wakes) continue;
        w->received.insert(w->received.end(), w->queued.begin(), w->queued.end());
        for (int command : w->queued_shows) apply_show(w.get(), command);
    }
    if (FILE *f = sim::trace_file())
        sim::write_report(f, d, [](const sim::Window &w, sim::FinalState *state) {
            *state = {w.visible, w.placement, w.x, w.y, w.width, w.height, w.topmost,
                      &w == desktop().foreground};
            return true;
        });
    exit(code);
}

} // namespace platform
