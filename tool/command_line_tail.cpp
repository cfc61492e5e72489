// The raw command line after the program's own name.
#include <string.h>

#include "window_tool.h"

const char *command_line_tail() {
    const char *line = platform::GetCommandLineA();
    if (!line) return "";
    if (const char *exe = strstr(line, ".exe")) {
        // Past ".exe" and the quote or blank after it, but never past the end.
        const char *tail = exe + 4;
        return *tail ? tail + 1 : tail;
    }
    if (const char *blank = strchr(line, ' ')) return blank + 1;
    return line;
}
