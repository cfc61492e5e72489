// Scanning and printing of converted switch values.
//
// Every conversion of a row lands in its target as one 32-bit value, whatever
// width the conversion itself would store (a "%ld" is 8 bytes on LP64
// systems). The conversions therefore write into scratch slots of the right
// width first, and only the 32-bit result is copied to the target. Printing
// does the reverse: each conversion gets its 32-bit value widened to the
// argument type it expects.
#include "switches.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#include <stddef.h>
#include <stdint.h>

namespace {

// Length modifiers, folded into the few widths that matter here.
enum Length { LEN_NONE, LEN_HH, LEN_H, LEN_L, LEN_LL, LEN_J, LEN_Z, LEN_T, LEN_BIG_L };

struct Conversion {
    const char *end;  // first character after the conversion
    char kind;        // conversion character; 0 when the format ends inside it
    Length length;
    bool suppressed;  // scanf "%*d": converts without storing
    long width;       // -1 when none is given
};

const char *read_length(const char *f, Length *length) {
    *length = LEN_NONE;
    switch (*f) {
    case 'h':
        if (f[1] == 'h') { *length = LEN_HH; return f + 2; }
        *length = LEN_H; return f + 1;
    case 'l':
        if (f[1] == 'l') { *length = LEN_LL; return f + 2; }
        *length = LEN_L; return f + 1;
    case 'q': *length = LEN_LL; return f + 1;
    case 'L': *length = LEN_BIG_L; return f + 1;
    case 'j': *length = LEN_J; return f + 1;
    case 'z': *length = LEN_Z; return f + 1;
    case 't': *length = LEN_T; return f + 1;
    default: return f;
    }
}

// Reads the scanf conversion whose "%" is at f.
Conversion read_scan_conversion(const char *f) {
    Conversion c = {f + 1, 0, LEN_NONE, false, -1};
    const char *p = f + 1;
    if (*p == '*') { c.suppressed = true; ++p; }
    if (*p >= '0' && *p <= '9') c.width = strtol(p, const_cast<char **>(&p), 10);
    p = read_length(p, &c.length);
    if (*p == 0) { c.end = p; return c; }
    c.kind = *p++;
    if (c.kind == '[') {
        // The set runs to the next "]"; one right after "[" or "[^" is a member.
        if (*p == '^') ++p;
        if (*p == ']') ++p;
        while (*p && *p != ']') ++p;
        if (*p == 0) { c.kind = 0; c.end = p; return c; }
        ++p;
    }
    c.end = p;
    return c;
}

bool is_float_kind(char k) {
    return k == 'e' || k == 'f' || k == 'g' || k == 'a' || k == 'E' || k == 'F' ||
           k == 'G' || k == 'A';
}
bool is_text_kind(char k) {
    return k == 's' || k == 'c' || k == '[' || k == 'S' || k == 'C';
}

// Scratch storage wide enough for any single non-text conversion.
union Slot {
    long double ld;
    double d;
    float f;
    intmax_t j;
    long long ll;
    long l;
    int i;
    short h;
    signed char hh;
    size_t z;
    ptrdiff_t t;
    void *p;
};

int32_t slot_integer(const Slot &s, Length length) {
    switch (length) {
    case LEN_HH: return s.hh;
    case LEN_H: return s.h;
    case LEN_L: return static_cast<int32_t>(s.l);
    case LEN_LL: case LEN_BIG_L: return static_cast<int32_t>(s.ll);
    case LEN_J: return static_cast<int32_t>(s.j);
    case LEN_Z: return static_cast<int32_t>(s.z);
    case LEN_T: return static_cast<int32_t>(s.t);
    default: return s.i;
    }
}

float slot_float(const Slot &s, Length length) {
    if (length == LEN_L) return static_cast<float>(s.d);
    if (length == LEN_BIG_L) return static_cast<float>(s.ld);
    return s.f;
}

// Where one assigned conversion writes, and how its result is read back.
struct Assigned {
    Conversion conv;
    Slot slot;
    char *text; // heap scratch for text conversions
};

void store_result(const Assigned &a, void *target) {
    if (!target) return;
    const char k = a.conv.kind;
    if (is_text_kind(k)) {
        // Only the first bytes of the text fit the 32-bit target.
        size_t n = (k == 'c' || k == 'C') ? (a.conv.width > 0 ? size_t(a.conv.width) : 1)
                                         : strlen(a.text) + 1;
        if (a.conv.length == LEN_L || k == 'S' || k == 'C') n *= sizeof(wchar_t);
        uint32_t word = 0;
        memcpy(&word, target, sizeof word);
        memcpy(&word, a.text, n < 4 ? n : 4);
        memcpy(target, &word, sizeof word);
        return;
    }
    if (is_float_kind(k)) {
        float f = slot_float(a.slot, a.conv.length);
        memcpy(target, &f, sizeof f);
        return;
    }
    int32_t word = k == 'p' ? static_cast<int32_t>(reinterpret_cast<uintptr_t>(a.slot.p))
                            : slot_integer(a.slot, a.conv.length);
    memcpy(target, &word, sizeof word);
}

// Whether a format is one plain decimal conversion ("%ld", "%u"). Such
// values are the common case and are converted without the C library's
// scanf machinery, with the same result.
bool is_plain_decimal(const char *format) {
    if (format[0] != '%') return false;
    const char *p = format + 1;
    if (*p == 'l' && p[1] != 'l') ++p;
    return (*p == 'd' || *p == 'u') && p[1] == 0;
}

} // namespace

int scan_switch_value(const char *text, const char *format, void *const targets[4]) {
    int ignored;
    return scan_switch_value_counted(text, format, targets, &ignored);
}

int scan_switch_value_counted(const char *text, const char *format, void *const targets[4],
                              int *consumed) {
    *consumed = -1;
    if (is_plain_decimal(format)) {
        const char *start = text;
        while (is_white_space(*text)) ++text;
        if (!*text) return -1;
        char *end;
        // Unsigned conversion covers every 32-bit pattern of both signs.
        const unsigned long long value = strtoull(text, &end, 10);
        if (end == text) return 0;
        *consumed = static_cast<int>(end - start);
        const int32_t word = static_cast<int32_t>(static_cast<uint32_t>(value));
        if (targets[0]) memcpy(targets[0], &word, sizeof word);
        return 1;
    }
    Assigned a[4];
    int n = 0;
    bool complete = true; // a format that ends inside a conversion takes no "%n"
    for (const char *f = format; *f; ) {
        if (*f != '%') { ++f; continue; }
        Conversion c = read_scan_conversion(f);
        f = c.end;
        if (c.kind == 0) complete = false;
        if (c.kind == 0 || c.kind == '%' || c.suppressed) continue;
        if (n == 4) return 0; // more stores than targets: never convert
        a[n].conv = c;
        a[n].text = nullptr;
        memset(&a[n].slot, 0, sizeof a[n].slot);
        if (c.kind == 'n') a[n].slot.ll = -1; // a count is never negative
        ++n;
    }
    bool ok = true;
    for (int i = 0; i < n; ++i) {
        if (!is_text_kind(a[i].conv.kind)) continue;
        size_t size = (strlen(text) + 2) * sizeof(wchar_t);
        if (a[i].conv.width > 0) size += size_t(a[i].conv.width) * sizeof(wchar_t);
        a[i].text = static_cast<char *>(calloc(size, 1));
        if (!a[i].text) ok = false;
    }
    // A "%n" after the row's own conversions tells how far they read.
    const size_t format_length = strlen(format);
    char *counted_format = static_cast<char *>(malloc(format_length + 3));
    if (counted_format)
        snprintf(counted_format, format_length + 3, "%s%s", format, complete ? "%n" : "");
    int got = 0;
    if (ok && counted_format) {
        void *out[5] = {nullptr, nullptr, nullptr, nullptr, nullptr};
        for (int i = 0; i < n; ++i) out[i] = a[i].text ? static_cast<void *>(a[i].text) : &a[i].slot;
        out[n] = consumed;
        got = sscanf(text, counted_format, out[0], out[1], out[2], out[3], out[4]);
        // The first "got" counted conversions were stored; "%n" is not
        // counted, so its slot tells by itself whether it was reached.
        int counted = 0;
        for (int i = 0; i < n; ++i) {
            if (a[i].conv.kind == 'n') {
                if (a[i].slot.ll != -1) store_result(a[i], targets[i]);
                continue;
            }
            if (counted++ < got) store_result(a[i], targets[i]);
        }
    }
    for (int i = 0; i < n; ++i) free(a[i].text);
    free(counted_format);
    return got;
}

namespace {

int32_t next_word(const void *const targets[4], int *used) {
    int32_t word = 0;
    if (*used < 4 && targets[*used]) memcpy(&word, targets[*used], sizeof word);
    ++*used;
    return word;
}

// A printf conversion as it will be printed: "%", its flags, width and
// precision (every "*" replaced by the number it takes from the values),
// then a length and kind of our own choosing.
struct PrintConversion {
    char text[64];
    size_t head;     // length of the part before the length and kind
    char kind;       // 0 when the format ends inside the conversion
    Length length;
    const char *end; // first character after it in the format
};

// Flags, width and precision beyond this length are dropped, which leaves
// room for a length, a kind and the terminator.
const size_t kMaxHead = 48;

void append(PrintConversion &c, const char *from, size_t n) {
    const size_t room = c.head < kMaxHead ? kMaxHead - c.head : 0;
    if (n > room) n = room;
    memcpy(c.text + c.head, from, n);
    c.head += n;
}

// A width or precision: digits as written, or "*" taken from the values.
const char *read_number(const char *p, PrintConversion &c, const void *const targets[4],
                        int *used) {
    if (*p == '*') {
        char number[16];
        const int n = snprintf(number, sizeof number, "%ld",
                               static_cast<long>(next_word(targets, used)));
        append(c, number, size_t(n));
        return p + 1;
    }
    const char *digits = p;
    while (*p >= '0' && *p <= '9') ++p;
    append(c, digits, size_t(p - digits));
    return p;
}

PrintConversion read_print_conversion(const char *f, const void *const targets[4], int *used) {
    PrintConversion c = {};
    c.text[0] = '%';
    c.head = 1;
    const char *p = f + 1;
    const char *flags = p;
    while (*p && strchr("-+ #0'", *p)) ++p;
    append(c, flags, size_t(p - flags));
    p = read_number(p, c, targets, used);
    if (*p == '.') {
        append(c, p, 1);
        p = read_number(p + 1, c, targets, used);
    }
    p = read_length(p, &c.length);
    c.kind = *p;
    c.end = *p ? p + 1 : p;
    return c;
}

// The conversion's text with the given length and kind.
const char *with_tail(PrintConversion &c, const char *tail) {
    snprintf(c.text + c.head, sizeof c.text - c.head, "%s", tail);
    return c.text;
}

} // namespace

void print_switch_value(const char *format, const void *const targets[4]) {
    int used = 0;
    const char *f = format;
    while (*f) {
        const char *pct = strchr(f, '%');
        if (!pct) {
            fputs(f, stdout);
            return;
        }
        fwrite(f, 1, size_t(pct - f), stdout);
        PrintConversion c = read_print_conversion(pct, targets, &used);
        f = c.end;
        const char kind = c.kind;
        if (kind == '%') {
            putchar('%');
        } else if (kind == 'd' || kind == 'i') {
            const int32_t v = next_word(targets, &used);
            // "l" suits every C library and holds any 32-bit value.
            const long value = c.length == LEN_HH ? static_cast<signed char>(v)
                               : c.length == LEN_H ? static_cast<short>(v) : v;
            printf(with_tail(c, kind == 'd' ? "ld" : "li"), value);
        } else if (kind == 'u' || kind == 'o' || kind == 'x' || kind == 'X') {
            const uint32_t v = static_cast<uint32_t>(next_word(targets, &used));
            const unsigned long value = c.length == LEN_HH ? static_cast<unsigned char>(v)
                                        : c.length == LEN_H ? static_cast<unsigned short>(v) : v;
            const char tail[3] = {'l', kind, 0};
            printf(with_tail(c, tail), value);
        } else if (kind == 'c' || kind == 'C') {
            const int32_t v = next_word(targets, &used);
            printf(with_tail(c, "c"), static_cast<int>(static_cast<unsigned char>(v)));
        } else if (kind == 's' || kind == 'S') {
            const int32_t v = next_word(targets, &used);
            char bytes[5] = {0, 0, 0, 0, 0};
            memcpy(bytes, &v, 4);
            printf(with_tail(c, "s"), bytes);
        } else if (is_float_kind(kind)) {
            const int32_t v = next_word(targets, &used);
            float value;
            memcpy(&value, &v, sizeof value);
            const char tail[2] = {kind, 0};
            printf(with_tail(c, tail), static_cast<double>(value));
        } else if (kind == 'p') {
            const int32_t v = next_word(targets, &used);
            // The stored word is shown as the address it was read as.
            printf(with_tail(c, "p"), reinterpret_cast<void *>( // NOLINT(performance-no-int-to-ptr)
                                          static_cast<uintptr_t>(static_cast<uint32_t>(v))));
        } else if (kind == 'n') {
            next_word(targets, &used); // a count is never written back
        } else {
            // Not a conversion printf knows: shown as written.
            fwrite(pct, 1, size_t(c.end - pct), stdout);
        }
    }
}
