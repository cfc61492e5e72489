// The switch parser and its tokenizer. Works in place on the caller's
// writable argument text: tokens are cut with NUL bytes, switch names are
// lowered, quotes are dropped, and text values point into the text.
#include "switches.h"

#include <stdio.h>
#include <string.h>

bool is_white_space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool is_text_format(const char *format) {
    return format && format[0] == '%' && (format[1] == 's' || format[1] == 'S') &&
           format[2] == 0;
}

namespace {

char to_lower(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

int count_percents(const char *format) {
    int k = 0;
    for (; *format; ++format) k += *format == '%';
    return k;
}

// Where a text row keeps its value, or null when the row has no variable.
char **text_target(const SwitchDescriptor &row) {
    return static_cast<char **>(row.targets[0]);
}

bool name_fits(const SwitchDescriptor &row, const char *typed, size_t length) {
    const char *name = row.name;
    const MatchMode mode = row.match_mode;
    if (mode == MATCH_EXACT) {
        size_t i = 0;
        while (i < length && name[i] == typed[i]) ++i;
        return i == length && name[i] == 0;
    }
    // The argument text itself is compared, so a typed name shorter than the
    // mode runs into the separator that follows it and does not fit.
    if (mode > 0) return strncmp(typed, name, size_t(mode)) == 0;
    if (mode == MATCH_LONGFX || mode == MATCH_LVAR) {
        // Agreement over the shorter of the two names.
        for (size_t i = 0; i < length && name[i]; ++i)
            if (name[i] != typed[i]) return false;
        return true;
    }
    return false;
}

// Converts a value, bounding the text at the next "/" when the format can
// never read past one: the C library measures the whole remaining text on
// every conversion, which would make long command lines quadratic.
int convert_value(char *value, const SwitchDescriptor &row) {
    if (*value == '"') ++value;
    if (strpbrk(row.value_format, "/sc[SC") != nullptr)
        return scan_switch_value(value, row.value_format, row.targets);
    char *end = value;
    while (*end && *end != '/') ++end;
    const char saved = *end;
    *end = 0;
    const int got = scan_switch_value(value, row.value_format, row.targets);
    *end = saved;
    return got;
}

struct Parse {
    SwitchTable table;
    SeenState seen;
    char *help;      // last help request, or null
    char *result;    // first unknown switch, or null
    int32_t surplus; // parameters no text row took
};

void mark_seen(Parse &ps, size_t row, signed char state) {
    if (row < SEEN_ROWS) ps.seen.row[row] = state;
}

// Runs the value test of a row whose name fitted; on acceptance stores the
// flag and value, cuts the token and sets *resume.
bool accept_row(Parse &ps, size_t r, char *p, size_t length, bool negated, char **resume) {
    const SwitchDescriptor &row = ps.table[r];
    char *cut_at;
    if (is_text_format(row.value_format) && *p) {
        if (p[length] == ':' || p[length] == '=') {
            cut_at = p + length + 1;
            if (text_target(row)) *text_target(row) = cut_at;
        } else if (row.match_mode == MATCH_LVAR) {
            cut_at = p;
        } else {
            return false;
        }
    } else {
        char *value = p + length;
        if (*value == ':' || *value == '=') ++value;
        if (row.value_format) {
            const int k = count_percents(row.value_format);
            if (k > 0) {
                const int got = k <= 4 ? convert_value(value, row) : 0;
                if (got != k && row.match_mode != MATCH_LVAR) return false;
            }
        }
        cut_at = value;
    }
    if (row.flag) *row.flag = 1;
    mark_seen(ps, r, 1);
    *resume = next_token(cut_at);
    if (negated) {
        if (row.flag) *row.flag = 0;
        mark_seen(ps, r, -1);
    }
    return true;
}

void print_cut(const char *format, const char *text, const char *stop) {
    printf(format, int(strnlen(text, size_t(stop - text))), text);
}

char *parse_switch(Parse &ps, char *slash) {
    *slash = 0; // ends a value or parameter that ran up to this switch
    char *p = slash + 1;
    bool negated = false;
    if (*p == '-') {
        negated = true;
        ++p;
    }
    // The typed name runs to the first "/", ":" or "=", less trailing blanks
    // and tabs; lowering those blanks along the way changes nothing.
    size_t length = 0;
    for (char c; (c = p[length]) != 0 && c != '/' && c != ':' && c != '=';) p[length++] = to_lower(c);
    while (length > 0 && (p[length - 1] == ' ' || p[length - 1] == '\t')) --length;

    char *resume;
    for (;;) {
        for (size_t r = 0; ps.table[r].name; ++r)
            if (name_fits(ps.table[r], p, length) &&
                accept_row(ps, r, p, length, negated, &resume))
                return resume;
        // "no" is a negation only when the whole name fitted nothing.
        if (p[0] != 'n' || p[1] != 'o') break;
        p += 2;
        length = length >= 2 ? length - 2 : 0;
        negated = true;
    }
    if (p[0] == '?' && p[1] == '?') {
        ps.help = p;
        return next_token(p);
    }
    resume = next_token(p);
    print_cut("Unknown command line parameter %.*s\n", p, resume);
    if (!ps.result) ps.result = p;
    return resume;
}

char *parse_parameter(Parse &ps, char *p) {
    for (size_t r = 0; ps.table[r].name; ++r) {
        if (p[0] == '?' && p[1] == '?') {
            ps.help = p;
            p += 2;
            if (*p == '?') ++p;
            return p;
        }
        const SwitchDescriptor &row = ps.table[r];
        if (is_text_format(row.value_format) && text_target(row) && !*text_target(row)) {
            *text_target(row) = p;
            if (row.flag) *row.flag = 1;
            mark_seen(ps, r, 1);
            return next_token(p);
        }
    }
    char *resume = next_token(p);
    print_cut("Too many parameters. Ignored \"%.*s\"\n", p, resume);
    ++ps.surplus;
    return resume;
}

} // namespace

char *next_token(char *s) {
    if (*s == '"') {
        const char *from = s + 1;
        char *to = s;
        while (*from) {
            if (*from == '"') {
                if (from[1] != '"') break;
                ++from; // a doubled quote stands for one
            }
            *to++ = *from++;
        }
        *to = 0;
        if (!*from) return const_cast<char *>(from); // no closing quote
        char *q = const_cast<char *>(from);
        while (is_white_space(q[1])) ++q;
        return q[1] ? q : q + 1;
    }
    char *end = s;
    while (*end && *end != '/' && *end != ' ' && *end != '\t') ++end;
    if (*end == ' ' || *end == '\t') {
        *end = 0;
        return end + 1;
    }
    return end;
}

char *parse_switches(int32_t count, char **args, SwitchTable table) {
    ParseReport report;
    parse_switches_reported(count, args, table, -1, &report);
    return report.unknown;
}

void parse_switches_reported(int32_t count, char **args, SwitchTable table,
                             int32_t listed_rows, ParseReport *report) {
    Parse ps;
    ps.table = table;
    memset(&ps.seen, 0, sizeof ps.seen);
    ps.help = nullptr;
    ps.result = nullptr;
    ps.surplus = 0;
    for (int32_t a = 1; a < count; ++a) {
        char *s = args[a];
        if (!s) continue;
        while (*s) {
            s = *s == '/' ? parse_switch(ps, s) : parse_parameter(ps, s);
            while (is_white_space(*s)) ++s;
        }
    }
    if (ps.help) print_switch_help_rows(table, listed_rows, &ps.seen, ps.help);
    report->seen = ps.seen;
    report->unknown = ps.result;
    report->surplus = ps.surplus;
}
