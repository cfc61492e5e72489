// Reads the desktop part of a scenario file: window, child, cmdline and keys
// lines. Lines the desktop does not need (expectations) are skipped.
#include "sim_desktop.h"

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
    else if (a == "refuses") w.refuses = true;
    else if (a.compare(0, 5, "asks=") == 0) w.asks_seconds = atoi(a.c_str() + 5);
    else if (a == "post-fails") w.post_fails = true;
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
        d.top.back()->children.push_back(w.get());
    } else {
        d.top.push_back(w.get());
    }
    d.all.push_back(std::move(w));
    return true;
}

struct NamedKey {
    const char *name;
    int code, kept;
};

const NamedKey kNamedKeys[] = {
    {"^C", 3, -1},       {"<enter>", 13, -1},  {"<esc>", 27, -1},    {"<space>", ' ', -1},
    {"<up>", 0xE0, 0x48}, {"<down>", 0xE0, 0x50}, {"<left>", 0xE0, 0x4B}, {"<right>", 0xE0, 0x4D},
    {"<home>", 0xE0, 0x47}, {"<del>", 0xE0, 0x53}, {"<f1>", 0, 0x3B},    {"<f10>", 0, 0x44},
};

// Keys: a single character, a named key, or <0:HH> / <e0:HH> for a key
// without a character whose key code is HH.
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
        if (k.size() == 1) {
            d.keys.push_back({static_cast<unsigned char>(k[0]), -1});
            continue;
        }
        bool known = false;
        for (const NamedKey &n : kNamedKeys)
            if (k == n.name) {
                d.keys.push_back({n.code, n.kept});
                known = true;
            }
        unsigned code;
        if (!known && sscanf(k.c_str(), "<0:%x>", &code) == 1) {
            d.keys.push_back({0, int(code & 0xFF)});
            known = true;
        } else if (!known && sscanf(k.c_str(), "<e0:%x>", &code) == 1) {
            d.keys.push_back({0xE0, int(code & 0xFF)});
            known = true;
        }
        if (!known) {
            error = "unknown key " + k;
            return false;
        }
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
        else if (strncmp(line, "cmdline ", 8) == 0) {
            // The rest of the line exactly as written, blanks included.
            d.has_command_line = true;
            d.command_line = line + 8;
        }
    }
    fclose(f);
    return ok;
}

} // namespace sim
