// Match modes, value formats and the help listing, on small tables.
#include <gtest/gtest.h>

#include <vector>

#include "parse_helpers.h"

namespace {

// One flag byte per row of the small tables below.
unsigned char f[8];
int32_t n[4];
char *text;

void reset_small() {
    memset(f, 0, sizeof f);
    n[0] = n[1] = n[2] = n[3] = 77;
    text = nullptr;
}

std::string flags() {
    std::string s;
    for (unsigned char b : f) s += char('0' + b);
    return s;
}

#define ROW(name, mode, flag, format, t0, t1, t2, t3) \
    {name, mode, flag, format, {t0, t1, t2, t3}}
#define END ROW(nullptr, 0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr)

const SwitchDescriptor modes_table[] = {
    ROW("exact", MATCH_EXACT, &f[0], nullptr, nullptr, nullptr, nullptr, nullptr),
    ROW("short", 3, &f[1], nullptr, nullptr, nullptr, nullptr, nullptr),
    ROW("ninechars", 9, &f[2], nullptr, nullptr, nullptr, nullptr, nullptr),
    ROW("never", -7, &f[3], nullptr, nullptr, nullptr, nullptr, nullptr),
    ROW("ab", 5, &f[4], nullptr, nullptr, nullptr, nullptr, nullptr),
    ROW("Upper", MATCH_LONGFX, &f[5], nullptr, nullptr, nullptr, nullptr, nullptr),
    END,
};

TEST(MatchModes, DecideWhichTypedNamesFit) {
    struct {
        const char *text, *flags, *out;
    } cases[] = {
        {"/exact", "10000000", ""},
        {"/exac", "00000000", "Unknown command line parameter exac\n"},
        {"/exactly", "00000000", "Unknown command line parameter exactly\n"},
        {"/sho", "01000000", ""},
        {"/shorter", "01000000", ""},
        {"/shx", "00000000", "Unknown command line parameter shx\n"},
        {"/sh", "00000000", "Unknown command line parameter sh\n"},
        {"/ninechar", "00000000", "Unknown command line parameter ninechar\n"},
        {"/ninecharsplus", "00100000", ""},
        {"/never", "00000000", "Unknown command line parameter never\n"},
        {"/ab", "00001000", ""},
        {"/ab:1", "00000000", "Unknown command line parameter ab:1\n"},
        // Mode 5 beyond the name's length: only "ab" at the very end fits.
        {"/ab /exact", "10000000", "Unknown command line parameter ab\n"},
        {"/upper", "00000000", "Unknown command line parameter upper\n"},
        {"/Upper", "00000000", "Unknown command line parameter upper\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        reset_small();
        ParseOutcome o = parse_text(c.text, modes_table);
        EXPECT_EQ(flags(), c.flags);
        EXPECT_EQ(o.out, c.out);
    }
}

TEST(MatchModes, ListingNamesClampTheModeValue) {
    const MatchMode modes[] = {-9, -3, -2, -1, 0, 1, 5, 6, 9, 1000};
    const char *names[] = {"LVAR",   "LVAR",   "LVAR",   "LONGFX", "EXACT",
                           "SHORT1", "SHORT5", "SHORTn", "SHORTn", "SHORTn"};
    for (size_t i = 0; i < sizeof modes / sizeof modes[0]; ++i)
        EXPECT_STREQ(match_mode_name(modes[i]), names[i]) << modes[i];
}

const SwitchDescriptor format_table[] = {
    ROW("pair", MATCH_EXACT, &f[0], "%ld,%ld", &n[0], &n[1], nullptr, nullptr),
    ROW("pair", MATCH_EXACT, &f[1], "%ld", &n[2], nullptr, nullptr, nullptr),
    ROW("pct", MATCH_LONGFX, &f[2], "%ld%%", &n[0], nullptr, nullptr, nullptr),
    ROW("five", MATCH_LONGFX, &f[3], "%d%d%d%d%d", &n[0], &n[1], &n[2], &n[3]),
    ROW("vfive", MATCH_LVAR, &f[4], "%d%d%d%d%d", &n[0], &n[1], &n[2], &n[3]),
    ROW("big", MATCH_LONGFX, &f[5], "%S", &text, nullptr, nullptr, nullptr),
    ROW("opt", MATCH_LVAR, &f[6], "%s", &text, nullptr, nullptr, nullptr),
    ROW("zero", MATCH_LONGFX, &f[7], "none", nullptr, nullptr, nullptr, nullptr),
    END,
};

TEST(ValueFormats, ConvertFallThroughAndStore) {
    struct {
        const char *text, *flags;
        int32_t n0, n1, n2;
        const char *text_value, *out;
    } cases[] = {
        {"/pair:3,4", "10000000", 3, 4, 77, nullptr, ""},
        // One field only: the first row rejects but keeps what it stored.
        {"/pair:5", "01000000", 5, 77, 5, nullptr, ""},
        {"/pair:x", "00000000", 77, 77, 77, nullptr, "Unknown command line parameter pair:x\n"},
        {"/pct:9", "00000000", 9, 77, 77, nullptr, "Unknown command line parameter pct:9\n"},
        {"/five:1", "00000000", 77, 77, 77, nullptr, "Unknown command line parameter five:1\n"},
        // "2" is bound to the first free text row; the rest are surplus.
        {"/vfive:1 2 3 4 5", "00001100", 77, 77, 77, "2",
         "Too many parameters. Ignored \"3\"\n"
         "Too many parameters. Ignored \"4\"\nToo many parameters. Ignored \"5\"\n"},
        {"/big:Hello", "00000100", 77, 77, 77, "Hello", ""},
        {"/opt", "00000010", 77, 77, 77, nullptr, ""},
        {"/opt=v", "00000010", 77, 77, 77, "v", ""},
        {"/zero:whatever", "00000001", 77, 77, 77, nullptr, ""},
        {"Bare", "00000100", 77, 77, 77, "Bare", ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        reset_small();
        ParseOutcome o = parse_text(c.text, format_table);
        EXPECT_EQ(flags(), c.flags);
        EXPECT_EQ(n[0], c.n0);
        EXPECT_EQ(n[1], c.n1);
        EXPECT_EQ(n[2], c.n2);
        EXPECT_STREQ(text, c.text_value);
        EXPECT_EQ(o.out, c.out);
    }
}

TEST(ValueFormats, EveryConversionStoresExactlyFourBytes) {
    // Guard bytes around each target catch a conversion that stores 8 bytes.
    struct Guarded {
        int32_t before, value, after;
    } g[4];
    for (Guarded &x : g) x = {-1, 5, -1};
    const char *formats[] = {"%ld %lu %lld %jd", "%hhd %hd %zu %td", "%lx %o %i %n",
                             "%f %lf %Lf %p"};
    for (const char *format : formats) {
        SCOPED_TRACE(format);
        void *targets[4] = {&g[0].value, &g[1].value, &g[2].value, &g[3].value};
        EXPECT_GE(scan_switch_value("-1 2 3 4", format, targets), 3);
        for (const Guarded &x : g) {
            EXPECT_EQ(x.before, -1);
            EXPECT_EQ(x.after, -1);
        }
    }
}

TEST(ValueFormats, ConversionsLandAsTheir32BitValues) {
    int32_t t[4] = {9, 9, 9, 9};
    void *targets[4] = {&t[0], &t[1], &t[2], &t[3]};
    EXPECT_EQ(scan_switch_value("-7 300 ff 12", "%ld %hhu %lx %n", targets), 3);
    EXPECT_EQ(t[0], -7);
    EXPECT_EQ(t[1], 44); // 300 as an unsigned char
    EXPECT_EQ(t[2], 255);
    EXPECT_EQ(t[3], 10); // characters read before "%n"
    EXPECT_EQ(scan_switch_value("", "%ld", targets), -1);
    EXPECT_EQ(scan_switch_value("q", "%ld", targets), 0);
    EXPECT_EQ(t[0], -7);
}

// How far the conversions read, by which /strict tells a value read whole;
// -1 when they did not all succeed.
TEST(ValueFormats, CountedConversionsTellHowFarTheyRead) {
    const struct {
        const char *text, *format;
        int got, consumed;
    } cases[] = {
        {"30", "%ld", 1, 2},       {"30s", "%ld", 1, 2},       {" 7", "%ld", 1, 2},
        {"q", "%ld", 0, -1},       {"", "%ld", -1, -1},        {"10,20", "%ld,%ld", 2, 5},
        {"10,", "%ld,%ld", 1, -1}, {"1002A/x", "%lx", 1, 5},   {"5%", "%ld%%", 1, 2},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.text) + " " + c.format);
        int32_t t[4] = {0, 0, 0, 0};
        void *targets[4] = {&t[0], &t[1], &t[2], &t[3]};
        int consumed = 99;
        EXPECT_EQ(scan_switch_value_counted(c.text, c.format, targets, &consumed), c.got);
        EXPECT_EQ(consumed, c.consumed);
    }
}

TEST(ValueFormats, TextConversionInAConvertedRowStaysInsideItsTarget) {
    int32_t t[3] = {-1, 0, -1};
    void *targets[4] = {&t[1], nullptr, nullptr, nullptr};
    EXPECT_EQ(scan_switch_value("a-very-long-word-indeed", "%s", targets), 1);
    EXPECT_EQ(memcmp(&t[1], "a-ve", 4), 0);
    EXPECT_EQ(t[0], -1);
    EXPECT_EQ(t[2], -1);
}

TEST(ValueFormats, PrintingWidensEachValueForItsConversion) {
    int32_t a = -3, b = 255, c = 7;
    const void *targets[4] = {&a, &b, &c, nullptr};
    testing::internal::CaptureStdout();
    print_switch_value("%ld|%lx|%05lld|%d|%%|%hhd|%n", targets);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "-3|ff|00007|0|%|0|");
}

TEST(ValueFormats, PrintingTakesStarsFromTheValuesAndStaysInBounds) {
    int32_t width = 4, value = 7;
    const void *targets[4] = {&width, &value, nullptr, nullptr};
    testing::internal::CaptureStdout();
    print_switch_value("[%*ld][%-------------------------------------------------------*d]", targets);
    // The second conversion's width and value are past the four targets: 0.
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "[   7][0]");
}

TEST(HelpListing, ToolTableColumnsLineUp) {
    for (const char *listing : {kShortListing, kLongListing}) {
        const char *line = listing;
        while (*line) {
            const char *end = strchr(line, '\n');
            std::string l(line, end);
            EXPECT_EQ(l.find("- "), 24u) << l;
            if (listing == kLongListing) {
                EXPECT_EQ(l.rfind('('), 72u) << l;
            }
            line = end + 1;
        }
    }
}

const SwitchDescriptor odd_table[] = {
    ROW("bare", MATCH_EXACT, &f[0], nullptr, nullptr, nullptr, nullptr, nullptr),
    ROW("averyveryverylongswitchnamexxx", MATCH_EXACT, &f[1], nullptr, nullptr, nullptr,
        nullptr, SWITCH_HELP("- Long")),
    ROW("nodash", MATCH_EXACT, &f[2], nullptr, nullptr, nullptr, nullptr,
        SWITCH_HELP("Hide window")),
    ROW("longhelp", 2, &f[3], nullptr, nullptr, nullptr, nullptr,
        SWITCH_HELP("- This help text is a little longer than forty-eight")),
    ROW("big", MATCH_LVAR, &f[4], "%S", &text, nullptr, nullptr, nullptr),
    END,
};

TEST(HelpListing, OddRowsFollowTheColumnRules) {
    reset_small();
    ParseOutcome o = parse_text("/big:Hi ???", odd_table);
    EXPECT_EQ(o.out,
              "/bare" + std::string(21, ' ') + std::string(46, '.') + "(EXACT)\n" +
                  "/averyveryverylongswitchnamexxx   - Long " + std::string(41, '.') +
                  "(EXACT)\n" + "/nodash" + std::string(19, ' ') + std::string(46, '.') +
                  "(EXACT)\n" +
                  "/longhelp               - This help text is a little longer than "
                  "forty-eight (SHORT2)\n" +
                  "/big=%S" + std::string(19, ' ') + std::string(46, '.') + "(LVAR)\n\n" +
                  "/big=Hi\n");
}

TEST(HelpListing, TextRowGivenWithoutValueShowsNothingAfterTheEqualsSign) {
    reset_small();
    ParseOutcome o = parse_text("/big /??", odd_table);
    EXPECT_EQ(o.out.substr(o.out.find("\n\n") + 2), "/big=\n");
}

TEST(HelpListing, EmptyTableOnlyAnswersTheSwitchForm) {
    const SwitchDescriptor empty[] = {END};
    EXPECT_EQ(parse_text("??", empty).out, "Too many parameters. Ignored \"??\"\n");
    EXPECT_EQ(parse_text("/??", empty).out, "\n");
}

TEST(SeenState, RowsAfterTheHundredthWorkButAreNotSummarised) {
    static unsigned char many_flags[101];
    static char names[101][8];
    std::vector<SwitchDescriptor> rows;
    for (int i = 0; i < 101; ++i) {
        snprintf(names[i], sizeof names[i], "s%d", i);
        rows.push_back(ROW(names[i], MATCH_EXACT, &many_flags[i], nullptr, nullptr, nullptr,
                           nullptr, nullptr));
    }
    rows.push_back(END);
    ParseOutcome o = parse_text("/s99 /s100 /??", rows.data());
    EXPECT_EQ(many_flags[99], 1);
    EXPECT_EQ(many_flags[100], 1);
    EXPECT_EQ(o.out.substr(o.out.find("\n\n") + 2), "/s99 \n");
}

} // namespace
