// The simulated profile calls where the simulation decides: faults and the Windows directory.
#include <gtest/gtest.h>

#include "sim/sim.h"
#include "support/workstation.h"

namespace {

TEST(SimProfile, FaultSwitchFailsWritesOnly)
{
    std::string dir = ws_fresh();
    std::string file = ws_join(dir, "a.ini");
    ASSERT_TRUE(ws_write_file(file, "[S]\r\nA=1\r\n"));
    struct Row {
        const char *what, *key, *value;
        int error;
        DWORD reported;
    } rows[] = {
        {"write", "A", "2", ERROR_DISK_FULL, ERROR_DISK_FULL},
        {"delete key", "A", NULL, 0, ERROR_ACCESS_DENIED},
        {"delete section", NULL, NULL, ERROR_WRITE_PROTECT, ERROR_WRITE_PROTECT},
    };
    for (const Row &r : rows) {
        sim_fault(SIM_PROFILE, 1, false, r.error);
        EXPECT_FALSE(WritePrivateProfileStringA("S", r.key, r.value, file.c_str())) << r.what;
        EXPECT_EQ(r.reported, GetLastError()) << r.what;
        sim_fault(SIM_PROFILE, 1, false, r.error);
        EXPECT_FALSE(WriteProfileStringA("S", r.key, r.value)) << r.what << " (WIN.INI)";
        std::string bytes;
        EXPECT_TRUE(ws_read_file(file, &bytes));
        EXPECT_EQ("[S]\r\nA=1\r\n", bytes) << r.what << ": file unchanged";
    }
    char buf[8];
    sim_fault(SIM_PROFILE, 1, true, 0);
    EXPECT_EQ(1u, GetPrivateProfileStringA("S", "A", "", buf, sizeof buf, file.c_str()))
        << "reads are not in the family";
    EXPECT_FALSE(ws_file_exists("C:\\WINDOWS\\win.ini"));
}

TEST(SimProfile, WinIniFollowsTheWindowsDirectory)
{
    std::string dir = ws_fresh();
    sim_set_windows_dir(dir.c_str());
    ASSERT_TRUE(WriteProfileStringA("Vornex", "K", "v"));
    std::string bytes;
    ASSERT_TRUE(ws_read_file(ws_join(dir, "WIN.INI"), &bytes));
    EXPECT_EQ("[Vornex]\r\nK=v\r\n", bytes);
    ASSERT_TRUE(WritePrivateProfileStringA("S", "K", "v", "other.ini"));
    EXPECT_TRUE(ws_file_exists(ws_join(dir, "other.ini")));
    char buf[8];
    EXPECT_EQ(1u, GetPrivateProfileStringA("Vornex", "K", "", buf, sizeof buf, NULL))
        << "no file name is WIN.INI";
}

} // namespace
