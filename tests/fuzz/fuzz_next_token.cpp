// Fuzzes the tokenizer alone on quoted and unquoted text: every token is cut
// inside the text and scanning always moves on.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "switches.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    char *text = static_cast<char *>(malloc(size + 1));
    memcpy(text, data, size);
    text[size] = 0;
    char *const end = text + strlen(text);
    char *s = text;
    while (*s) {
        char *next = next_token(s);
        if (next < s || next > end) abort();                      // outside the text
        // The token ends where scanning goes on at the latest: at a NUL
        // stored there or before, or at the "/" of the next switch.
        if (!memchr(s, 0, size_t(next - s) + 1) && *next != '/') abort();
        if (next == s) {
            if (*s != '/' && *s) abort();                         // no progress
            ++s;                                                  // a switch's "/"
            continue;
        }
        s = next;
        while (is_white_space(*s)) ++s;
    }
    free(text);
    return 0;
}
