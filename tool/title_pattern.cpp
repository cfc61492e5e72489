// The patterns of /like: "*" any run of characters, "?" one character.
#include "window_tool.h"

using namespace platform;

namespace {

// The units of the character at i: a surrogate pair is one character, and
// so is a lone half of one.
int char_units(const uint16_t *text, int length, int i) {
    return text[i] >= 0xD800 && text[i] < 0xDC00 && i + 1 < length && text[i + 1] >= 0xDC00 &&
                   text[i + 1] < 0xE000
               ? 2
               : 1;
}

} // namespace

// Backtracks to the last "*" only, which is enough for a pattern over a
// whole text.
bool title_matches(const uint16_t *p, int p_length, const uint16_t *t, int t_length) {
    int pi = 0, ti = 0, star = -1, resume = 0;
    while (ti < t_length) {
        if (pi < p_length && p[pi] == '*') {
            star = pi++;
            resume = ti;
            continue;
        }
        if (pi < p_length) {
            const int pn = char_units(p, p_length, pi), tn = char_units(t, t_length, ti);
            if (p[pi] == '?' || same_ignoring_case(p + pi, pn, t + ti, tn)) {
                pi += p[pi] == '?' ? 1 : pn;
                ti += tn;
                continue;
            }
        }
        if (star < 0) return false;
        pi = star + 1;
        resume += char_units(t, t_length, resume);
        ti = resume;
    }
    while (pi < p_length && p[pi] == '*') ++pi;
    return pi == p_length;
}

