// Text as a JSON string, in ASCII whatever the code page: escaped as
// Python's json.dumps escapes it with ensure_ascii.
#include "window_tool.h"

void print_json_string(FILE *out, const uint16_t *text, int length) {
    fputc('"', out);
    for (int i = 0; i < length; ++i) {
        const unsigned c = text[i];
        switch (c) {
        case '"': fputs("\\\"", out); break;
        case '\\': fputs("\\\\", out); break;
        case '\b': fputs("\\b", out); break;
        case '\f': fputs("\\f", out); break;
        case '\n': fputs("\\n", out); break;
        case '\r': fputs("\\r", out); break;
        case '\t': fputs("\\t", out); break;
        default:
            if (c >= 0x20 && c <= 0x7E) fputc(static_cast<int>(c), out);
            else fprintf(out, "\\u%04x", c);
        }
    }
    fputc('"', out);
}
