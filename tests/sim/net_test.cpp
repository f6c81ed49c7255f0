// The simulated network connections with the errors Windows documents (Wine has none to measure).
#include <gtest/gtest.h>

#include <string.h>
#include <sys/stat.h>

#include "sim/sim.h"
#include "support/workstation.h"

namespace {

class SimNet : public ::testing::Test {
protected:
    void SetUp() override
    {
        ws_fresh();
        share_dir = sim_make_temp_dir();
        mkdir((share_dir + "/Sub").c_str(), 0777);
        sim_add_share("SRV", "vol", share_dir.c_str());
        sim_add_share("SRV", "secret", share_dir.c_str());
        sim_deny_share("SRV", "secret");
        sim_connect('Y', "\\\\srv\\vol");
        sim_remember('R', "\\\\srv\\vol");
    }
    static DWORD add(const char *local, const char *remote, DWORD type = RESOURCETYPE_DISK,
                     DWORD flags = 0)
    {
        NETRESOURCEA res;
        memset(&res, 0, sizeof res);
        res.dwType = type;
        res.lpLocalName = (LPSTR)local;
        res.lpRemoteName = (LPSTR)remote;
        return WNetAddConnection2A(&res, NULL, NULL, flags);
    }
    std::string share_dir;
};

TEST_F(SimNet, AddConnectionRefusals)
{
    struct Row {
        const char *what, *local, *remote;
        DWORD type, rc;
    } rows[] = {
        {"local drive", "C:", "\\\\SRV\\vol", RESOURCETYPE_DISK, ERROR_ALREADY_ASSIGNED},
        {"connected letter", "y:", "\\\\SRV\\vol", RESOURCETYPE_DISK, ERROR_ALREADY_ASSIGNED},
        {"remembered letter", "R:", "\\\\SRV\\vol", RESOURCETYPE_DISK,
         ERROR_DEVICE_ALREADY_REMEMBERED},
        {"letter looked at first", "R:", "\\\\NOSUCH\\vol", RESOURCETYPE_DISK,
         ERROR_DEVICE_ALREADY_REMEMBERED},
        {"unknown server", "X:", "\\\\NOSUCH\\vol", RESOURCETYPE_DISK, ERROR_BAD_NETPATH},
        {"unknown share", "X:", "\\\\SRV\\nope", RESOURCETYPE_DISK, ERROR_BAD_NET_NAME},
        {"denied share", "X:", "\\\\SRV\\secret", RESOURCETYPE_DISK, ERROR_ACCESS_DENIED},
        {"missing directory below the share", "X:", "\\\\SRV\\vol\\nope", RESOURCETYPE_DISK,
         ERROR_BAD_NET_NAME},
        {"not a UNC name", "X:", "SRV\\vol", RESOURCETYPE_DISK, ERROR_BAD_NET_NAME},
        {"no colon", "X", "\\\\SRV\\vol", RESOURCETYPE_DISK, ERROR_BAD_DEVICE},
        {"not a letter", "1:", "\\\\SRV\\vol", RESOURCETYPE_DISK, ERROR_BAD_DEVICE},
        {"a printer", "X:", "\\\\SRV\\vol", 2, 66},
    };
    for (const Row &r : rows)
        EXPECT_EQ(r.rc, add(r.local, r.remote, r.type)) << r.what;
    ASSERT_EQ(sizeof rows / sizeof rows[0], sim_net_attempts().size());
    EXPECT_EQ(2u, sim_connections().size()) << "nothing connected";
    EXPECT_EQ("", sim_host_path("X:\\"));
}

TEST_F(SimNet, AddConnectionMapsTheLetter)
{
    ASSERT_TRUE(ws_write_file("Y:\\f.txt", "shared"));
    ASSERT_EQ(NO_ERROR, add("x:", "\\\\srv\\VOL", RESOURCETYPE_DISK, 1));
    std::string text;
    EXPECT_TRUE(ws_read_file("X:\\F.TXT", &text));
    EXPECT_EQ("shared", text);
    EXPECT_EQ((UINT)DRIVE_REMOTE, GetDriveTypeA("X:\\"));
    ASSERT_EQ(NO_ERROR, add("W:", "\\\\SRV\\vol\\sub"));
    EXPECT_EQ(share_dir + "/Sub", sim_host_path("W:\\"));
    const sim_net_attempt &a = sim_net_attempts().front();
    EXPECT_EQ("x:", a.local);
    EXPECT_EQ(1u, a.flags);
    EXPECT_FALSE(a.password);
    bool found = false;
    for (const sim_connection &c : sim_connections())
        if (c.letter == 'X') {
            found = true;
            EXPECT_EQ("\\\\srv\\VOL", c.remote);
            EXPECT_FALSE(c.remembered_only);
        }
    EXPECT_TRUE(found);
    EXPECT_EQ(ERROR_ALREADY_ASSIGNED, add("X:", "\\\\SRV\\vol")) << "now taken";
}

TEST_F(SimNet, GetConnection)
{
    sim_add_drive('N', DRIVE_REMOTE, share_dir.c_str()); // typed remote, no connection
    const std::string remote = "\\\\srv\\vol";
    struct Row {
        const char *what, *local;
        DWORD length, rc, length_after;
        bool written;
    } rows[] = {
        {"room to spare", "y:", 261, NO_ERROR, 261, true},
        {"exact fit", "Y:", 10, NO_ERROR, 10, true},
        {"one byte short", "Y:", 9, ERROR_MORE_DATA, 10, false},
        {"length 0", "Y:", 0, ERROR_MORE_DATA, 10, false},
        {"local drive", "C:", 261, ERROR_NOT_CONNECTED, 261, false},
        {"remote-typed drive without connection", "N:", 261, ERROR_NOT_CONNECTED, 261, false},
        {"remembered only", "R:", 261, ERROR_CONNECTION_UNAVAIL, 261, false},
        {"unassigned", "Q:", 261, ERROR_BAD_DEVICE, 261, false},
        {"no colon", "Y", 261, ERROR_BAD_DEVICE, 261, false},
        {"a path", "Y:\\", 261, ERROR_BAD_DEVICE, 261, false},
    };
    for (const Row &r : rows) {
        char buf[300];
        memset(buf, 0x5A, sizeof buf);
        DWORD length = r.length;
        EXPECT_EQ(r.rc, WNetGetConnectionA(r.local, buf, &length)) << r.what;
        EXPECT_EQ(r.length_after, length) << r.what;
        if (r.written) {
            EXPECT_EQ(remote, std::string(buf)) << r.what;
        } else {
            EXPECT_EQ(0x5A, buf[0]) << r.what << ": buffer untouched";
        }
        EXPECT_EQ(0x5A, buf[r.written ? remote.size() + 1 : 0]) << r.what;
    }
}

TEST_F(SimNet, FaultSwitch)
{
    char buf[64];
    DWORD length = sizeof buf;
    sim_fault(SIM_NETWORK, 1, true, ERROR_BAD_NETPATH);
    EXPECT_EQ(ERROR_BAD_NETPATH, WNetGetConnectionA("Y:", buf, &length));
    EXPECT_EQ(ERROR_BAD_NETPATH, add("X:", "\\\\SRV\\vol"));
    EXPECT_EQ(2u, sim_fault_fired(SIM_NETWORK));
    sim_fault_clear();
    sim_fault(SIM_NETWORK, 2, false, 0);
    EXPECT_EQ(NO_ERROR, WNetGetConnectionA("Y:", buf, &length));
    EXPECT_EQ(ERROR_NO_NETWORK, add("X:", "\\\\SRV\\vol")) << "the family's usual error";
    EXPECT_EQ("", sim_host_path("X:\\"));
}

} // namespace

namespace {

// Every query is recorded with the device asked about and its result, in order.
TEST_F(SimNet, RecordsEveryQuery)
{
    char remote[64];
    DWORD len = sizeof remote;
    EXPECT_EQ(WNetGetConnectionA("y:", remote, &len), (DWORD)NO_ERROR);
    len = sizeof remote;
    EXPECT_EQ(WNetGetConnectionA("R:", remote, &len), (DWORD)ERROR_CONNECTION_UNAVAIL);
    EXPECT_EQ(WNetGetConnectionA(NULL, remote, &len), (DWORD)ERROR_BAD_DEVICE);
    const std::vector<sim_net_query> &q = sim_net_queries();
    ASSERT_EQ(q.size(), 3u);
    EXPECT_EQ(q[0].local, "y:");
    EXPECT_EQ(q[0].result, (DWORD)NO_ERROR);
    EXPECT_EQ(q[1].local, "R:");
    EXPECT_EQ(q[1].result, (DWORD)ERROR_CONNECTION_UNAVAIL);
    EXPECT_EQ(q[2].local, "");
    EXPECT_EQ(q[2].result, (DWORD)ERROR_BAD_DEVICE);
    EXPECT_EQ(add("x:", "\\\\srv\\vol", 2), (DWORD)66); // RESOURCETYPE_PRINT
    ASSERT_EQ(sim_net_attempts().size(), 1u);
    EXPECT_EQ(sim_net_attempts()[0].type, 2u);
    ws_fresh();
    EXPECT_TRUE(sim_net_queries().empty()) << "a reset forgets them";
}

} // namespace
