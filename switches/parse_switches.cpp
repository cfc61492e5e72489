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
int convert_value(char *value, const SwitchDescriptor &row, int *consumed) {
    if (*value == '"') ++value;
    if (strpbrk(row.value_format, "/sc[SC") != nullptr)
        return scan_switch_value_counted(value, row.value_format, row.targets, consumed);
    char *end = value;
    while (*end && *end != '/') ++end;
    const char saved = *end;
    *end = 0;
    const int got = scan_switch_value_counted(value, row.value_format, row.targets, consumed);
    *end = saved;
    return got;
}

// Where a token without quotes ends: at a blank or at the next switch.
char *token_end(char *s) {
    while (*s && *s != '/' && *s != ' ' && *s != '\t') ++s;
    return s;
}

// The length of a value as typed: its token's, or the text inside its quotes.
int value_length(char *value) {
    char *end;
    if (*value == '"') {
        for (end = ++value; *end && *end != '"';) ++end;
    } else {
        end = token_end(value);
    }
    return static_cast<int>(end - value);
}

struct Parse {
    SwitchTable table;
    SeenState seen;
    char *help;      // last help request, or null
    char *result;    // first unknown switch, or null
    int32_t surplus; // parameters no text row took
    int32_t doubts;  // switches taken otherwise than typed, and the first
    SwitchDoubt doubt;
    const char *doubted_row;
    const char *doubted;
    int32_t doubted_length; // -1: the value's whole text, once it is cut
};

void mark_seen(Parse &ps, size_t row, signed char state) {
    if (row < SEEN_ROWS) ps.seen.row[row] = state;
}

void note_doubt(Parse &ps, const SwitchDescriptor &row, SwitchDoubt doubt, const char *text,
                int32_t length) {
    if (doubt == kDoubtNone || ps.doubts++ > 0) return;
    ps.doubt = doubt;
    ps.doubted_row = row.name;
    ps.doubted = text;
    ps.doubted_length = length;
}

// Runs the value test of a row whose name fitted; on acceptance stores the
// flag and value, cuts the token and sets *resume.
bool accept_row(Parse &ps, size_t r, char *p, size_t length, bool negated, char **resume) {
    const SwitchDescriptor &row = ps.table[r];
    char *cut_at;
    SwitchDoubt value_doubt = kDoubtNone;
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
        const bool separated = *value == ':' || *value == '=';
        if (separated) ++value;
        const int k = row.value_format ? count_percents(row.value_format) : 0;
        const int typed = value_length(value);
        if (k > 0) {
            int consumed = -1;
            const int got = k <= 4 ? convert_value(value, row, &consumed) : 0;
            if (got != k && row.match_mode != MATCH_LVAR) return false;
            // A value left out of an optional one is no doubt; one that
            // did not convert, or converted only in part, is.
            if ((separated || typed > 0) && (got != k || consumed != typed))
                value_doubt = kDoubtValueNotWhole;
        } else if (separated || typed > 0) {
            value_doubt = kDoubtValueDropped;
        }
        cut_at = value;
    }
    if (length == 0) note_doubt(ps, row, kDoubtNameEmpty, p, 0);
    else if (memchr(p, ' ', length) || memchr(p, '\t', length))
        note_doubt(ps, row, kDoubtNameBlank, p, static_cast<int32_t>(length));
    else note_doubt(ps, row, value_doubt, cut_at, -1);
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
    char *end = token_end(s);
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
    ps.doubts = 0;
    ps.doubt = kDoubtNone;
    ps.doubted_row = ps.doubted = nullptr;
    ps.doubted_length = 0;
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
    report->doubts = ps.doubts;
    report->doubt = ps.doubt;
    report->doubted_row = ps.doubted_row;
    report->doubted = ps.doubted;
    report->doubted_length = ps.doubted_length >= 0 || !ps.doubted
                                 ? ps.doubted_length
                                 : static_cast<int32_t>(strlen(ps.doubted));
}
