// Finding the windows a run acts on: by the exact title (one FindWindowA
// call), by a pattern, a handle or the filters, every window that matches,
// or this program's console; telling Quillex's own console and the terminal
// that holds it apart; and what the checks of /strict look for among
// windows.
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

// A window's thread, read twice when the first read gives none, so that
// no single read that failed makes a window look gone.
unsigned thread_of(WindowHandle window) {
    const unsigned thread = window_thread(window);
    return thread ? thread : window_thread(window);
}

Target target_of(WindowHandle window, bool own_title) {
    Target t = {window, 0, nullptr, "", kNoEffect, kNoEffect};
    if (!own_title) t.typed = options.windowname ? options.windowname : "(null)";
    else if (window) read_title(window, t.own);
    // Only what the run waits for or judges needs the window's thread; a
    // window without one has gone since it was found.
    if (window && (options.strict || options.gone)) {
        t.thread = thread_of(window);
        if (!t.thread) t.window = nullptr;
    }
    return t;
}

// The windows collected by a walk over the top-level windows: every one,
// the first, or (found by the filters alone) the first visible one, else
// the first.
struct Collection {
    bool every, visible_first;
    bool stopped; // by the walk itself
    Targets found;
};

bool add(Targets &found, const Target &t) {
    Target *grown = static_cast<Target *>(
        realloc(found.list, sizeof(Target) * static_cast<size_t>(found.count + 1)));
    if (!grown) return false;
    found.list = grown;
    found.list[found.count++] = t;
    return true;
}

int collect(WindowHandle window, intptr_t value) {
    // The enumeration hands back the collection it was given.
    Collection &c = *reinterpret_cast<Collection *>(value); // NOLINT(performance-no-int-to-ptr)
    if (!window_wanted(window, true)) return 1;
    const Target t = target_of(window, true);
    if (!t.window) return 1;
    if (c.every) return add(c.found, t) ? 1 : 0;
    if (c.visible_first && c.found.count && !IsWindowVisible(window)) return 1;
    if (c.visible_first && c.found.count) c.found.count = 0; // a hidden one came first
    if (!add(c.found, t)) return 0;
    c.stopped = !c.visible_first || IsWindowVisible(window);
    return !c.stopped;
}

Targets single(const Target &t) {
    Targets ts = {static_cast<Target *>(malloc(sizeof(Target))), 1, true};
    if (ts.list) ts.list[0] = t;
    else ts.count = 0;
    return ts;
}

// A window no one found: its lines carry the title, the handle or the
// filters given.
Targets not_found() {
    const WindowToolOptions &o = options;
    Target t = target_of(nullptr, o.handle || !o.windowname);
    if (o.handle) snprintf(t.own, sizeof t.own, "0x%08X", static_cast<unsigned>(o.handle_number));
    else if (!o.windowname) describe_filters(t.own, sizeof t.own);
    return single(t);
}

} // namespace

Targets find_targets() {
    const WindowToolOptions &o = options;
    if (o.console) {
        Target t = target_of(own_console().console, true);
        if (!t.own[0]) snprintf(t.own, sizeof t.own, "(console)");
        return single(t);
    }
    // /visible alone names no window.
    const bool filtered = filters_given();
    if (!o.windowname && !o.handle && !filters_name_windows()) {
        Targets none = single(target_of(nullptr, false));
        none.given = false;
        return none;
    }
    // The exact title alone, as most runs give it: one FindWindowA call.
    if (!o.handle && !o.like && !o.all && !filtered)
        return single(target_of(FindWindowA(nullptr, o.windowname), false));

    Collection c = {o.all != 0, !o.windowname, false, {nullptr, 0, true}};
    if (o.handle) {
        WindowHandle window = top_level_window(o.handle_number);
        if (window && (o.windowname || filtered) && !window_wanted(window, true)) window = nullptr;
        if (window && o.all && is_own_console(window)) window = nullptr;
        if (window) c.found = single(target_of(window, true));
    } else if (!(o.like && title_lost)) {
        // A pattern that lost characters on its way here would match
        // windows that were never meant: "?" stands for any character.
        if (!EnumWindows(collect, reinterpret_cast<intptr_t>(&c)) && !c.stopped)
            note_search_failure("the windows could not be listed");
    }
    if (!c.found.count) {
        free(c.found.list);
        return not_found();
    }
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
    const Targets *except;
    Effect still;
    int count;
};

int count_titled(WindowHandle window, intptr_t value) {
    // The enumeration hands back the count it was given.
    TitleCount &c = *reinterpret_cast<TitleCount *>(value); // NOLINT(performance-no-int-to-ptr)
    for (int i = 0; i < c.except->count; ++i)
        if (window == c.except->list[i].window) return 1;
    if (!window_wanted(window, true)) return 1;
    // A hidden window is off the screen, as a minimized one is.
    c.count += c.still == kMinimized ? IsWindowVisible(window) && !IsIconic(window)
                                     : !effect_holds(window, c.still);
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
    TitleCount c = {&except, still, 0};
    if (!EnumWindows(count_titled, reinterpret_cast<intptr_t>(&c)))
        note_search_failure("the windows could not be listed");
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
    // A window without a thread is gone.
    const unsigned thread = thread_of(t.window);
    return thread == 0 || (t.thread != 0 && thread != t.thread);
}
