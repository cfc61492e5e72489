// The options record and the switch table that fills it.
#include "window_tool.h"

char no_text[] = "";
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
    FLAG_ROW("maximize", maximize, "- Maximize window"),
    FLAG_ROW("activate", activate, "- Bring window to the front"),
    {"top", MATCH_LONGFX, &options.top, "%ld",
     {&options.top_value, nullptr, nullptr, SWITCH_HELP("- Keep window on top (1) or not (0)")}},
    {"move", MATCH_LONGFX, &options.move, "%ld,%ld",
     {&options.move_x, &options.move_y, nullptr, SWITCH_HELP("- Move window to X,Y")}},
    {"size", MATCH_LONGFX, &options.size, "%ld,%ld",
     {&options.size_width, &options.size_height, nullptr, SWITCH_HELP("- Size window to W,H")}},
    FLAG_ROW("visible", visible, "- Only visible windows"),
    {"class", MATCH_LONGFX, &options.by_class, "%s",
     {&options.class_name, nullptr, nullptr, SWITCH_HELP("- Window class name")}},
    {"process", MATCH_LONGFX, &options.by_process, "%s",
     {&options.process_name, nullptr, nullptr,
      SWITCH_HELP("- Program file name, as notepad.exe")}},
    {"pid", MATCH_LONGFX, &options.by_pid, "%ld",
     {&options.pid, nullptr, nullptr, SWITCH_HELP("- Process id")}},
    {nullptr, 0, nullptr, nullptr, {nullptr, nullptr, nullptr, nullptr}},
};

void parse_tool_switches(char *text, ParseReport *report) {
    static char program[] = "quillex";
    char *args[2] = {program, text};
    parse_switches_reported(2, args, quillex_switches, kListedSwitches, report);
}
