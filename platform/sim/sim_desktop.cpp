// Reads the desktop part of a scenario file: window, child, cmdline and keys
// lines. Lines the desktop does not need (expectations) are skipped.
#include "sim_desktop.h"

#include "console_keys.h"
#include "platform.h"

#include <ctype.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace sim {

namespace {

// The character that an escape stands for; advances p past it.
char unescape(const char *&p) {
    const char c = *p++;
    switch (c) {
    case 't': return '\t';
    case 'n': return '\n';
    case 'r': return '\r';
    case 'x':
        if (isxdigit(static_cast<unsigned char>(p[0])) &&
            isxdigit(static_cast<unsigned char>(p[1]))) {
            const char hex[3] = {p[0], p[1], 0};
            p += 2;
            return static_cast<char>(strtoul(hex, nullptr, 16));
        }
        return c;
    default: return c; // \" and \\ stand for themselves
    }
}

// Reads a double-quoted title with \" \\ \t \n \r and \xHH escapes;
// advances p past it.
bool read_quoted(const char *&p, std::string &out) {
    while (*p == ' ') ++p;
    if (*p != '"') return false;
    ++p;
    while (*p && *p != '"') {
        if (*p == '\\' && p[1]) {
            ++p;
            out += unescape(p);
        } else {
            out += *p++;
        }
    }
    if (*p != '"') return false;
    ++p;
    return true;
}

bool apply_attribute(Window &w, const std::string &a) {
    if (a == "hidden") w.visible = false;
    else if (a == "minimized") w.placement = MINIMIZED;
    else if (a == "maximized") w.placement = MAXIMIZED;
    else if (a == "hung") w.hung = true;
    else if (a == "wakes") w.hung = w.wakes = true;
    else if (a == "exits") w.exits = true;
    else if (a == "refuses") w.refuses = true;
    else if (a.compare(0, 5, "asks=") == 0) w.asks_seconds = atoi(a.c_str() + 5);
    else if (a.compare(0, 5, "busy=") == 0) w.busy_seconds = atoi(a.c_str() + 5);
    else if (a == "ponders") w.ponders = true;
    else if (a == "drops") w.drops = true;
    else if (a == "stalls") w.stalls = true;
    else if (a == "post-fails") w.post_fails = true;
    else if (a.compare(0, 6, "saves=") == 0) w.saves_seconds = atoi(a.c_str() + 6);
    else if (a.compare(0, 7, "cleans=") == 0) w.cleans_seconds = atoi(a.c_str() + 7);
    else if (a.compare(0, 8, "appears=") == 0) w.appears_ms = atoi(a.c_str() + 8) * 1000;
    else if (a.compare(0, 5, "goes=") == 0) w.goes_ms = atoi(a.c_str() + 5) * 1000;
    else if (a == "console") w.console = true;
    else if (a == "disabled") w.disabled = true;
    else if (a == "closes") w.closes = true;
    else if (a.compare(0, 5, "menu=") == 0) w.menu_item = atoi(a.c_str() + 5);
    else if (a == "reshows") w.reshows = true;
    else if (a.compare(0, 6, "class=") == 0) w.class_name = a.substr(6);
    else if (a.compare(0, 5, "rect=") == 0)
        return w.reports_rect =
                   sscanf(a.c_str() + 5, "%d,%d,%d,%d", &w.x, &w.y, &w.width, &w.height) == 4;
    else if (a.compare(0, 8, "minsize=") == 0)
        return sscanf(a.c_str() + 8, "%d,%d", &w.min_width, &w.min_height) == 2;
    else if (a == "topmost") w.topmost = true;
    else if (a == "front") w.front = true;
    else if (a.compare(0, 6, "owner=") == 0) w.owner_id = a.substr(6);
    else if (a == "terminal") w.terminal = true;
    else if (a == "vanishes") w.vanishes = true;
    else if (a.compare(0, 3, "id=") == 0) w.control_id = atoi(a.c_str() + 3);
    else if (a.compare(0, 6, "query=") == 0) w.query_answer = strtoul(a.c_str() + 6, nullptr, 0);
    else if (a.compare(0, 11, "endsession=") == 0)
        w.endsession_answer = strtoul(a.c_str() + 11, nullptr, 0);
    else return false;
    return true;
}

bool parse_window(const char *p, bool child, Desktop &d, std::string &error) {
    std::unique_ptr<Window> w(new Window);
    while (*p == ' ') ++p;
    while (*p && *p != ' ') w->id += *p++;
    if (!read_quoted(p, w->title)) {
        error = "window title must be quoted";
        return false;
    }
    for (;;) {
        while (*p == ' ') ++p;
        if (!*p) break;
        std::string a;
        while (*p && *p != ' ') a += *p++;
        if (!apply_attribute(*w, a)) {
            error = "unknown window attribute " + a;
            return false;
        }
    }
    if (child) {
        if (d.top.empty()) {
            error = "child before any window";
            return false;
        }
        w->parent = d.top.back();
        w->thread = w->parent->thread;
        d.top.back()->children.push_back(w.get());
    } else {
        // Each top-level window on a thread of its own, as a window that
        // stops handling messages must be.
        w->thread = 0x100u + static_cast<unsigned>(d.top.size());
        w->gone = w->appears_ms > 0;
        d.top.push_back(w.get());
    }
    d.all.push_back(std::move(w));
    return true;
}

// Keys: a single character, ^C, or a key by its name in angle brackets
// (<f1>, <shift+f6>, <ctrl+up>, <volume-up>), read as the console reads it:
// a key without a character or classic code is skipped.
bool parse_keys(const char *p, Desktop &d, std::string &error) {
    d.has_console = true;
    for (;;) {
        while (*p == ' ') ++p;
        if (!*p) return true;
        std::string k;
        while (*p && *p != ' ') k += *p++;
        if (k == "none") {
            d.has_console = false;
            continue;
        }
        // A character stands for itself; a name needs its brackets.
        std::string name = k.size() == 1 ? k : "";
        if (k == "^C") name = "ctrl+c";
        else if (k.size() > 2 && k.front() == '<' && k.back() == '>') name = k.substr(1, k.size() - 2);
        platform::KeyPress press;
        if (!platform::key_by_name(name.c_str(), press)) {
            error = "unknown key " + k;
            return false;
        }
        int lead = press.character, code = 0;
        if (lead == 0 && !platform::classic_key_code(press, lead, code)) continue;
        d.keys.push_back({lead, code ? code : -1});
    }
}

} // namespace

bool load_desktop(const char *path, Desktop &d, std::string &error) {
    FILE *f = fopen(path, "rb");
    if (!f) {
        error = std::string("cannot open ") + path;
        return false;
    }
    char line[65536];
    bool ok = true;
    while (ok && fgets(line, sizeof line, f)) {
        size_t n = strlen(line);
        while (n > 0 && (line[n - 1] == '\n' || line[n - 1] == '\r')) line[--n] = 0;
        if (strncmp(line, "window ", 7) == 0) ok = parse_window(line + 7, false, d, error);
        else if (strncmp(line, "child ", 6) == 0) ok = parse_window(line + 6, true, d, error);
        else if (strncmp(line, "keys ", 5) == 0) ok = parse_keys(line + 5, d, error);
        else if (strcmp(line, "churn") == 0) d.churn = true;
        else if (strcmp(line, "unordered") == 0) d.ordered = false;
        else if (strcmp(line, "titles utf-8") == 0) d.utf8_titles = true;
        else if (strcmp(line, "build classic") == 0) d.classic = true;
        else if (strcmp(line, "foreground locked") == 0) d.foreground_locked = true;
        else if (strncmp(line, "cmdline ", 8) == 0) {
            // The rest of the line exactly as written, blanks included.
            d.has_command_line = true;
            d.command_line = line + 8;
        }
    }
    fclose(f);
    if (!ok) return false;
    for (Window *w : d.top)
        if (w->front) d.foreground = w, d.reports_front = true;
    // Handles as Windows numbers them, and a scenario's {ID} in its command
    // line standing for one.
    for (size_t i = 0; i < d.all.size(); ++i) {
        Window &w = *d.all[i];
        w.number = 0x00010010u + 0x10u * static_cast<uint32_t>(i);
        char number[16];
        snprintf(number, sizeof number, "0x%08X", w.number);
        const std::string name = "{" + w.id + "}";
        for (size_t at; (at = d.command_line.find(name)) != std::string::npos;)
            d.command_line.replace(at, name.size(), number);
    }
    for (size_t at; (at = d.command_line.find("{pid}")) != std::string::npos;)
        d.command_line.replace(at, 5, std::to_string(kSimulatedPid));
    return true;
}

const char *message_name(unsigned message) {
    using namespace platform;
    switch (message) {
    case 0: return "WM_NULL";
    case WM_CLOSE: return "WM_CLOSE";
    case WM_QUERYENDSESSION: return "WM_QUERYENDSESSION";
    case WM_QUIT: return "WM_QUIT";
    case WM_ENDSESSION: return "WM_ENDSESSION";
    case WM_COMMAND: return "WM_COMMAND";
    default: return nullptr;
    }
}

void write_report(FILE *f, const Desktop &d, StateOf state) {
    for (const auto &w : d.all)
        for (const std::string &m : w->received) fprintf(f, "received %s %s\n", w->id.c_str(), m.c_str());
    static const char *const placements[] = {"normal", "minimized", "maximized"};
    for (const Window *w : d.top) {
        FinalState s = {false, NORMAL, 0, 0, 0, 0, false, false};
        if (w->gone) {
            fprintf(f, "final %s gone\n", w->id.c_str());
            continue;
        }
        if (!state(*w, &s)) continue;
        fprintf(f, "final %s %s %s", w->id.c_str(), s.visible ? "visible" : "hidden",
                placements[s.placement]);
        if (w->reports_rect) fprintf(f, " at %d,%d %dx%d", s.x, s.y, s.width, s.height);
        fprintf(f, "%s%s\n", s.topmost ? " topmost" : "", d.reports_front && s.front ? " front" : "");
    }
}

} // namespace sim
