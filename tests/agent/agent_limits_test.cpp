/* The agent's pass where settings are missing or too large, paths do not fit and memory runs
 * out: each ends in its documented text, without a connection it should not make. */
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "sim/sim.h"
#include "support/agent_office.h"
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

TEST_F(Limits, ALostHomeWithoutItsServerOrShareIsNotReconnected)
{
    for (const char *missing : {"HOST_MACHINE", "VORNEX_HOME_SHARE"}) {
        SetUp();
        connect_s = false;
        local.erase(missing);
        run();
        EXPECT_EQ(outcome(), "box " + TEXT_OTHER) << missing;
        EXPECT_TRUE(sim_net_attempts().empty()) << missing;
        EXPECT_EQ(local_value("SHARED_VORNEX_HOME"), "S:\\VORNEX") << missing;
    }
}

/* A value longer than the buffer it is read into is refused, never cut. */
TEST_F(Limits, ValuesLargerThanTheirBuffersAreRefused)
{
    const std::string big(1100, 'x');
    struct row {
        const char *what;
        const char *machine; /* null: the workstation */
        const char *key;
        const char *name;
        std::string expected;
    } rows[] = {
        {"SHARED_VORNEX_HOME", NULL, VORNEX, "SHARED_VORNEX_HOME", "box " + TEXT_OTHER},
        {"CLIENTNAME", NULL, VORNEX, "CLIENTNAME", "box " + TEXT_22},
        {"the local TIMESTAMP", NULL, VORNEX, "TIMESTAMP", "box " + TEXT_29},
        {"the server's main home", "VXSERVER", VORNEX, "VORNEX_HOME", "box " + TEXT_29},
        {"the clients share", "VXSERVER", HOME_KEY, "CLIENTS_DIR_SHARE", "box " + TEXT_29},
    };
    for (const row &r : rows) {
        SetUp();
        if (r.machine == NULL)
            local[r.name] = big;
        else
            server[r.key][r.name] = big;
        run();
        EXPECT_EQ(outcome(), r.expected) << r.what;
    }
}

/* Every path the pass composes, where it can be too long: refused, nothing opened under a cut
 * name. */
TEST_F(Limits, PathsThatDoNotFitAreRefused)
{
    struct row {
        const char *what;
        size_t home_length; /* of S:\NNN..., the shared home */
    } rows[] = {
        /* S:\home\vxinst\VCSM.ini passes 259 characters. */
        {"the settings file", 250},
        /* The settings file fits, S:\home\vxinst\clients.ini does not. */
        {"the client list", 242},
    };
    for (const row &r : rows) {
        SetUp();
        std::string dir(r.home_length - 3, 'h');
        home_files(apps, dir);
        local["SHARED_VORNEX_HOME"] = "S:\\" + dir;
        run();
        EXPECT_EQ(outcome(), "box " + TEXT_OTHER) << r.what;
    }

    /* From the network the installer lies beside the agent: a short agent name in a directory
     * that fills the path leaves no room for vxinst.exe. */
    SetUp();
    std::string dir(259 - 3 - 6, 'n'); /* N:\dir\K.EXE is 259 characters */
    std::filesystem::create_directories(host + "/n");
    sim_add_drive('N', DRIVE_REMOTE, (host + "/n").c_str());
    module = "N:\\" + dir + "\\K.EXE";
    run();
    EXPECT_EQ(outcome(), "box " + TEXT_OTHER);

    /* The agent's own path longer than a path buffer: it could only be cut, so it is not used. */
    SetUp();
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
