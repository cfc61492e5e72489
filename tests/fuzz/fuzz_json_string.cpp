// Fuzzes the JSON string writer: whatever UTF-16 units it is given (lone
// surrogates and control characters included), it writes ASCII that a
// strict JSON reader (RFC 8259's string grammar) reads back as those units.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "window_tool.h"

namespace {

int hex(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The units a JSON string stands for; false when it is not one.
bool read_json_string(const char *s, size_t n, std::vector<uint16_t> &out) {
    if (n < 2 || s[0] != '"' || s[n - 1] != '"') return false;
    for (size_t i = 1; i < n - 1; ++i) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (c < 0x20 || c >= 0x7F || c == '"') return false; // ASCII, nothing raw
        if (c != '\\') {
            out.push_back(c);
            continue;
        }
        if (++i >= n - 1) return false;
        const char *simple = strchr("\"\\/bfnrt", s[i]);
        if (simple && s[i]) {
            out.push_back(static_cast<uint16_t>("\"\\/\b\f\n\r\t"[simple - "\"\\/bfnrt"]));
            continue;
        }
        if (s[i] != 'u' || i + 4 >= n - 1) return false;
        unsigned unit = 0;
        for (int k = 1; k <= 4; ++k) {
            const int digit = hex(s[i + k]);
            if (digit < 0) return false;
            unit = unit * 16 + unsigned(digit);
        }
        out.push_back(static_cast<uint16_t>(unit));
        i += 4;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::vector<uint16_t> units(size / 2);
    for (size_t i = 0; i < units.size(); ++i)
        units[i] = uint16_t(data[2 * i] | data[2 * i + 1] << 8);
    char *written = nullptr;
    size_t length = 0;
    FILE *f = open_memstream(&written, &length);
    if (!f) return 0;
    print_json_string(f, units.data(), int(units.size()));
    fclose(f);
    std::vector<uint16_t> read;
    if (!read_json_string(written, length, read) || read != units) abort();
    free(written);
    return 0;
}
