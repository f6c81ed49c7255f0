/* The agent's pass where settings are missing or too large, paths do not fit and memory runs
 * out: each ends in its documented text, without a connection it should not make. */
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "agent/agent.h"
#include "platform/path.h"
#include "sim/sim.h"

namespace {

const std::string TEXT_22 =
    "The Vornex Client Software Agent was unable to find your local Vornex home. Please run the "
    "agent KLAGENT.EXE from the shared Vornex home designated by your system administrator.";
const std::string TEXT_29 =
    "The Vornex Client Software Agent has experienced unexpected difficulties. Please make sure "
    "you are connected to the appropriate server and volume and try again, or ask your system "
    "administrator for help.";
const std::string TEXT_OTHER =
    "An unknown error has occured, please try again or contact Vornex Support";
const std::string TEXT_MEMORY =
    "There is not enough memory to run the Vornex Installer. Please make more memory available.";

const char *const VORNEX = "SOFTWARE\\VORNEX";
const char *const HOME_KEY = "SOFTWARE\\VORNEX\\VORNEX_HOMES\\OFFICE";

void put(const std::string &path, const std::string &text)
{
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

std::string local_value(const char *name)
{
    std::string data;
    DWORD type = 0;
    if (!sim_reg_get(NULL, HKEY_LOCAL_MACHINE, VORNEX, name, &type, &data))
        return "<missing>";
    return data.substr(0, data.find('\0'));
}

/* A file server VXSERVER with the shared home on share APPS (S:\VORNEX) and the clients
 * directory on share CLIENTS; a workstation PC1 with the agent on C:. */
class Limits : public ::testing::Test {
protected:
    std::string host;
    std::string apps;
    std::map<std::string, std::string> local;
    std::map<std::string, std::map<std::string, std::string>> server;
    std::string module = "C:\\VORNEX\\KLAGENT.EXE";
    std::vector<std::string> args; /* the agent's own */
    bool connect_s = true;

    void SetUp() override
    {
        sim_reset();
        host = sim_make_temp_dir();
        apps = host + "/apps";
        std::filesystem::create_directories(host + "/c/VORNEX");
        std::filesystem::create_directories(host + "/clients");
        home_files("VORNEX");
        local = {{"VORNEX_HOME", "C:\\VORNEX"}, {"SHARED_VORNEX_HOME", "S:\\VORNEX"},
                 {"CLIENTNAME", "PC1"},         {"HOST_MACHINE", "VXSERVER"},
                 {"VORNEX_HOME_SHARE", "APPS"}, {"TIMESTAMP", "3.2.2"}};
        server = {{VORNEX, {{"VORNEX_HOME", "D:\\VORNEX"}}},
                  {HOME_KEY, {{"VORNEX_HOME", "D:\\APPS\\VORNEX"}, {"CLIENTS_DIR_SHARE", "CLIENTS"}}}};
    }

    void TearDown() override
    {
        EXPECT_EQ(sim_open_keys(), 0);
        EXPECT_EQ(sim_open_files(), 0);
        EXPECT_EQ(sim_live_blocks(), 0);
        sim_fault_clear();
        sim_reset();
        sim_cleanup_temp_dirs();
    }

    /* A shared home in the directory dir of share APPS, with its settings and client list. */
    void home_files(const std::string &dir)
    {
        put(apps + "/" + dir + "/bin/vxinst.exe", "MZ");
        put(apps + "/" + dir + "/vxinst/VCSM.ini",
            "[Vornex]\r\nHOST_MACHINE=VXSERVER\r\nBACKUP=OFFICE\r\n");
        put(apps + "/" + dir + "/vxinst/clients.ini", "[PC1]\r\nTIMESTAMP=3.2.3\r\n");
    }

    void run()
    {
        sim_add_drive('C', DRIVE_FIXED, (host + "/c").c_str());
        sim_add_machine("VXSERVER");
        sim_add_share("VXSERVER", "APPS", apps.c_str());
        sim_add_share("VXSERVER", "CLIENTS", (host + "/clients").c_str());
        if (connect_s)
            sim_connect('S', "\\\\VXSERVER\\APPS");
        for (const auto &v : local)
            sim_reg_set_text(NULL, HKEY_LOCAL_MACHINE, VORNEX, v.first.c_str(), v.second.c_str());
        for (const auto &k : server)
            for (const auto &v : k.second)
                sim_reg_set_text("VXSERVER", HKEY_LOCAL_MACHINE, k.first.c_str(), v.first.c_str(),
                                 v.second.c_str());
        sim_set_module_path(module.c_str());
        std::vector<const char *> argv{module.c_str()};
        for (const std::string &a : args)
            argv.push_back(a.c_str());
        sim_set_args((int)argv.size(), argv.data());
        char tail[] = "";
        EXPECT_EQ(WinMain((HINSTANCE)(uintptr_t)0x400000, NULL, tail, SW_SHOWNORMAL), 0);
    }

    /* "current", "exec <command line>" or "box <text>", one line per event. */
    static std::string outcome()
    {
        std::string r;
        for (const sim_exec &e : sim_execs())
            r += (r.empty() ? "" : "\n") + std::string("exec ") + e.command_line;
        for (const sim_message_box &b : sim_message_boxes())
            r += (r.empty() ? "" : "\n") + std::string("box ") + b.text;
        return r.empty() ? "current" : r;
    }
};

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
        home_files(dir);
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
    args = {std::string(20000, 'a')};
    sim_fault_mem_above(10000);
    run();
    EXPECT_GE(sim_fault_fired(SIM_MEM), 1u);
    EXPECT_EQ(outcome(), "box " + TEXT_MEMORY);
    EXPECT_TRUE(sim_execs().empty());
}

} // namespace
