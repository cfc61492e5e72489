#include "fuzz_tables.h"

#include "window_tool.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>

namespace {

const uint32_t kGuard = 0xA5A5A5A5u;

struct Guarded {
    uint32_t before;
    int32_t value;
    uint32_t after;
};

// One flag per row and four guarded targets per converted row.
unsigned char flags[kTableCount][110];
Guarded numbers[kTableCount][24][4];
char *texts[kTableCount][8];
char preset_text[] = "preset";

#define H(text) SWITCH_HELP(text)
#define N(t, r, i) &numbers[t][r][i].value
#define END {nullptr, 0, nullptr, nullptr, {nullptr, nullptr, nullptr, nullptr}}
#define FLAG(t, r, name) {name, MATCH_LONGFX, &flags[t][r], nullptr, {nullptr, nullptr, nullptr, H("- flag")}}

const SwitchDescriptor modes_table[] = {
    {"exact", MATCH_EXACT, &flags[1][0], nullptr, {nullptr, nullptr, nullptr, nullptr}},
    {"short", 3, &flags[1][1], nullptr, {nullptr, nullptr, nullptr, H("- s")}},
    {"ninechars", 9, &flags[1][2], "%d", {N(1, 2, 0), nullptr, nullptr, nullptr}},
    {"never", -7, &flags[1][3], nullptr, {nullptr, nullptr, nullptr, nullptr}},
    {"ab", 5, &flags[1][4], "%s", {&texts[1][0], nullptr, nullptr, H("- ab")}},
    {"opt", MATCH_LVAR, &flags[1][5], "%s", {&texts[1][1], nullptr, nullptr, nullptr}},
    {"big", MATCH_LONGFX, &flags[1][6], "%S", {&texts[1][2], nullptr, nullptr, nullptr}},
    {"preset", MATCH_EXACT, &flags[1][7], "%s", {&texts[1][3], nullptr, nullptr, nullptr}},
    {"veryveryveryverylongswitchname", MATCH_LVAR, &flags[1][8], nullptr,
     {nullptr, nullptr, nullptr, H("- a help text that is longer than forty-eight characters")}},
    END,
};

#define CONV(r, name, mode, format) \
    {name, mode, &flags[2][r], format, {N(2, r, 0), N(2, r, 1), N(2, r, 2), N(2, r, 3)}}
#define CONV3(r, name, mode, format) \
    {name, mode, &flags[2][r], format, {N(2, r, 0), N(2, r, 1), N(2, r, 2), H("- help")}}

const SwitchDescriptor formats_table[] = {
    CONV3(0, "int", MATCH_EXACT, "%d"),
    CONV3(1, "pair", MATCH_LONGFX, "%ld,%ld"),
    CONV3(2, "pct", MATCH_LVAR, "%ld%%"),
    CONV(3, "five", MATCH_LVAR, "%d%d%d%d%d"),
    CONV3(4, "textnum", MATCH_LONGFX, "%s%d"),
    CONV3(5, "hexoct", MATCH_LVAR, "%x %o"),
    CONV3(6, "small", MATCH_LONGFX, "%hhd/%hd"),
    CONV3(7, "float", MATCH_LVAR, "%f %lf"),
    CONV3(8, "chars", MATCH_LVAR, "%c%3c"),
    CONV3(9, "set", MATCH_LVAR, "%[a-z]%[^]x]"),
    CONV3(10, "count", MATCH_LVAR, "%n%d%n"),
    CONV3(11, "skip", MATCH_LVAR, "%*d%d"),
    CONV3(12, "plain", MATCH_LONGFX, "plain"),
    CONV3(13, "percent", MATCH_LVAR, "%%"),
    CONV(14, "four", MATCH_LVAR, "%lld %jd %zu %i"),
    CONV3(15, "star", MATCH_LVAR, "%*s %p"),
    CONV3(16, "wide", MATCH_LVAR, "%ls %lc"),
    CONV3(17, "broken", MATCH_LVAR, "%l"),
    {"text", MATCH_LVAR, &flags[2][18], "%s", {&texts[2][0], nullptr, nullptr, nullptr}},
    END,
};

char row_names[101][8];
SwitchDescriptor many_rows[102];

const SwitchDescriptor empty_table[] = {END};

} // namespace

void reset_fuzz_tables() {
    options = WindowToolOptions{};
    memset(flags, 0, sizeof flags);
    memset(texts, 0, sizeof texts);
    texts[1][3] = preset_text;
    const Guarded fresh = {kGuard, 1, kGuard};
    std::fill(&numbers[0][0][0], &numbers[0][0][0] + sizeof numbers / sizeof fresh, fresh);
    if (!many_rows[0].name) {
        for (int i = 0; i < 101; ++i) {
            snprintf(row_names[i], sizeof row_names[i], "r%d", i);
            many_rows[i] = {row_names[i], i % 2 ? MATCH_EXACT : MATCH_LONGFX, &flags[3][i],
                            nullptr, {nullptr, nullptr, nullptr, nullptr}};
        }
        many_rows[100].value_format = "%s";
        many_rows[100].targets[0] = &texts[3][0];
        many_rows[101] = END;
    }
}

SwitchTable fuzz_table(int which) {
    switch (which) {
    case 0: return quillex_switches; // the program's own
    case 1: return modes_table;
    case 2: return formats_table;
    case 3: return many_rows;
    default: return empty_table;
    }
}

namespace {

[[noreturn]] void fail(const char *what) {
    fprintf(stderr, "invariant broken: %s\n", what);
    abort();
}

// A pointer into one of the buffers, terminated inside it.
bool inside(const char *p, char *const *buffers, const size_t *sizes, int count) {
    for (int i = 0; i < count; ++i) {
        if (p >= buffers[i] && p <= buffers[i] + sizes[i])
            return memchr(p, 0, size_t(buffers[i] + sizes[i] + 1 - p)) != nullptr;
    }
    return false;
}

} // namespace

void check_parse(int which, const SeenState &seen, char *const *buffers, const size_t *sizes,
                 int count, const char *result) {
    if (result && !inside(result, buffers, sizes, count)) fail("result outside the text");
    const SwitchTable table = fuzz_table(which);
    for (size_t r = 0; table[r].name; ++r) {
        const SwitchDescriptor &row = table[r];
        if (row.flag && *row.flag > 1) fail("flag byte not 0 or 1");
        if (r < SEEN_ROWS) {
            const signed char s = seen.row[r];
            if (s < -1 || s > 1) fail("seen state not -1, 0 or 1");
            if (row.flag && *row.flag != (s == 1)) fail("flag and seen state disagree");
        }
        if (is_text_format(row.value_format)) {
            const char *text = *static_cast<char *const *>(row.targets[0]);
            const bool preset = text == preset_text || text == no_text;
            if (text && !preset && !inside(text, buffers, sizes, count))
                fail("text target outside the text");
        }
    }
    const Guarded *all = &numbers[0][0][0];
    for (size_t i = 0; i < sizeof numbers / sizeof *all; ++i)
        if (all[i].before != kGuard || all[i].after != kGuard) fail("conversion stored beyond 32 bits");
}

int split_arguments(const uint8_t *data, size_t size, char **buffers, size_t *sizes, int max_args) {
    int count = 0;
    size_t start = 0;
    while (count < max_args) {
        size_t end = start;
        while (end < size && data[end] != 0) ++end;
        if (count == max_args - 1) end = size; // the last takes the rest, NULs and all
        buffers[count] = static_cast<char *>(malloc(end - start + 1));
        memcpy(buffers[count], data + start, end - start);
        buffers[count][end - start] = 0;
        sizes[count] = strlen(buffers[count]);
        ++count;
        if (end >= size) break;
        start = end + 1;
    }
    return count;
}
