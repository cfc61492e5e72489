// Fuzzes the pattern matcher of /like against a plain reference matcher on
// the same UTF-16 text: the first byte splits the rest into a pattern and a
// title (two bytes a unit); any disagreement is a finding.
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "window_tool.h"

// Case as the fuzzer sees it: A to Z fold, over whole characters.
bool platform::same_ignoring_case(const uint16_t *a, int a_length, const uint16_t *b,
                                  int b_length) {
    if (a_length != b_length) return false;
    for (int i = 0; i < a_length; ++i) {
        const uint16_t x = a[i] >= 'a' && a[i] <= 'z' ? a[i] - 32 : a[i];
        const uint16_t y = b[i] >= 'a' && b[i] <= 'z' ? b[i] - 32 : b[i];
        if (x != y) return false;
    }
    return true;
}

namespace {

struct Text {
    const uint16_t *units;
    int length;
    // The units of the character at i: a pair, or one.
    int at(int i) const {
        return i + 1 < length && units[i] >= 0xD800 && units[i] < 0xDC00 &&
                       units[i + 1] >= 0xDC00 && units[i + 1] < 0xE000
                   ? 2
                   : 1;
    }
};

// Whether pattern[p..] matches title[t..], by the definition, remembered.
bool reference(const Text &pattern, int p, const Text &title, int t, std::vector<signed char> &memo) {
    signed char &known = memo[size_t(p) * size_t(title.length + 1) + size_t(t)];
    if (known >= 0) return known;
    bool result;
    if (p == pattern.length) {
        result = t == title.length;
    } else if (pattern.units[p] == '*') {
        result = reference(pattern, p + 1, title, t, memo) ||
                 (t < title.length && reference(pattern, p, title, t + title.at(t), memo));
    } else if (t == title.length) {
        result = false;
    } else if (pattern.units[p] == '?') {
        result = reference(pattern, p + 1, title, t + title.at(t), memo);
    } else {
        result = platform::same_ignoring_case(pattern.units + p, pattern.at(p), title.units + t,
                                              title.at(t)) &&
                 reference(pattern, p + pattern.at(p), title, t + title.at(t), memo);
    }
    known = result;
    return result;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1) return 0;
    const size_t units = (size - 1) / 2;
    std::vector<uint16_t> text(units + 1);
    for (size_t i = 0; i < units; ++i) text[i] = uint16_t(data[1 + 2 * i] | data[2 + 2 * i] << 8);
    // Patterns are mostly "*", "?" and a few letters: map some bytes there.
    for (size_t i = 0; i < units; ++i) {
        if (text[i] % 7 == 0) text[i] = '*';
        else if (text[i] % 11 == 0) text[i] = '?';
    }
    const int split = units ? int(data[0] % (units + 1)) : 0;
    const Text pattern = {text.data(), split}, title = {text.data() + split, int(units) - split};
    std::vector<signed char> memo(size_t(pattern.length + 1) * size_t(title.length + 1), -1);
    const bool expected = reference(pattern, 0, title, 0, memo);
    if (title_matches(pattern.units, pattern.length, title.units, title.length) != expected)
        abort();
    return 0;
}
