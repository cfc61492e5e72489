// The switch parser against the program's own switch table.
#include <gtest/gtest.h>

#include "parse_helpers.h"

namespace {

// The whole options state in one line: title, dook flag and id, then the
// flags exist hide show minimize restore close listwin listsub log.
std::string describe_options() {
    char line[256];
    snprintf(line, sizeof line, "title=%s%s%s dook=%d id=%d flags=%d%d%d%d%d%d%d%d%d",
             options.windowname ? "\"" : "", options.windowname ? options.windowname : "<null>",
             options.windowname ? "\"" : "", options.dook, options.command_id, options.exist, options.hide,
             options.show, options.minimize, options.restore, options.close, options.listwin, options.listsub,
             options.log);
    return line;
}

struct Case {
    const char *text;
    const char *state;
    const char *out;
    const char *result;
};

const Case kCases[] = {
    {"/win:abc /dook:3 /nohide", "title=\"abc\" dook=1 id=3 flags=000000000", "", "<null>"},
    {"Notepad /show", "title=\"Notepad\" dook=0 id=1 flags=001000000", "", "<null>"},
    {"/show Notepad", "title=<null> dook=0 id=1 flags=001000000", "", "<null>"},
    {"/foo /show", "title=<null> dook=0 id=1 flags=001000000",
     "Unknown command line parameter foo\n", "foo"},
    {"/foo Bar", "title=\"bar\" dook=0 id=1 flags=000000000",
     "Unknown command line parameter foo\n", "foo"},
    {"/FOO /BAR", "title=<null> dook=0 id=1 flags=000000000",
     "Unknown command line parameter foo\nUnknown command line parameter bar\n", "foo"},
    {"abc def", "title=\"abc\" dook=0 id=1 flags=000000000",
     "Too many parameters. Ignored \"def\"\n", "<null>"},
    {"abc def/show", "title=\"abc\" dook=0 id=1 flags=001000000",
     "Too many parameters. Ignored \"def\"\n", "<null>"},
    {"/windowname:abc def", "title=\"abc\" dook=0 id=1 flags=000000000",
     "Too many parameters. Ignored \"def\"\n", "<null>"},
    {"/windowname:\"My Window\" /-show /l", "title=\"My Window\" dook=0 id=1 flags=000000100",
     "", "<null>"},
    {"\"a\"\"b\" /close", "title=\"a\"b\" dook=0 id=1 flags=000001000", "", "<null>"},
    {"/windowname:a/b", "title=\"a\" dook=0 id=1 flags=000000000",
     "Unknown command line parameter b\n", "b"},
    {"/windowname:\"a b\"/show", "title=\"a b\" dook=0 id=1 flags=000000000",
     "Too many parameters. Ignored \"/show\"\n", "<null>"},
    {"/windowname:  /show", "title=\"\" dook=0 id=1 flags=001000000", "", "<null>"},
    {"\"unterminated text", "title=\"unterminated text\" dook=0 id=1 flags=000000000", "",
     "<null>"},
    {"/", "title=<null> dook=1 id=1 flags=000000000", "", "<null>"},
    {"/:5", "title=\"5\" dook=0 id=1 flags=000000000", "", "<null>"},
    {"/=5", "title=\"5\" dook=0 id=1 flags=000000000", "", "<null>"},
    {"/dook5", "title=<null> dook=1 id=1 flags=000000000", "", "<null>"},
    {"/dook", "title=<null> dook=1 id=1 flags=000000000", "", "<null>"},
    {"/dook:x", "title=<null> dook=1 id=1 flags=000000000", "", "<null>"},
    {"/DOOK=7", "title=<null> dook=1 id=7 flags=000000000", "", "<null>"},
    {"/dook:-2", "title=<null> dook=1 id=-2 flags=000000000", "", "<null>"},
    {"/dook:0x10", "title=<null> dook=1 id=0 flags=000000000", "", "<null>"},
    {"/dook:\"12\"", "title=<null> dook=1 id=12 flags=000000000", "", "<null>"},
    {"/dook:2147483647", "title=<null> dook=1 id=2147483647 flags=000000000", "", "<null>"},
    {"/-dook:4", "title=<null> dook=0 id=4 flags=000000000", "", "<null>"},
    {"/hide:yes", "title=<null> dook=0 id=1 flags=010000000", "", "<null>"},
    {"/noshow", "title=<null> dook=0 id=1 flags=000000000", "", "<null>"},
    {"/show /-noshow", "title=<null> dook=0 id=1 flags=000000000", "", "<null>"},
    {"/show /nonoshow", "title=<null> dook=0 id=1 flags=000000000", "", "<null>"},
    {"/show /noshow /show", "title=<null> dook=0 id=1 flags=001000000", "", "<null>"},
    {"/no", "title=<null> dook=0 id=1 flags=000000000", "", "<null>"},
    {"/noxyz", "title=<null> dook=0 id=1 flags=000000000",
     "Unknown command line parameter xyz\n", "xyz"},
    {"?", "title=\"?\" dook=0 id=1 flags=000000000", "", "<null>"},
    {"/showall /lists /lo /l", "title=<null> dook=0 id=1 flags=001000111", "", "<null>"},
    {"/ListWin\t/LOG", "title=<null> dook=0 id=1 flags=000000101", "", "<null>"},
    {"/nohide ???", "title=<null> dook=0 id=1 flags=000000000", "", "<null>"},
    {" abc", "title=\"\" dook=0 id=1 flags=000000000",
     "Too many parameters. Ignored \"abc\"\n", "<null>"},
    {"/windowname:\"x\" y", "title=\"x\" dook=0 id=1 flags=000000000",
     "Too many parameters. Ignored \"y\"\n", "<null>"},
};

TEST(ParseSwitches, FillsTheToolShapedTableAsTheEdgeTableSays) {
    for (const Case &c : kCases) {
        SCOPED_TRACE(c.text);
        reset_options();
        ParseOutcome o = parse_text(c.text);
        EXPECT_EQ(describe_options(), c.state);
        EXPECT_EQ(o.out, c.out);
        EXPECT_EQ(o.result, c.result);
    }
}

// The rows after the first eleven: every switch those accept keeps its
// row; a new name needs enough letters to leave the older rows behind.
TEST(ParseSwitches, AddedRowsTakeOnlyWhatTheFirstElevenLeave) {
    struct {
        const char *text, *state, *out;
        int surplus;
    } cases[] = {
        {"/st /g /he", "title=<null> strict=1 wait=0/0 gone=1 help=1", "", 0},
        {"/strict /gone /helpme /wa:5", "title=<null> strict=1 wait=1/5 gone=1 help=1", "", 0},
        {"/WAIT=30", "title=<null> strict=0 wait=1/30 gone=0 help=0", "", 0},
        {"/nowait:5", "title=<null> strict=0 wait=0/5 gone=0 help=0", "", 0},
        {"/sta /gx", "title=<null> strict=0 wait=0/0 gone=0 help=0",
         "Unknown command line parameter sta\nUnknown command line parameter gx\n", 0},
        {"/w /wait /wait:x", "title=<null> strict=0 wait=0/0 gone=0 help=0",
         "Unknown command line parameter w\nUnknown command line parameter wait\n"
         "Unknown command line parameter wait:x\n", 0},
        // The value must follow a colon: "10" is a bare word, the title.
        {"/wait 10", "title=\"10\" strict=0 wait=0/0 gone=0 help=0",
         "Unknown command line parameter wait\n", 0},
        {"/w:10 /h /s", "title=\"10\" strict=0 wait=0/0 gone=0 help=0", "", 0},
        {"a b c", "title=\"a\" strict=0 wait=0/0 gone=0 help=0",
         "Too many parameters. Ignored \"b\"\nToo many parameters. Ignored \"c\"\n", 2},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        reset_options();
        ParseOutcome o = parse_text(c.text);
        char state[128];
        snprintf(state, sizeof state, "title=%s%s%s strict=%d wait=%d/%d gone=%d help=%d",
                 options.windowname ? "\"" : "", options.windowname ? options.windowname : "<null>",
                 options.windowname ? "\"" : "", options.strict, options.wait,
                 options.wait_seconds, options.gone, options.help);
        EXPECT_EQ(state, std::string(c.state));
        EXPECT_EQ(o.out, c.out);
        EXPECT_EQ(o.surplus, c.surplus);
    }
    const struct {
        const char *text, *state, *out;
    } finding[] = {
        {"/a /j /lik", "like=1 all=1 json=1 handle=0/0", ""},
        {"/allow /handle:0x1002A", "like=0 all=1 json=0 handle=1/1002a", ""},
        {"/ha=ff /nohandle:1F", "like=0 all=0 json=0 handle=0/1f", ""},
        {"/ab /likx /handle", "like=0 all=0 json=0 handle=0/0",
         "Unknown command line parameter ab\nUnknown command line parameter likx\n"
         "Unknown command line parameter handle\n"},
    };
    for (const auto &c : finding) {
        SCOPED_TRACE(c.text);
        reset_options();
        ParseOutcome o = parse_text(c.text);
        char state[96];
        snprintf(state, sizeof state, "like=%d all=%d json=%d handle=%d/%x", options.like,
                 options.all, options.json, options.handle, options.handle_number);
        EXPECT_EQ(state, std::string(c.state));
        EXPECT_EQ(o.out, c.out);
    }
    reset_options();
    EXPECT_EQ(describe_options(), "title=<null> dook=0 id=1 flags=000000000");
    parse_text("/h /s /l /lo /c /e /d /r /m");
    EXPECT_EQ(describe_options(), "title=<null> dook=1 id=1 flags=111111101");
}

// What /strict refuses is the tool's to decide; the parser tells which
// switch a row took otherwise than it was typed, and how.
TEST(ParseSwitches, ReportsSwitchesTakenOtherwiseThanTyped) {
    const struct {
        const char *text, *doubt;
    } cases[] = {
        // A value converts whole: up to its token's end or closing quote,
        // and not past it.
        {"/dook:abc", "not-whole /dook \"abc\" x1"},
        {"/dook:", "not-whole /dook \"\" x1"},
        {"/dook:0x10", "not-whole /dook \"0x10\" x1"},
        {"/dook: 7", "not-whole /dook \"\" x1"},
        {"/wait:30s", "not-whole /wait \"30s\" x1"},
        {"/wait:7.5", "not-whole /wait \"7.5\" x1"},
        {"/wait:\"30\"", ""},
        {"/wait:-5 /handle:0x1002A /nowait:5 /dook /dook:7", ""},
        // A value given to a switch that takes none.
        {"/close:force", "dropped /close \"force\" x1"},
        {"/s:100", "dropped /show \"100\" x1"},
        {"/hide=", "dropped /hide \"\" x1"},
        // A longer name without a blank selects its row as typed.
        {"/showall /exists /listwindows", ""},
        // A name that holds a blank, and none at all.
        {"/exist Calc", "blank /exist \"exist calc\" x1"},
        {"/", "empty /dook \"\" x1"},
        {"/:5", "empty /windowname \"\" x1"},
        {"/w:Calc /hide /dook:abc /close:x", "not-whole /dook \"abc\" x2"},
        // Lines a careful script writes stay clean.
        {"Calc /hide /log", ""},
        {"/w:\"A B\" /strict /close /wait:20 /log", ""},
        {"/strict /w:Dialog /dook:7", ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        reset_options();
        EXPECT_EQ(parse_text(c.text).doubt, c.doubt);
    }
}

// The window verbs and filters come after the first twenty rows: their
// abbreviations follow the table, and the earlier rows keep theirs.
TEST(ParseSwitches, VerbsAndFiltersTakeWhatTheEarlierRowsLeave) {
    const struct {
        const char *text, *state, *out, *doubt;
    } cases[] = {
        {"/ma /ac /v", "max=1 act=1 top=0/0 move=0/0,0 size=0/0,0 vis=1 class=0\"\" proc=0\"\" pid=0/0",
         "", ""},
        {"/t:1 /mo:10,20 /si:300,200 /pi:42", "max=0 act=0 top=1/1 move=1/10,20 size=1/300,200 "
         "vis=0 class=0\"\" proc=0\"\" pid=1/42", "", ""},
        {"/cla:Notepad /p:notepad.exe", "max=0 act=0 top=0/0 move=0/0,0 size=0/0,0 vis=0 "
         "class=1\"Notepad\" proc=1\"notepad.exe\" pid=0/0", "", ""},
        // Negated, a switch is off and its value is ignored.
        {"/notop:1 /-class:X /nomove:5,5", "max=0 act=0 top=0/1 move=0/5,5 size=0/0,0 vis=0 "
         "class=0\"X\" proc=0\"\" pid=0/0", "", ""},
        // The earlier rows keep their letters: these are flags that drop the
        // value, which /strict refuses.
        {"/s:100,100", "max=0 act=0 top=0/0 move=0/0,0 size=0/0,0 vis=0 class=0\"\" proc=0\"\" pid=0/0",
         "", "dropped /show \"100,100\" x1"},
        {"/m:10,10", "max=0 act=0 top=0/0 move=0/0,0 size=0/0,0 vis=0 class=0\"\" proc=0\"\" pid=0/0",
         "", "dropped /minimize \"10,10\" x1"},
        {"/cl:Notepad", "max=0 act=0 top=0/0 move=0/0,0 size=0/0,0 vis=0 class=0\"\" proc=0\"\" pid=0/0",
         "", "dropped /close \"Notepad\" x1"},
        {"/move:10, 20", "max=0 act=0 top=0/0 move=1/10,20 size=0/0,0 vis=0 class=0\"\" proc=0\"\" "
         "pid=0/0", "", "not-whole /move \"10,\" x1"},
        // A value is needed after ":" or "=".
        {"/top /pid:x /size:5", "max=0 act=0 top=0/0 move=0/0,0 size=0/5,0 vis=0 class=0\"\" "
         "proc=0\"\" pid=0/0", "Unknown command line parameter top\nUnknown command line "
         "parameter pid:x\nUnknown command line parameter size:5\n", ""},
        // A blank, not a colon: the unknown switch "class notepad".
        {"/class Notepad", "max=0 act=0 top=0/0 move=0/0,0 size=0/0,0 vis=0 class=0\"\" "
         "proc=0\"\" pid=0/0", "Unknown command line parameter class\n", ""},
        {"/class:", "max=0 act=0 top=0/0 move=0/0,0 size=0/0,0 vis=0 class=1\"\" proc=0\"\" pid=0/0",
         "", ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        reset_options();
        ParseOutcome o = parse_text(c.text);
        const WindowToolOptions &x = options;
        char state[200];
        snprintf(state, sizeof state, "max=%d act=%d top=%d/%d move=%d/%d,%d size=%d/%d,%d vis=%d "
                 "class=%d\"%s\" proc=%d\"%s\" pid=%d/%d", x.maximize, x.activate, x.top,
                 x.top_value, x.move, x.move_x, x.move_y, x.size, x.size_width, x.size_height,
                 x.visible, x.by_class, x.class_name, x.by_process, x.process_name, x.by_pid, x.pid);
        EXPECT_EQ(state, std::string(c.state));
        EXPECT_EQ(o.out, c.out);
        EXPECT_EQ(o.doubt, c.doubt);
    }
    // Bare words still bind to the title alone.
    reset_options();
    EXPECT_EQ(parse_text("Calc Extra /cla:X").out, "Too many parameters. Ignored \"Extra\"\n");
    EXPECT_STREQ(options.windowname, "Calc");
    reset_options();
    parse_text("/class Notepad");
    EXPECT_STREQ(options.windowname, "notepad");
}

// The help request lists the first eleven rows; its summary covers them all.
TEST(ParseSwitches, HelpListsTheFirstRowsAndSummarisesEveryRowGiven) {
    reset_options();
    ParseOutcome o = parse_text("/strict /wait:9 /nogone /??");
    EXPECT_EQ(o.out, std::string(kShortListing) + "\n/strict \n/wait=9\n/nogone \n");
}

TEST(ParseSwitches, LowersTheTypedNameInPlaceButNotTheValue) {
    reset_options();
    parse_text("/show NotePad /WINDOWNAME:MiXed");
    EXPECT_STREQ(options.windowname, "MiXed");
}

TEST(ParseSwitches, UnknownSwitchEndingAtSlashIsPrintedWithoutWhatFollows) {
    reset_options();
    ParseOutcome o = parse_text("/abc/def/show");
    EXPECT_EQ(o.out, "Unknown command line parameter abc\nUnknown command line parameter def\n");
    EXPECT_EQ(o.result, "abc");
    EXPECT_EQ(describe_options(), "title=<null> dook=0 id=1 flags=001000000");
}

TEST(ParseSwitches, PresetTextTargetTakesNoPositionalParameter) {
    reset_options();
    char preset[] = "Preset";
    options.windowname = preset;
    ParseOutcome o = parse_text("abc");
    EXPECT_EQ(o.out, "Too many parameters. Ignored \"abc\"\n");
    EXPECT_STREQ(options.windowname, "Preset");
}

TEST(ParseSwitches, ParsesEveryEntryAndNeverJoinsTokensAcrossThem) {
    reset_options();
    char program[] = "quillex", a1[] = "/win:\"ab", a2[] = "cd\" /hide";
    char *args[] = {program, a1, a2};
    testing::internal::CaptureStdout();
    parse_switches(3, args, quillex_switches);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Too many parameters. Ignored \"cd\"\"\n");
    EXPECT_EQ(describe_options(), "title=\"ab\" dook=0 id=1 flags=010000000");
}

struct HelpCase {
    const char *text;
    const char *listing; // kShortListing or kLongListing
    const char *summary;
    const char *state;
};

TEST(ParseSwitches, HelpRequestPrintsListingAndSummaryOfTheWholeParse) {
    const HelpCase cases[] = {
        {"??", kShortListing, "", "title=<null> dook=0 id=1 flags=000000000"},
        {"/??", kShortListing, "", "title=<null> dook=0 id=1 flags=000000000"},
        {"???", kLongListing, "", "title=<null> dook=0 id=1 flags=000000000"},
        {"/???", kLongListing, "", "title=<null> dook=0 id=1 flags=000000000"},
        {"??x", kShortListing, "/windowname=x\n", "title=\"x\" dook=0 id=1 flags=000000000"},
        {"??? /win:abc /dook:3 /nohide", kLongListing,
         "/windowname=abc\n/dook=3\n/nohide \n", "title=\"abc\" dook=1 id=3 flags=000000000"},
        {"/win:abc /dook:3 /nohide /??", kShortListing,
         "/windowname=abc\n/dook=3\n/nohide \n", "title=\"abc\" dook=1 id=3 flags=000000000"},
        {"/no /??", kShortListing, "/nodook=1\n", "title=<null> dook=0 id=1 flags=000000000"},
        // "??" after a blank belongs to the typed name "show ??", so "/???" decides.
        {"/-show /??? /show ??", kLongListing, "/show \n",
         "title=<null> dook=0 id=1 flags=001000000"},
        {"/dook:-5 /-log /log /-log /??", kShortListing, "/dook=-5\n/nolog \n",
         "title=<null> dook=1 id=-5 flags=000000000"},
    };
    for (const HelpCase &c : cases) {
        SCOPED_TRACE(c.text);
        reset_options();
        ParseOutcome o = parse_text(c.text);
        EXPECT_EQ(o.out, std::string(c.listing) + "\n" + c.summary);
        EXPECT_EQ(o.result, "<null>");
        EXPECT_EQ(describe_options(), c.state);
    }
}

} // namespace
