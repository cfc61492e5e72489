// The options record and the switch table that fills it.
#include "window_tool.h"

WindowToolOptions options = {};

#define FLAG_ROW(name, field, help) \
    {name, MATCH_LONGFX, &options.field, nullptr, {nullptr, nullptr, nullptr, SWITCH_HELP(help)}}

const SwitchDescriptor quillex_switches[] = {
    {"windowname", MATCH_LONGFX, nullptr, "%s",
     {&options.windowname, nullptr, nullptr, SWITCH_HELP("- Name of window to search")}},
    {"dook", MATCH_LVAR, &options.dook, "%ld",
     {&options.command_id, nullptr, nullptr,
      SWITCH_HELP("- Send OK to window. Number = buttonId")}},
    FLAG_ROW("exist", exist, "- Does window exist?"),
    FLAG_ROW("hide", hide, "- Hide window"),
    FLAG_ROW("show", show, "- Show window"),
    FLAG_ROW("minimize", minimize, "- Iconize window"),
    FLAG_ROW("restore", restore, "- Restore window"),
    FLAG_ROW("close", close, "- Close window program"),
    FLAG_ROW("listwin", listwin, "- List windows names"),
    FLAG_ROW("listsub", listsub, "- List child-windows names"),
    FLAG_ROW("log", log, "- Write some command info"),
    // Added after the first eleven, which the usage and /?? list alone.
    FLAG_ROW("strict", strict, "- Exit code tells what happened"),
    {"wait", MATCH_LONGFX, &options.wait, "%ld",
     {&options.wait_seconds, nullptr, nullptr, SWITCH_HELP("- Wait up to N seconds")}},
    FLAG_ROW("gone", gone, "- Does window not exist?"),
    FLAG_ROW("help", help, "- List every switch"),
    FLAG_ROW("like", like, "- Name is a pattern with * and ?"),
    FLAG_ROW("all", all, "- Act on every matching window"),
    {"handle", MATCH_LONGFX, &options.handle, "%lx",
     {&options.handle_number, nullptr, nullptr,
      SWITCH_HELP("- Window by handle (hex) not name")}},
    FLAG_ROW("json", json, "- List windows as JSON"),
    FLAG_ROW("console", console, "- Act on this program's console window"),
    {nullptr, 0, nullptr, nullptr, {nullptr, nullptr, nullptr, nullptr}},
};

void parse_tool_switches(char *text, ParseReport *report) {
    static char program[] = "quillex";
    char *args[2] = {program, text};
    parse_switches_reported(2, args, quillex_switches, kListedSwitches, report);
}
