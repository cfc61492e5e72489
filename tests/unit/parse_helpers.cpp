#include "parse_helpers.h"

#include <gtest/gtest.h>

#include <deque>

void reset_options() {
    options = WindowToolOptions{};
}

ParseOutcome parse_text(const char *text, SwitchTable table) {
    // The parser keeps pointers into its text, so every buffer outlives the test.
    static std::deque<std::vector<char>> buffers;
    buffers.emplace_back(text, text + strlen(text) + 1);
    char program[] = "quillex";
    char *args[2] = {program, buffers.back().data()};
    testing::internal::CaptureStdout();
    ParseReport report;
    parse_switches_reported(2, args, table, table == quillex_switches ? kListedSwitches : -1,
                            &report);
    ParseOutcome outcome;
    outcome.out = testing::internal::GetCapturedStdout();
    outcome.result = report.unknown ? report.unknown : "<null>";
    outcome.surplus = report.surplus;
    if (report.doubts > 0) {
        static const char *const kinds[] = {"", "dropped", "not-whole", "blank", "empty"};
        char doubt[160];
        snprintf(doubt, sizeof doubt, "%s /%s \"%.*s\" x%d", kinds[report.doubt],
                 report.doubted_row, static_cast<int>(report.doubted_length), report.doubted,
                 static_cast<int>(report.doubts));
        outcome.doubt = doubt;
    }
    return outcome;
}

const char *const kShortListing =
    "/windowname=%s          - Name of window to search\n"
    "/dook=%ld               - Send OK to window. Number = buttonId\n"
    "/exist                  - Does window exist?\n"
    "/hide                   - Hide window\n"
    "/show                   - Show window\n"
    "/minimize               - Iconize window\n"
    "/restore                - Restore window\n"
    "/close                  - Close window program\n"
    "/listwin                - List windows names\n"
    "/listsub                - List child-windows names\n"
    "/log                    - Write some command info\n";

const char *const kLongListing =
    "/windowname=%s          - Name of window to search .....................(LONGFX)\n"
    "/dook=%ld               - Send OK to window. Number = buttonId .........(LVAR)\n"
    "/exist                  - Does window exist? ...........................(LONGFX)\n"
    "/hide                   - Hide window ..................................(LONGFX)\n"
    "/show                   - Show window ..................................(LONGFX)\n"
    "/minimize               - Iconize window ...............................(LONGFX)\n"
    "/restore                - Restore window ...............................(LONGFX)\n"
    "/close                  - Close window program .........................(LONGFX)\n"
    "/listwin                - List windows names ...........................(LONGFX)\n"
    "/listsub                - List child-windows names .....................(LONGFX)\n"
    "/log                    - Write some command info ......................(LONGFX)\n";
