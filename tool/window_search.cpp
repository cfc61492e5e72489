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

bool incomplete = false;

// A look at the windows that could not be made: said once, and remembered.
void search_incomplete(const char *what) {
    if (!incomplete) complain("%s (error %u): not every window could be looked at\n", what,
                              GetLastError());
    incomplete = true;
}

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

// What a window's title must be: the typed title whole, but for case, or
// the pattern with /like. Never an empty title.
struct Wanted {
    WideText title;
    bool pattern;
};

bool title_fits(WindowHandle window, const Wanted &wanted) {
    const WideText title = wide_title(window);
    if (title.length < 0) search_incomplete("a window's title could not be read");
    const bool fits = title.length > 0 && wanted.title.length > 0 &&
                      (wanted.pattern ? title_matches(wanted.title.text, wanted.title.length, title.text,
                                                      title.length)
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
    bool stopped; // by the walk itself, at the first match
    Targets found;
};

// Whether the window is one the system draws in place of a hung program's
// window ("Not Responding"): acting on it acts on that program through the
// system.
bool is_ghost(WindowHandle window) {
    static const uint16_t kGhost[] = {'G', 'h', 'o', 's', 't'};
    uint16_t name[8];
    const int length = GetClassNameW(window, name, 8);
    return same_ignoring_case(name, length, kGhost, 5);
}

int collect(WindowHandle window, intptr_t value) {
    // The enumeration hands back the collection it was given.
    Collection &c = *reinterpret_cast<Collection *>(value); // NOLINT(performance-no-int-to-ptr)
    // Quillex's own console and its terminal are never among the matches
    // (cmd.exe puts the running command line in its console's title), nor
    // the system's stand-ins for hung windows.
    if (!title_fits(window, *c.wanted) || is_own_console(window) || is_ghost(window)) return 1;
    const Target t = target_of(window, true);
    if (!t.window) return 1;
    Target *grown = static_cast<Target *>(
        realloc(c.found.list, sizeof(Target) * static_cast<size_t>(c.found.count + 1)));
    if (!grown) return 0;
    c.found.list = grown;
    c.found.list[c.found.count++] = t;
    c.stopped = !c.every;
    return c.every;
}

Targets single(const Target &t) {
    Targets ts = {static_cast<Target *>(malloc(sizeof(Target))), 1, true};
    if (ts.list) ts.list[0] = t;
    else ts.count = 0;
    return ts;
}

} // namespace

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
    if (wanted.title.length < 0) search_incomplete("the title could not be converted");
    Collection c = {&wanted, o.all != 0, false, {nullptr, 0, true}};
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
        if (!(o.like && title_lost) && !EnumWindows(collect, reinterpret_cast<intptr_t>(&c)) &&
            !c.stopped)
            search_incomplete("the windows could not be listed");
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
    const Targets *except;
    Effect still;
    int count;
};

// Whether the window is not yet as the effect would have it.
bool still_as_it_was(WindowHandle window, Effect effect) {
    switch (effect) {
    case kHidden: return IsWindowVisible(window) != 0;
    case kShown: return !IsWindowVisible(window);
    case kMinimized: return IsWindowVisible(window) && !IsIconic(window);
    case kRestored: return IsIconic(window) != 0;
    default: return true;
    }
}

int count_titled(WindowHandle window, intptr_t value) {
    // The enumeration hands back the count it was given.
    TitleCount &c = *reinterpret_cast<TitleCount *>(value); // NOLINT(performance-no-int-to-ptr)
    for (int i = 0; i < c.except->count; ++i)
        if (window == c.except->list[i].window) return 1;
    if (is_own_console(window) || is_ghost(window) || !title_fits(window, c.wanted)) return 1;
    c.count += still_as_it_was(window, c.still);
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

int other_windows_titled(const Targets &except, Effect still) {
    TitleCount c = {{wide_text(options.windowname), options.like != 0}, &except, still, 0};
    if (c.wanted.title.length < 0) search_incomplete("the title could not be converted");
    if (!EnumWindows(count_titled, reinterpret_cast<intptr_t>(&c)))
        search_incomplete("the windows could not be listed");
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
    unsigned thread = window_thread(t.window);
    // A window without a thread is gone; read twice, so that no single read
    // that failed makes a close or /gone a success.
    if (thread == 0) thread = window_thread(t.window);
    return thread == 0 || (t.thread != 0 && thread != t.thread);
}

bool search_failed() { return incomplete; }
