/* vxpack's parts: failure words, the progress bar's text, the .ini scan and stamp reading. */
#include <gtest/gtest.h>

#include <cstring>

#include "check_ini.h"
#include "pack_report.h"
#include "sim/sim.h"
#include "stores/store.h"

using namespace vxpack;

TEST(PackReport, WordsNameTheSideAndKeepUnknownNumbers)
{
    EXPECT_EQ(report_words(STATUS_NOT_FOUND, REPORT_SOURCE), "does not exist");
    EXPECT_EQ(report_words(STATUS_NOT_FOUND, REPORT_TARGET), "its folder does not exist");
    EXPECT_NE(report_words(STATUS_WRITE_ERROR, REPORT_TARGET).find("full"), std::string::npos);
    EXPECT_NE(report_words(STATUS_FILE_CORRUPT, REPORT_SOURCE).find("not a compressed file"),
              std::string::npos);
    EXPECT_EQ(report_words(77, REPORT_SOURCE), "the operation failed (status 77)");
    EXPECT_EQ(report_side_of(STATUS_WRITE_ERROR), REPORT_TARGET);
    EXPECT_EQ(report_side_of(STATUS_READ_ERROR), REPORT_SOURCE);
}

TEST(PackReport, SizesForPeople)
{
    EXPECT_EQ(report_size(0), "0 bytes");
    EXPECT_EQ(report_size(10239), "10239 bytes");
    EXPECT_EQ(report_size(10240), "10.0 KB");
    EXPECT_EQ(report_size(1457664), "1423.5 KB");
    EXPECT_EQ(report_size(10485760), "10.0 MB");
}

TEST(PackReport, SizesAsPeopleWriteThem)
{
    struct row {
        const char *text;
        uint64_t bytes; /* 0: refused */
    } rows[] = {
        {"1457664", 1457664}, {"20K", 20480},    {"20k", 20480},     {"1.5M", 1572864},
        {"1440K", 1474560},   {"360K", 362496},  {"720K", 730112},   {"720KB", 730112},
        {"1.2M", 1213952},    {"1.44M", 1457664}, {"1.44MB", 1457664}, {"2.88M", 2931712},
        {"12Q", 0},           {"", 0},           {"0", 0},           {"-5", 0},
    };
    for (const row &r : rows) {
        uint64_t bytes = 0;
        EXPECT_EQ(vxpack::parse_size(r.text, &bytes), r.bytes != 0) << r.text;
        if (r.bytes != 0) {
            EXPECT_EQ(bytes, r.bytes) << r.text;
        }
    }
}

TEST(PackProgress, LineShowsShareRateAndTimeLeft)
{
    struct row {
        uint64_t done, total;
        double seconds;
        const char *expected;
    } rows[] = {
        {0, 1000, 0.0, "F [....................] 0%  0 bytes of 1000 bytes"},
        {500, 1000, 1.0, "F [##########..........] 50%  500 bytes of 1000 bytes  500 bytes/s  0:01 left"},
        {1000, 1000, 2.0, "F [####################] 100%  1000 bytes of 1000 bytes  500 bytes/s"},
        {2000, 1000, 2.0, "F [####################] 100%  2000 bytes of 1000 bytes  1000 bytes/s"},
        {4096, 0, 1.0, "F  4096 bytes  4096 bytes/s"},
        {10, 7200000, 0.1, "F [....................] 0%  10 bytes of 7031.2 KB"},
    };
    for (const row &r : rows) {
        std::string line = progress_line("F", r.done, r.total, r.seconds, 100);
        ASSERT_EQ(line.size(), 100u) << r.expected;
        while (!line.empty() && line.back() == ' ')
            line.pop_back();
        EXPECT_EQ(line, r.expected);
    }
    /* Too long for the terminal: the end, where the numbers are, stays. */
    std::string narrow = progress_line(std::string(200, 'x'), 1, 2, 0.0, 40);
    EXPECT_EQ(narrow.size(), 40u);
    EXPECT_EQ(narrow.substr(narrow.size() - 18), "1 bytes of 2 bytes");
}

TEST(CheckIni, ScansAsTheProfileFunctionsRead)
{
    std::string text = "; comment\r\n"
                       "stray=before any section\n"
                       "  [ First ]  trailing\r\n"
                       "TIMESTAMP = 3.2.2 \n"
                       "no equals sign\n"
                       "\n"
                       "[Second]\rKey=\"quoted\"\x1a\r\n"
                       "[unclosed\n"
                       "A=1";
    std::vector<ini_section> s = ini_scan(text);
    ASSERT_EQ(s.size(), 2u);
    EXPECT_EQ(s[0].name, "First");
    EXPECT_EQ(s[0].line, 3);
    ASSERT_EQ(s[0].keys.size(), 2u);
    EXPECT_EQ(s[0].keys[0].name, "TIMESTAMP");
    EXPECT_EQ(s[0].keys[0].value, "3.2.2");
    EXPECT_EQ(s[0].keys[0].line, 4);
    EXPECT_TRUE(s[0].keys[0].has_value);
    /* A lookup finds a line without "=" too, and reads it as empty. */
    EXPECT_EQ(s[0].keys[1].name, "no equals sign");
    EXPECT_FALSE(s[0].keys[1].has_value);
    EXPECT_EQ(s[1].name, "Second");
    EXPECT_EQ(s[1].line, 7);
    ASSERT_EQ(s[1].keys.size(), 3u);
    EXPECT_EQ(s[1].keys[0].value, "\"quoted\"");
    EXPECT_EQ(s[1].keys[0].line, 8);
    EXPECT_EQ(s[1].keys[1].name, "[unclosed");
    EXPECT_FALSE(s[1].keys[1].has_value);
    EXPECT_EQ(s[1].keys[2].name, "A");
    EXPECT_EQ(s[1].keys[2].line, 10);
    EXPECT_TRUE(ini_same("Accounts", "ACCOUNTS"));
    EXPECT_FALSE(ini_same("Accounts", "Account"));
    EXPECT_FALSE(ini_same("\xe4", "\xc4"));
}

TEST(CheckIni, StampComparedLength)
{
    const size_t WHOLE = std::string::npos;
    struct row {
        const char *stamp;
        size_t length;
    } rows[] = {
        {"3.2.2", WHOLE},   {"3,2,2", WHOLE},      {" 7", WHOLE},       {"3. 2", WHOLE},
        {"2024-03-01", 5},  {"3.2.2 beta", 7},    {"3..2", 3},         {"v3", 1},
        {"1.2a", 4},        {"3.2 x", 5},          {"", 0},
    };
    for (const row &r : rows)
        EXPECT_EQ(stamp_compared_length(r.stamp), r.length) << r.stamp;
}

/* check reads a client list once and looks its sections up in an index; the agent asks the
 * profile calls. Both must give the same answer for every section of every list. */
TEST(CheckIni, IndexReadsAsTheProfileCalls)
{
    const char *files[] = {
        "[A]\nTIMESTAMP=1\n[a]\nTIMESTAMP=2\n",
        "[B]\nTIMESTAMP\nTIMESTAMP=3\n",
        "[C]\nTIMESTAMP=\"\"\n[D]\nTIMESTAMP='x y'\n",
        "[ E ]\n  timestamp  =\t 4 \x1a\n[F]\nTIMESTAMP=\"unbalanced\n",
        "stray=0\n[G]\x0b\nTIMESTAMP=\x0c" "5\n",
        "[H] junk\nTIMESTAMP=6\n[H\nTIMESTAMP=7\n",
        "[I]\r\n\r\nOTHER=1\r\nTIMESTAMP = a=b \r\n[J]\n;TIMESTAMP=8\nTIMESTAMP=9",
        "[K]\nTIMESTAMP=\"x\"y\"\n[L]\nTIMESTAMP=\"'\n[M]\nX=1\n[M]\nTIMESTAMP=2\n",
        "",
    };
    const char *sections[] = {"A", "a", "B", "C", "D", "E", " E ", "F", "G", "H", "I",
                              "J", "K", "L", "M", "Z", "stray"};
    sim_reset();
    std::string host = sim_make_temp_dir();
    ASSERT_TRUE(sim_add_drive('C', DRIVE_FIXED, host.c_str()));
    for (const char *text : files) {
        {
            FILE *f = fopen((host + "/T.INI").c_str(), "wb");
            ASSERT_NE(f, nullptr);
            fwrite(text, 1, strlen(text), f);
            fclose(f);
        }
        std::vector<ini_section> scanned = ini_scan(text);
        ini_index index = ini_index_of(scanned);
        for (const char *section : sections) {
            SCOPED_TRACE(std::string(text) + " / [" + section + "]");
            char key[] = "TIMESTAMP";
            std::vector<char> buf(65535);
            status_t rc = store_get_value(key, "C:\\T.INI", section, buf.data(),
                                          (uint16_t)buf.size(), 0);
            size_t at = ini_find(index, section);
            std::string value;
            bool found = at != std::string::npos && ini_value(scanned[at], "timestamp", &value);
            EXPECT_EQ(rc == STATUS_OK, found && !value.empty());
            if (rc == STATUS_OK) {
                EXPECT_EQ(value, buf.data());
            }
        }
    }
    sim_reset();
    sim_cleanup_temp_dirs();
}
