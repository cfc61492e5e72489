// The options record and the switch table that fills it.
#include "window_tool.h"

WindowToolOptions options = {nullptr, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0};

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
    {nullptr, 0, nullptr, nullptr, {nullptr, nullptr, nullptr, nullptr}},
};
