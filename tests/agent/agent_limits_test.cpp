/* The agent's pass where settings are missing or too large, paths do not fit and memory runs
 * out: each ends in its documented text, without a connection it should not make. */
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "sim/sim.h"
#include "support/agent_office.h"
#include "support/rows.h"
#include "support/workstation.h"

namespace {

const std::string TEXT_MEMORY =
    "There is not enough memory to run the Vornex Installer. Please make more memory available.";

using Limits = Office;

/* A shared home in the directory dir of share APPS, with its settings and client list. */
void home_files(const std::string &apps, const std::string &dir)
{
    put(apps + "/" + dir + "/bin/vxinst.exe", ws_program_image());
    put(apps + "/" + dir + "/vxinst/VCSM.ini",
        "[Vornex]\r\nHOST_MACHINE=VXSERVER\r\nBACKUP=OFFICE\r\n");
    put(apps + "/" + dir + "/vxinst/clients.ini", "[PC1]\r\nTIMESTAMP=3.2.3\r\n");
}

/* A lost home is reconnected only with both its server and its share known. */
struct lost_home_row {
    const char *name; /* the setting that is missing */
};
const lost_home_row LOST_HOME_ROWS[] = {{"HOST_MACHINE"}, {"VORNEX_HOME_SHARE"}};
class LostHomeWithout : public OfficeRows<lost_home_row> {
};
TEST_P(LostHomeWithout, IsNotReconnected)
{
    connect_s = false;
    local.erase(GetParam().name);
    run();
    EXPECT_EQ(outcome(), "box " + TEXT_OTHER);
    EXPECT_TRUE(sim_net_attempts().empty());
    EXPECT_EQ(local_value("SHARED_VORNEX_HOME"), "S:\\VORNEX");
}
VX_ROWS(LostHomeWithout, LOST_HOME_ROWS);

/* A value longer than the buffer it is read into is refused, never cut. */
struct big_value_row {
    const char *name;    /* where the value is */
    const char *machine; /* null: the workstation */
    const char *key;
    const char *value_name;
    std::string expected;
};
const big_value_row BIG_VALUE_ROWS[] = {
    {"SHARED_VORNEX_HOME", NULL, VORNEX, "SHARED_VORNEX_HOME", "box " + TEXT_OTHER},
    {"CLIENTNAME", NULL, VORNEX, "CLIENTNAME", "box " + TEXT_22},
    {"the local TIMESTAMP", NULL, VORNEX, "TIMESTAMP", "box " + TEXT_29},
    {"the server's main home", "VXSERVER", VORNEX, "VORNEX_HOME", "box " + TEXT_29},
    {"the clients share", "VXSERVER", HOME_KEY, "CLIENTS_DIR_SHARE", "box " + TEXT_29},
};
class ValueLargerThanItsBuffer : public OfficeRows<big_value_row> {
};
TEST_P(ValueLargerThanItsBuffer, IsRefused)
{
    const big_value_row &r = GetParam();
    const std::string big(1100, 'x');
    if (r.machine == NULL)
        local[r.value_name] = big;
    else
        server[r.key][r.value_name] = big;
    run();
    EXPECT_EQ(outcome(), r.expected);
}
VX_ROWS(ValueLargerThanItsBuffer, BIG_VALUE_ROWS);

/* Every path the pass composes, where it can be too long: refused, nothing opened under a cut
 * name. */
struct long_home_row {
    const char *name;   /* the path that does not fit */
    size_t home_length; /* of S:\NNN..., the shared home */
};
const long_home_row LONG_HOME_ROWS[] = {
    /* S:\home\vxinst\VCSM.ini passes 259 characters. */
    {"the settings file", 250},
    /* The settings file fits, S:\home\vxinst\clients.ini does not. */
    {"the client list", 242},
};
class PathInALongHome : public OfficeRows<long_home_row> {
};
TEST_P(PathInALongHome, IsRefused)
{
    std::string dir(GetParam().home_length - 3, 'h');
    home_files(apps, dir);
    local["SHARED_VORNEX_HOME"] = "S:\\" + dir;
    run();
    EXPECT_EQ(outcome(), "box " + TEXT_OTHER);
}
VX_ROWS(PathInALongHome, LONG_HOME_ROWS);

/* From the network the installer lies beside the agent: a short agent name in a directory that
 * fills the path leaves no room for vxinst.exe. */
TEST_F(Limits, NoRoomForTheInstallerBesideTheAgentIsRefused)
{
    std::string dir(259 - 3 - 6, 'n'); /* N:\dir\K.EXE is 259 characters */
    std::filesystem::create_directories(host + "/n");
    sim_add_drive('N', DRIVE_REMOTE, (host + "/n").c_str());
    module = "N:\\" + dir + "\\K.EXE";
    run();
    EXPECT_EQ(outcome(), "box " + TEXT_OTHER);
}

/* The agent's own path longer than a path buffer: it could only be cut, so it is not used. */
TEST_F(Limits, AnAgentPathLongerThanAPathBufferIsNotUsed)
{
    module = "C:\\" + std::string(300, 'm') + "\\KLAGENT.EXE";
    run();
    EXPECT_EQ(outcome(), "box " + TEXT_29);
    EXPECT_TRUE(sim_net_attempts().empty());
}

TEST_F(Limits, NoMemoryForTheInstallersCommandLine)
{
    /* Only a block as large as the command line fails: the pass gets that far. */
    local["TIMESTAMP"] = "3.2.2.1";
    sim_fault_mem_above(10000);
    run({std::string(20000, 'a')});
    EXPECT_GE(sim_fault_fired(SIM_MEM), 1u);
    sim_fault_clear();
    EXPECT_EQ(outcome(), "box " + TEXT_MEMORY);
    EXPECT_TRUE(sim_execs().empty());
}

} // namespace
