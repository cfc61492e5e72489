// Finding the windows a run acts on: by the exact title (one FindWindowA
// call), by a pattern, by a handle, every window that matches, or this
// program's console; telling Quillex's own console and the terminal that
// holds it apart; and what the checks of /strict look for among windows.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "window_tool.h"

using namespace platform;

bool title_lost = false;

namespace {

struct OwnConsole {
    bool known;
    WindowHandle console, terminal;
};
OwnConsole own = {false, nullptr, nullptr};

// Asked once, when first needed: most runs never need it.
const OwnConsole &own_console() {
    if (!own.known) {
        console_windows(&own.console, &own.terminal);
        own.known = true;
    }
    return own;
}

// The units of the character at i: a surrogate pair is one character.
int char_units(const uint16_t *text, int length, int i) {
    return text[i] >= 0xD800 && text[i] < 0xDC00 && i + 1 < length ? 2 : 1;
}

// Whether the title matches the pattern: "*" any run of characters, "?"
// one character, any other character itself but for case. Backtracks to
// the last "*" only, which is enough for a pattern over a whole text.
bool matches(const WideText &pattern, const WideText &title) {
    const uint16_t *p = pattern.text, *t = title.text;
    int pi = 0, ti = 0, star = -1, resume = 0;
    while (ti < title.length) {
        if (pi < pattern.length && p[pi] == '*') {
            star = pi++;
            resume = ti;
            continue;
        }
        if (pi < pattern.length) {
            const int pn = char_units(p, pattern.length, pi), tn = char_units(t, title.length, ti);
            if (p[pi] == '?' || same_ignoring_case(p + pi, pn, t + ti, tn)) {
                pi += p[pi] == '?' ? 1 : pn;
                ti += tn;
                continue;
            }
        }
        if (star < 0) return false;
        pi = star + 1;
        resume += char_units(t, title.length, resume);
        ti = resume;
    }
    while (pi < pattern.length && p[pi] == '*') ++pi;
    return pi == pattern.length;
}

// What a window's title must be: the typed title whole, but for case, or
// the pattern with /like. Never an empty title.
struct Wanted {
    WideText title;
    bool pattern;
};

bool title_fits(WindowHandle window, const Wanted &wanted) {
    const WideText title = wide_title(window);
    const bool fits = title.length > 0 &&
                      (wanted.pattern ? matches(wanted.title, title)
                                      : same_ignoring_case(title.text, title.length,
                                                           wanted.title.text, wanted.title.length));
    free(title.text);
    return fits;
}

Target target_of(WindowHandle window, bool own_title) {
    Target t = {window, 0, nullptr, "", kNoEffect, kNoEffect};
    if (!own_title) t.typed = options.windowname ? options.windowname : "(null)";
    else if (window) read_title(window, t.own);
    // Only what the run waits for or judges needs the window's thread; a
    // window without one has gone since it was found.
    if (window && (options.strict || options.gone)) {
        t.thread = window_thread(window);
        if (!t.thread) t.window = nullptr;
    }
    return t;
}

// The windows collected by a walk over the top-level windows.
struct Collection {
    const Wanted *wanted;
    bool every;
    Targets found;
};

int collect(WindowHandle window, intptr_t value) {
    // The enumeration hands back the collection it was given.
    Collection &c = *reinterpret_cast<Collection *>(value); // NOLINT(performance-no-int-to-ptr)
    // Quillex's own console and its terminal are never among the matches:
    // cmd.exe puts the running command line in its console's title.
    if (!title_fits(window, *c.wanted) || is_own_console(window)) return 1;
    const Target t = target_of(window, true);
    if (!t.window) return 1;
    Target *grown = static_cast<Target *>(
        realloc(c.found.list, sizeof(Target) * static_cast<size_t>(c.found.count + 1)));
    if (!grown) return 0;
    c.found.list = grown;
    c.found.list[c.found.count++] = t;
    return c.every;
}

Targets single(const Target &t) {
    Targets ts = {static_cast<Target *>(malloc(sizeof(Target))), 1, true};
    if (ts.list) ts.list[0] = t;
    else ts.count = 0;
    return ts;
}

} // namespace

int read_title(WindowHandle window, char *title) {
    int copied = GetWindowTextA(window, title, kTitleSize);
    // A UTF-8 title longer than the buffer may be cut inside a character:
    // the bytes of that last, incomplete character are dropped.
    if (copied < kTitleSize - 1 || GetACP() != CP_UTF8) return copied;
    int start = copied;
    while (start > 0 && (static_cast<unsigned char>(title[start - 1]) & 0xC0) == 0x80) --start;
    if (start == 0) return copied;
    const unsigned char lead = static_cast<unsigned char>(title[start - 1]);
    const int length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    if (copied - (start - 1) < length) {
        copied = start - 1;
        title[copied] = 0;
    }
    return copied;
}

WideText wide_title(WindowHandle window) {
    const int length = GetWindowTextLengthW(window);
    WideText t = {static_cast<uint16_t *>(malloc(sizeof(uint16_t) * (length + 1u))), 0};
    if (t.text) t.length = GetWindowTextW(window, t.text, length + 1);
    return t;
}

WideText wide_text(const char *text) {
    const int length = ansi_to_utf16(text, nullptr, 0);
    WideText t = {static_cast<uint16_t *>(malloc(sizeof(uint16_t) * (length + 1u))), 0};
    if (t.text) t.length = ansi_to_utf16(text, t.text, length + 1);
    return t;
}

Targets find_targets() {
    const WindowToolOptions &o = options;
    if (o.console) {
        Target t = target_of(own_console().console, true);
        if (!t.own[0]) snprintf(t.own, sizeof t.own, "(console)");
        return single(t);
    }
    if (!o.windowname && !o.handle) {
        Targets none = single(target_of(nullptr, false));
        none.given = false;
        return none;
    }
    // The exact title alone, as most runs give it: one FindWindowA call.
    if (!o.handle && !o.like && !o.all) return single(target_of(FindWindowA(nullptr, o.windowname), false));

    Wanted wanted = {{nullptr, 0}, o.like != 0};
    if (o.windowname) wanted.title = wide_text(o.windowname);
    Collection c = {&wanted, o.all != 0, {nullptr, 0, true}};
    if (o.handle) {
        WindowHandle window = top_level_window(o.handle_number);
        if (window && o.windowname && !title_fits(window, wanted)) window = nullptr;
        if (window && o.all && is_own_console(window)) window = nullptr;
        Target t = target_of(window, true);
        if (!window) snprintf(t.own, sizeof t.own, "0x%08X", static_cast<unsigned>(o.handle_number));
        c.found = single(t);
    } else {
        // A pattern that lost characters on its way here would match
        // windows that were never meant: "?" stands for any character.
        if (!(o.like && title_lost)) EnumWindows(collect, reinterpret_cast<intptr_t>(&c));
        if (!c.found.count) c.found = single(target_of(nullptr, false));
    }
    free(wanted.title.text);
    return c.found;
}

bool is_own_console(WindowHandle window) {
    const OwnConsole &c = own_console();
    return window && (window == c.console || window == c.terminal);
}

bool is_own_terminal(WindowHandle window) {
    return window && window == own_console().terminal;
}

bool console_in_terminal() { return own_console().terminal != nullptr; }

namespace {

struct TitleCount {
    Wanted wanted;
    WindowHandle except;
    Effect still;
    int count;
};

int count_titled(WindowHandle window, intptr_t value) {
    // The enumeration hands back the count it was given.
    TitleCount &c = *reinterpret_cast<TitleCount *>(value); // NOLINT(performance-no-int-to-ptr)
    if (window == c.except || is_own_console(window) || !title_fits(window, c.wanted)) return 1;
    const bool counts = c.still == kClosed ||
                        (IsWindowVisible(window) && (c.still == kHidden || !IsIconic(window)));
    c.count += counts;
    return 1;
}

struct Press {
    int32_t id;
    bool found;
};

int find_control(WindowHandle window, intptr_t value) {
    // The enumeration hands back the search it was given.
    Press &p = *reinterpret_cast<Press *>(value); // NOLINT(performance-no-int-to-ptr)
    p.found = GetDlgCtrlID(window) == p.id && IsWindowEnabled(window);
    return !p.found;
}

} // namespace

int other_windows_titled(const char *title, WindowHandle except, Effect still) {
    TitleCount c = {{wide_text(title), false}, except, still, 0};
    EnumWindows(count_titled, reinterpret_cast<intptr_t>(&c));
    free(c.wanted.title.text);
    return c.count;
}

bool can_press(WindowHandle window, int32_t id) {
    // Every descendant: property-sheet pages and task dialogs hold their
    // buttons deeper than their direct children.
    Press p = {id, false};
    EnumChildWindows(window, find_control, reinterpret_cast<intptr_t>(&p));
    return p.found || has_enabled_menu_item(window, static_cast<uint32_t>(id));
}

bool window_gone(const Target &t) {
    const unsigned thread = window_thread(t.window);
    return thread == 0 || (t.thread != 0 && thread != t.thread);
}
