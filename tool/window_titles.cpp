// Reading window titles: in the ANSI code page for the text listings and
// log lines, whole as UTF-16 for matching and the JSON listing.
#include <stdlib.h>

#include "window_tool.h"

using namespace platform;

int read_title(WindowHandle window, char *title) {
    int copied = GetWindowTextA(window, title, kTitleSize);
    // A read that failed may leave the buffer as it was.
    if (copied <= 0) {
        title[0] = 0;
        return 0;
    }
    // A UTF-8 title longer than the buffer may be cut inside a character:
    // the bytes of that last, incomplete character are dropped.
    if (copied < kTitleSize - 1 || GetACP() != CP_UTF8) return copied;
    int start = copied;
    while (start > 0 && (static_cast<unsigned char>(title[start - 1]) & 0xC0) == 0x80) --start;
    if (start == 0) return copied;
    const unsigned char lead = static_cast<unsigned char>(title[start - 1]);
    const int length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    if (copied - (start - 1) < length) {
        copied = start - 1;
        title[copied] = 0;
    }
    return copied;
}

bool read_failed(int got) {
    if (got > 0) return false;
    const unsigned error = GetLastError();
    return error != 0 && error != ERROR_INVALID_WINDOW_HANDLE;
}

int title_length(WindowHandle window) {
    const int length = GetWindowTextLengthW(window);
    if (!read_failed(length)) return length;
    note_search_failure("a window's title could not be read");
    return -1;
}

int units_of(const uint16_t *text) {
    int length = 0;
    while (text[length]) ++length;
    return length;
}

WideText wide_title(WindowHandle window) {
    const int length = GetWindowTextLengthW(window);
    if (read_failed(length)) return WideText{nullptr, -1};
    WideText t = {static_cast<uint16_t *>(malloc(sizeof(uint16_t) * (length + 1u))), 0};
    if (!t.text) return t;
    t.length = GetWindowTextW(window, t.text, length + 1);
    if (length > 0 && read_failed(t.length)) t.length = -1;
    return t;
}

WideText wide_text(const char *text) {
    const int length = ansi_to_utf16(text, nullptr, 0);
    if (length < 0) return WideText{nullptr, -1};
    WideText t = {static_cast<uint16_t *>(malloc(sizeof(uint16_t) * (length + 1u))), 0};
    if (t.text) t.length = ansi_to_utf16(text, t.text, length + 1);
    return t;
}

