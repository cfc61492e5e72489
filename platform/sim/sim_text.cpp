// Text on the simulated desktop: code pages and case.
#include "sim_text.h"

namespace sim {

namespace {

// What Windows-1252 has at 0x80 to 0x9F (0: nothing).
const uint16_t kWindows1252[32] = {
    0x20AC, 0, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0, 0x017D, 0, 0, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013,
    0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0, 0x017E, 0x0178};

} // namespace

std::u16string utf16_of(const std::string &bytes, bool utf8) {
    std::u16string out;
    for (size_t i = 0; i < bytes.size();) {
        unsigned c = static_cast<unsigned char>(bytes[i++]);
        if (!utf8 || c < 0x80) {
            out += static_cast<char16_t>(c >= 0x80 && c < 0xA0 && kWindows1252[c - 0x80]
                                             ? kWindows1252[c - 0x80]
                                             : c);
            continue;
        }
        const int more = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
        c &= 0x3F >> more;
        for (int k = 0; k < more && i < bytes.size(); ++k)
            c = (c << 6) | (static_cast<unsigned char>(bytes[i++]) & 0x3F);
        if (c >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
    }
    return out;
}

std::string cp1252_of(const std::u16string &text, std::vector<unsigned char> *lost) {
    std::string out;
    // A character beyond the first plane is two units, two "?".
    for (const char16_t c : text) {
        int byte = c < 0x80 || (c >= 0xA0 && c <= 0xFF) ? c : -1;
        for (int k = 0; k < 32 && byte < 0; ++k)
            if (kWindows1252[k] == c) byte = 0x80 + k;
        out += static_cast<char>(byte < 0 ? '?' : byte);
        if (lost) lost->push_back(byte < 0);
    }
    return out;
}

int copy_utf16(const std::u16string &text, uint16_t *buffer, int size) {
    if (size <= 0) return 0;
    const int n = static_cast<int>(text.size()) < size - 1 ? static_cast<int>(text.size())
                                                           : size - 1;
    for (int i = 0; i < n; ++i) buffer[i] = text[i];
    buffer[n] = 0;
    return n;
}

uint16_t upper(uint16_t c) {
    if ((c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7) ||
        (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) || (c >= 0x430 && c <= 0x44F))
        return static_cast<uint16_t>(c - 0x20);
    if (c >= 0x450 && c <= 0x45F) return static_cast<uint16_t>(c - 0x50);
    return c;
}

bool same_but_case(const std::u16string &a, const std::u16string &b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (upper(a[i]) != upper(b[i])) return false;
    return true;
}

std::string ascii_of(const uint16_t *text) {
    std::string s;
    for (; *text; ++text) s += *text < 0x80 ? static_cast<char>(*text) : '?';
    return s;
}

} // namespace sim
