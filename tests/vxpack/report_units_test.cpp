/* report's parts: times, ages, CSV fields and the judging of a report's bytes. */
#include <gtest/gtest.h>

#include "report_files.h"
#include "report_print.h"
#include "report_time.h"

using namespace vxpack;

TEST(ReportTime, OnlyTheAgentsFormatAndRealDaysParse)
{
    struct row {
        const char *text;
        bool ok;
    } rows[] = {
        {"2026-03-02 08:15:00", true},  {"2024-02-29 23:59:59", true},
        {"2000-02-29 00:00:00", true},  {"1601-01-01 00:00:00", true},
        {"9999-12-31 23:59:59", true},  {"2023-02-29 00:00:00", false},
        {"1900-02-29 00:00:00", false}, {"2026-04-31 00:00:00", false},
        {"2026-13-01 00:00:00", false}, {"2026-00-10 00:00:00", false},
        {"2026-03-00 00:00:00", false}, {"2026-03-02 24:00:00", false},
        {"2026-03-02 08:60:00", false}, {"2026-03-02 08:15:60", false},
        {"1600-12-31 23:59:59", false}, {"2026-03-02T08:15:00", false},
        {"2026-03-02 08:15", false},    {"2026-03-02 08:15:00 ", false},
        {"2026-3-2 8:15:00", false},    {"+026-03-02 08:15:00", false},
        {"", false},                    {"yesterday", false},
    };
    for (const row &r : rows) {
        int64_t s = -7;
        EXPECT_EQ(report_time_parse(r.text, &s), r.ok) << r.text;
        if (!r.ok) {
            EXPECT_EQ(s, -7) << r.text << ": untouched after a failure";
        }
    }
    int64_t a = 0, b = 0, c = 0;
    ASSERT_TRUE(report_time_parse("2024-02-28 12:00:00", &a));
    ASSERT_TRUE(report_time_parse("2024-03-01 12:00:00", &b));
    ASSERT_TRUE(report_time_parse("2025-01-01 00:00:00", &c));
    EXPECT_EQ(b - a, 2 * 86400); /* through a leap day */
    int64_t d = 0;
    ASSERT_TRUE(report_time_parse("2024-01-01 00:00:00", &d));
    EXPECT_EQ(c - d, 366 * 86400);
}

TEST(ReportTime, AgesInWords)
{
    struct row {
        int64_t seconds;
        const char *words;
    } rows[] = {
        {-1, "in the future"},   {0, "just now"},         {59, "just now"},
        {60, "1 min ago"},       {3599, "59 min ago"},    {3600, "1 h ago"},
        {2 * 86400 - 1, "47 h ago"}, {2 * 86400, "2 days ago"}, {400 * 86400, "400 days ago"},
    };
    for (const row &r : rows)
        EXPECT_EQ(report_ago(r.seconds), r.words) << r.seconds;
}

TEST(ReportTime, NowComesFromTheVariableWhenSet)
{
    int64_t now = 0, want = 0;
    std::string text, error;
    setenv(REPORT_NOW_VARIABLE, "2026-03-03 09:00:00", 1);
    ASSERT_TRUE(report_now(&now, &text, &error));
    ASSERT_TRUE(report_time_parse("2026-03-03 09:00:00", &want));
    EXPECT_EQ(now, want);
    EXPECT_EQ(text, "2026-03-03 09:00:00");
    setenv(REPORT_NOW_VARIABLE, "tomorrow", 1);
    EXPECT_FALSE(report_now(&now, &text, &error));
    EXPECT_NE(error.find("VXPACK_NOW=tomorrow"), std::string::npos) << error;
    unsetenv(REPORT_NOW_VARIABLE);
    ASSERT_TRUE(report_now(&now, &text, &error)) << error;
    EXPECT_EQ(text.size(), 19u);
}

TEST(ReportCsv, FieldsQuotedAsASpreadsheetReadsThem)
{
    struct row {
        const char *text, *field;
    } rows[] = {
        {"", ""},
        {"PC1", "PC1"},
        {"3,2,2", "\"3,2,2\""},
        {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {" lead", "\" lead\""},
        {"trail ", "\"trail \""},
        {"=HYPERLINK(\"x\")", "\"'=HYPERLINK(\"\"x\"\")\""},
        {"+1", "'+1"},
        {"-1", "'-1"},
        {"@SUM(A1)", "'@SUM(A1)"},
        {"a\nb", "a?b"},  /* no control character reaches the file */
        {"a\x1b[2Jb", "a?[2Jb"},
        {"installer started", "installer started"},
    };
    for (const row &r : rows)
        EXPECT_EQ(report_csv_field(r.text), r.field) << r.text;
}

TEST(ReportFiles, NamesOfClientsReports)
{
    struct row {
        const char *file, *client;
    } rows[] = {
        {"PC1.INI", "PC1"},      {"pc1.ini", "pc1"},     {"Desk 7.Ini", "Desk 7"},
        {"A.B.INI", "A.B"},      {".INI", ""},           {"PC1.TXT", ""},
        {"PC1", ""},             {"PC1.INI.bak", ""},    {"CON.INI", ""},
        {"com1.ini", ""},        {"LPT9.INI", ""},       {"NUL.txt.INI", ""},
        {"A*B.INI", ""},         {"A:B.INI", ""},        {"END..INI", ""},
        {"END .INI", ""},        {"TAB\t.INI", ""},      {"A|B.INI", ""},
    };
    for (const row &r : rows)
        EXPECT_EQ(report_client_of(r.file), r.client) << r.file;
    EXPECT_EQ(report_client_of(std::string(251, 'N') + ".INI"), std::string(251, 'N'));
    EXPECT_EQ(report_client_of(std::string(252, 'N') + ".INI"), "");
}

TEST(ReportFiles, EachDamageIsNamed)
{
    const std::string good = "[Last pass]\r\nTime=2026-03-02 08:15:00\r\nResult=current\r\n";
    struct row {
        const char *what;
        std::string bytes;
        const char *problem; /* a part of it; "" for a sound report */
    } rows[] = {
        {"sound", good, ""},
        {"sound, LF lines, blanks and a Ctrl-Z", "[ last pass ]\nTime = 2026-03-02 08:15:00\n"
                                                 "Result=\"current\"\n\x1a", ""},
        {"sound with a failure", good + "[Last failure]\nTime=2026-03-01 08:00:00\n"
                                        "Result=failed\n", ""},
        {"empty", "", "has no [Last pass] section"},
        {"only a failure", "[Last failure]\nTime=2026-03-01 08:00:00\nResult=failed\n",
         "has no [Last pass] section"},
        {"binary", std::string("MZ\x90\0\x03\0\0\0", 8), "binary"},
        {"a NUL inside", good + std::string("Computer=A\0B\n", 13), "binary"},
        {"an escape", good + "Computer=\x1b[31mred\n", "binary"},
        {"no time", "[Last pass]\nResult=current\n", "[Last pass] has no Time"},
        {"bad time", "[Last pass]\nTime=yesterday\nResult=current\n",
         "[Last pass] Time \"yesterday\" is not a time"},
        {"unknown result", "[Last pass]\nTime=2026-03-02 08:15:00\nResult=fine\n",
         "[Last pass] Result \"fine\" is none the agent writes"},
        {"bad failure time", good + "[Last failure]\nTime=2026-02-30 08:00:00\nResult=failed\n",
         "[Last failure] Time \"2026-02-30 08:00:00\""},
        {"long line", good + "Computer=" + std::string(REPORT_LINE_MAX, 'x') + "\n",
         "line 4 is longer than 1100 bytes"},
        {"long last line, no line end", good + std::string(REPORT_LINE_MAX + 1, ';'),
         "line 4 is longer"},
        {"too large", good + std::string(REPORT_FILE_MAX, '\n'), "is larger than"},
    };
    for (const row &r : rows) {
        report_file f{};
        f.name = "PC1.INI";
        report_judge(r.bytes, &f);
        EXPECT_EQ(f.client, "PC1") << r.what;
        if (r.problem[0] == '\0') {
            EXPECT_EQ(f.problem, "") << r.what;
        } else {
            EXPECT_NE(f.problem.find(r.problem), std::string::npos) << r.what << ": "
                                                                    << f.problem;
        }
    }
    report_file f{};
    f.name = "PC1.INI";
    report_judge(good + "Line=" + std::string(REPORT_LINE_MAX - 5, 'x') + "\n", &f);
    EXPECT_EQ(f.problem, "") << "a line of exactly the limit is a report's";
    report_judge("[Last pass]\nTime=2026-03-02 08:15:00\nResult=message\nStatus=27\nMessage=27\n"
                 "Server stamp=3.2.2\n", &f);
    EXPECT_EQ(f.last.status, "27");
    EXPECT_EQ(f.last.message, "27");
    EXPECT_EQ(f.last.server_stamp, "3.2.2");
    EXPECT_EQ(f.last.stamp, "") << "a missing key reads empty";
    f.name = "notes.txt";
    report_judge("[Last pass]\n", &f);
    EXPECT_NE(f.problem.find("CLIENTNAME.INI"), std::string::npos);
}
