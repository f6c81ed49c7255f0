/* The simulation's spine: call log, fault switches, heap accounting, reset. */
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "platform/os.h"
#include "sim/sim.h"
#include "sim/sim_internal.h"
#include "support/workstation.h"

namespace {

TEST(CoreLog, RecordsEveryCallWithArgumentsAndResult)
{
    std::string dir = ws_fresh();
    EXPECT_TRUE(sim_calls().empty()) << "reset empties the log";
    std::string path = ws_join(dir, "a\"b.txt");
    crt_access(path.c_str(), 0);
    GetDriveTypeA("C:\\");
    ASSERT_EQ(sim_calls().size(), 2u);
    EXPECT_EQ(sim_calls()[0].name, "_access");
    EXPECT_EQ(sim_calls()[0].args, "\"C:\\\\vxtest\\\\a\\\"b.txt\", 0");
    EXPECT_EQ(sim_calls()[0].result, "-1 errno 22"); /* '"' is refused in names */
    EXPECT_EQ(sim_calls()[1].name, "GetDriveTypeA");
    EXPECT_EQ(sim_calls()[1].result, "3");

    FILE *trace = tmpfile();
    ASSERT_NE(trace, nullptr);
    sim_set_trace(trace);
    GetDriveTypeA("Q:\\");
    sim_set_trace(NULL);
    GetDriveTypeA("Q:\\");
    rewind(trace);
    char line[200] = {0};
    ASSERT_NE(fgets(line, sizeof line, trace), nullptr);
    EXPECT_STREQ(line, "GetDriveTypeA(\"Q:\\\\\") = 1\n");
    EXPECT_EQ(fgets(line, sizeof line, trace), nullptr) << "tracing stopped";
    fclose(trace);
}

TEST(CoreLog, QuotesTextSafely)
{
    struct Row {
        const char *name;
        const char *text;
        std::string shown;
    } rows[] = {
        {"null", NULL, "NULL"},
        {"plain", "abc", "\"abc\""},
        {"escapes", "a\\b\"c\r\n\t", "\"a\\\\b\\\"c\\r\\n\\t\""},
        {"control and high bytes", "\x01\xff", "\"\\x01\\xFF\""},
        {"resource id", MAKEINTRESOURCEA(32514), "#32514"},
    };
    for (const Row &row : rows)
        EXPECT_EQ(simi_q(row.text), row.shown) << row.name;
    EXPECT_EQ(simi_num(-5), "-5");
    EXPECT_EQ(simi_hex(0xC001), "0xC001");
}

TEST(CoreFaults, NthTransientAndPersistent)
{
    ws_fresh();
    struct Row {
        const char *name;
        unsigned nth;
        bool persistent;
        const char *pattern; /* per call: f fails, . passes */
    } rows[] = {
        {"first, once", 1, false, "f....."},
        {"third, once", 3, false, "..f..."},
        {"second on", 2, true, ".fffff"},
        {"off", 0, false, "......"},
    };
    for (const Row &row : rows) {
        sim_fault_clear();
        sim_fault(SIM_REGISTRY, row.nth, row.persistent, 0);
        std::string got;
        for (int i = 0; i < 6; i++) {
            int error = 0;
            got += simi_fault(SIM_REGISTRY, 5, &error) ? 'f' : '.';
            if (got.back() == 'f') {
                EXPECT_EQ(error, 5) << row.name << ": the family's default";
            }
        }
        EXPECT_EQ(got, row.pattern) << row.name;
        unsigned fails = (unsigned)std::count(got.begin(), got.end(), 'f');
        EXPECT_EQ(sim_fault_fired(SIM_REGISTRY), fails) << row.name;
        EXPECT_EQ(sim_calls_in_family(SIM_REGISTRY), 6u) << row.name;
        EXPECT_EQ(sim_calls_in_family(SIM_NETWORK), 0u) << row.name;
    }
    /* nth counts from when the switch is set, and the switch's own error wins. */
    sim_fault_clear();
    simi_fault(SIM_DELETE, 5, NULL);
    sim_fault(SIM_DELETE, 1, false, 32);
    int error = 0;
    EXPECT_TRUE(simi_fault(SIM_DELETE, 5, &error));
    EXPECT_EQ(error, 32);
}

TEST(CoreFaults, EveryFileFamilyReachesItsCalls)
{
    std::string dir = ws_fresh();
    std::string file = ws_join(dir, "f.txt");
    ASSERT_TRUE(ws_write_file(file, "data"));

    sim_fault(SIM_OPEN, 1, false, 0);
    errno = 0;
    EXPECT_EQ(crt_fopen(file.c_str(), "rb"), nullptr);
    EXPECT_EQ(errno, EACCES);
    sim_fault(SIM_OPEN, 1, false, ERROR_SHARING_VIOLATION);
    SetLastError(0);
    EXPECT_EQ(_lopen(file.c_str(), OF_READ), HFILE_ERROR);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SHARING_VIOLATION);

    FILE *f = crt_fopen(file.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    sim_fault(SIM_READ, 1, false, 0);
    EXPECT_EQ(getc(f), EOF);
    EXPECT_TRUE(ferror(f)) << "a read fault sets the error indicator";
    EXPECT_FALSE(feof(f));
    sim_fault(SIM_CLOSE, 1, false, 0);
    EXPECT_EQ(fclose(f), EOF);
    EXPECT_EQ(sim_open_files(), 0) << "a failed close still releases the stream";

    /* A write fault at the final flush: the bytes sat in the buffer until fclose. */
    f = crt_fopen(file.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(fwrite("new", 1, 3, f), 3u);
    sim_fault(SIM_WRITE, 1, false, 0);
    EXPECT_EQ(fclose(f), EOF) << "the lost flush is reported";
    std::string bytes;
    ASSERT_TRUE(ws_read_file(file, &bytes));
    EXPECT_EQ(bytes, "");

    sim_fault(SIM_RENAME, 1, false, 0);
    errno = 0;
    EXPECT_EQ(crt_rename(file.c_str(), ws_join(dir, "g.txt").c_str()), -1);
    EXPECT_EQ(errno, EACCES);
    sim_fault(SIM_RENAME, 1, false, 0);
    SetLastError(0);
    EXPECT_FALSE(MoveFileExA(file.c_str(), ws_join(dir, "g.txt").c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    sim_fault(SIM_DELETE, 1, false, 0);
    EXPECT_FALSE(DeleteFileA(file.c_str()));
    sim_fault(SIM_DELETE, 1, false, 0);
    EXPECT_EQ(crt_remove(file.c_str()), -1);
    EXPECT_TRUE(ws_file_exists(file)) << "faulted calls change nothing";
    EXPECT_EQ(sim_open_files(), 0);
}

TEST(CoreFaults, HeapSwitchesAndLiveBlocks)
{
    ws_fresh();
    long before = sim_live_blocks();
    void *a = crt_malloc(10);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(sim_live_blocks(), before + 1);
    sim_fault(SIM_MEM, 1, false, 0);
    errno = 0;
    EXPECT_EQ(crt_malloc(10), nullptr);
    EXPECT_EQ(errno, ENOMEM);
    void *b = crt_malloc(10);
    EXPECT_NE(b, nullptr) << "transient: the next one succeeds";
    sim_fault_mem_above(100);
    EXPECT_EQ(crt_malloc(101), nullptr);
    void *c = crt_malloc(100);
    EXPECT_NE(c, nullptr);
    EXPECT_EQ(sim_fault_fired(SIM_MEM), 2u);
    crt_free(a);
    crt_free(b);
    crt_free(c);
    crt_free(NULL);
    EXPECT_EQ(sim_live_blocks(), before);
}

TEST(CoreReset, ForgetsTheWorld)
{
    std::string dir = ws_fresh();
    std::string file = ws_join(dir, "f.txt");
    ASSERT_TRUE(ws_write_file(file, "x"));
    MessageBoxA(NULL, "t", "c", MB_OK);
    WinExec("C:\\nosuch.exe", SW_SHOWNORMAL);
    sim_fault(SIM_OPEN, 1, true, 0);
    SetLastError(77);
    sim_reset();
    EXPECT_TRUE(sim_calls().empty());
    EXPECT_TRUE(sim_message_boxes().empty());
    EXPECT_TRUE(sim_execs().empty());
    EXPECT_EQ(sim_calls_in_family(SIM_OPEN), 0u);
    EXPECT_EQ(GetLastError(), 0u);
    EXPECT_EQ(sim_host_path("C:\\vxtest"), "") << "no drives after a reset";
}

} // namespace
