/* The agent's pass on a simulated office: what is started, what is shown, what is connected. */
#include <gtest/gtest.h>

#include <string.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "agent/agent.h"
#include "platform/path.h"
#include "sim/sim.h"
#include "support/workstation.h"
#include "support/agent_office.h"
#include "support/rows.h"

namespace {

const std::string CONFIGURE = "exec S:\\VORNEX\\bin\\vxinst.exe /configure";

/* ---- Registration and currency ------------------------------------------------------------ */

struct stamp_row {
    const char *name, *local_stamp, *client_list, *new_client_list;
    std::string expected;
};
const stamp_row STAMP_ROWS[] = {
    {"equal", "3.2.2", "[PC1]\r\nTIMESTAMP=3.2.2\r\n", "", "current"},
    {"server newer", "3.2.2", "[PC1]\r\nTIMESTAMP=3.2.3\r\n", "", CONFIGURE},
    {"client newer", "3.2.3", "[PC1]\r\nTIMESTAMP=3.2.2\r\n", "", CONFIGURE},
    {"commas separate like stops", "3.2.2", "[PC1]\r\nTIMESTAMP=3,2,2\r\n", "", "current"},
    {"1.10 is not 1.1", "1.10", "[PC1]\r\nTIMESTAMP=1.1\r\n", "", CONFIGURE},
    /* Every component counts, however many there are. */
    {"four components equal", "3.2.2.7", "[PC1]\r\nTIMESTAMP=3.2.2.7\r\n", "", "current"},
    {"the fourth component differs", "3.2.2.1", "[PC1]\r\nTIMESTAMP=3.2.2.0\r\n", "", CONFIGURE},
    {"the sixth component differs", "1.2.3.4.5.6", "[PC1]\r\nTIMESTAMP=1,2,3,4,5,7\r\n", "",
     CONFIGURE},
    {"a fourth component only locally", "3.2.2.0", "[PC1]\r\nTIMESTAMP=3.2.2\r\n", "", CONFIGURE},
    {"only the new-client list", "3.2.2", "[OTHER]\r\nTIMESTAMP=1\r\n",
     "[PC1]\r\nTIMESTAMP=3.2.2\r\n", "current"},
    {"the client list wins", "3.2.2", "[PC1]\r\nTIMESTAMP=3.2.2\r\n", "[PC1]\r\nTIMESTAMP=9\r\n",
     "current"},
    {"empty in the list, none in the new list", "3.2.2", "[PC1]\r\nTIMESTAMP=\r\n", "",
     "box " + TEXT_27},
    {"in neither list", "3.2.2", "[OTHER]\r\nTIMESTAMP=3.2.2\r\n", "[X]\r\nTIMESTAMP=3\r\n",
     "box " + TEXT_27},
    {"client lists missing", "3.2.2", "", "", "box " + TEXT_27},
};
class TimeStamps : public OfficeRows<stamp_row> {
};
TEST_P(TimeStamps, DecideBetweenSilenceAndTheInstaller)
{
    const stamp_row &r = GetParam();
    local["TIMESTAMP"] = r.local_stamp;
    client_list(r.client_list);
    new_client_list(r.new_client_list);
    run();
    EXPECT_EQ(outcome(), r.expected);
}
VX_ROWS(TimeStamps, STAMP_ROWS);

struct missing_row {
    const char *name; /* the local setting that is missing */
    std::string expected;
};
const missing_row MISSING_ROWS[] = {
    {"VORNEX_HOME", "box " + TEXT_22},        {"CLIENTNAME", "box " + TEXT_22},
    {"TIMESTAMP", "box " + TEXT_22},          {"HOST_MACHINE", "box " + TEXT_OTHER},
    {"SHARED_VORNEX_HOME", "box " + TEXT_OTHER}, {"VORNEX_HOME_SHARE", "current"},
};
class MissingLocalSetting : public OfficeRows<missing_row> {
};
TEST_P(MissingLocalSetting, GetsItsText)
{
    local.erase(GetParam().name);
    run();
    EXPECT_EQ(outcome(), GetParam().expected);
}
VX_ROWS(MissingLocalSetting, MISSING_ROWS);

/* The registry-family ordinal (1-based) of the first call named call on the value name with the
 * size given, in the records of a clean run; 0 when there is none. */
unsigned registry_ordinal(const char *call, const char *name, long size)
{
    const std::vector<sim_reg_call> &calls = sim_reg_calls();
    for (size_t i = 0; i < calls.size(); i++)
        if (calls[i].call == call && calls[i].name == name && calls[i].size == size)
            return (unsigned)i + 1;
    return 0;
}

TEST_F(Office, WithoutTheServersTimeStampNothingIsCompared)
{
    /* An empty local time stamp would equal an unread server time stamp. */
    local["TIMESTAMP"] = "";
    build({});
    int32_t current = 7;
    ASSERT_EQ(agent_check_current("C:\\VORNEX", START_LOCAL, &current), STATUS_OK);
    EXPECT_EQ(current, 0);
    /* The read of CLIENTS_DIR after it was stored: the query with the path buffer's size. */
    unsigned nth = registry_ordinal("RegQueryValueExA", "CLIENTS_DIR", PATH_CAP - 1);
    ASSERT_GT(nth, 0u);
    unsigned calls = sim_calls_in_family(SIM_REGISTRY);
    ASSERT_EQ(calls, sim_reg_calls().size());

    next_run("the clean run");
    local["TIMESTAMP"] = "";
    build({});
    sim_fault(SIM_REGISTRY, nth, false, ERROR_ACCESS_DENIED);
    current = 7;
    EXPECT_EQ(agent_check_current("C:\\VORNEX", START_LOCAL, &current), STATUS_ACCESS_DENIED);
    EXPECT_EQ(current, 0);
    for (const sim_reg_call &c : sim_reg_calls())
        EXPECT_NE(c.name, "TIMESTAMP") << c.call;

    /* Whatever registry call fails, a client that is not current is never found current. */
    std::string where = "CLIENTS_DIR unreadable";
    for (unsigned k = 1; k <= calls; k++) {
        next_run(where);
        local["TIMESTAMP"] = "";
        build({});
        sim_fault(SIM_REGISTRY, k, true, 0);
        current = 7;
        status_t rc = agent_check_current("C:\\VORNEX", START_LOCAL, &current);
        where = "registry fault from call " + std::to_string(k) + ", status " + std::to_string(rc);
        EXPECT_EQ(current, 0) << where;
    }
}

TEST_F(Office, ServerTimeStampLookupReportsWhyItFailed)
{
    build({});
    char stamp[1024] = "untouched";
    /* CLIENTS_DIR is not written yet: its lookup's own status. */
    EXPECT_EQ(agent_read_server_timestamp("S:\\VORNEX", "PC1", stamp), STATUS_NOT_FOUND);
    EXPECT_STREQ(stamp, "untouched");
    sim_reg_set_text(NULL, HKEY_LOCAL_MACHINE, VORNEX, "CLIENTS_DIR", "z:\\");
    sim_connect('Z', "\\\\VXSERVER\\CLIENTS");
    EXPECT_EQ(agent_read_server_timestamp("S:\\VORNEX", "PC1", stamp), STATUS_OK);
    EXPECT_STREQ(stamp, "3.2.2");
    EXPECT_EQ(agent_read_server_timestamp("S:\\VORNEX", "NOBODY", stamp), STATUS_VALUE_ABSENT);
    /* A client list whose path does not fit is not read under a cut name. */
    std::string long_home = "S:\\" + std::string(245, 'D');
    EXPECT_EQ(agent_read_server_timestamp(long_home.c_str(), "PC1", stamp), STATUS_INVALID_NAME);
}

/* ---- Start drive, command line, launch ---------------------------------------------------- */

struct start_row {
    const char *name, *module, *shared_home;
    std::vector<std::string> args;
    std::string expected;
};
const start_row START_ROWS[] = {
    {"local, arguments passed on", "C:\\VORNEX\\KLAGENT.EXE", "S:\\VORNEX", {"-a", "b"},
     "exec S:\\VORNEX\\bin\\vxinst.exe -a b /configure"},
    {"network, directory upper-cased", "N:\\Vornex\\Bin\\KLAGENT.EXE", "n:\\vornex", {},
     "exec N:\\VORNEX\\BIN\\vxinst.exe /bootstrap"},
    {"an argument with a blank goes on unquoted", "C:\\VORNEX\\KLAGENT.EXE", "S:\\VORNEX",
     {"two words", "x"}, "exec S:\\VORNEX\\bin\\vxinst.exe two words x /configure"},
    {"network, agent outside the shared home", "N:\\Vornex\\Bin\\KLAGENT.EXE", "S:\\VORNEX",
     {"-q"}, "exec N:\\VORNEX\\BIN\\vxinst.exe -q /bootstrap"},
    {"removable drive", "A:\\KLAGENT.EXE", "S:\\VORNEX", {},
     "exec S:\\VORNEX\\bin\\vxinst.exe /configure"},
    {"CD-ROM", "D:\\KLAGENT.EXE", "S:\\VORNEX", {}, "box " + TEXT_29},
    {"UNC path", "\\\\VXSERVER\\APPS\\VORNEX\\BIN\\KLAGENT.EXE", "S:\\VORNEX", {},
     "box " + TEXT_29},
    /* The platform fills the whole buffer without a terminator: not a path to go by. */
    {"module path longer than its buffer", NULL, "n:\\vornex", {}, "box " + TEXT_29},
};
class StartMode : public OfficeRows<start_row> {
};
TEST_P(StartMode, DecidesTheCommandLine)
{
    const start_row &r = GetParam();
    module = r.module != NULL ? r.module : "N:\\VORNEX\\" + std::string(250, 'B') + "\\KLAGENT.EXE";
    local["SHARED_VORNEX_HOME"] = r.shared_home;
    local["TIMESTAMP"] = "1.0";
    sim_connect('N', "\\\\VXSERVER\\APPS");
    sim_add_drive('A', DRIVE_REMOVABLE, (host + "/c").c_str());
    sim_add_drive('D', DRIVE_CDROM, (host + "/c").c_str());
    run(r.args);
    EXPECT_EQ(outcome(), r.expected);
}
VX_ROWS(StartMode, START_ROWS);

TEST_F(Office, NetworkStartHidesAFailedCheck)
{
    module = "N:\\VORNEX\\BIN\\KLAGENT.EXE";
    local["SHARED_VORNEX_HOME"] = "N:\\VORNEX";
    local["CLIENTNAME"] = "STRANGER";
    sim_connect('N', "\\\\VXSERVER\\APPS");
    run();
    EXPECT_EQ(outcome(), "exec N:\\VORNEX\\BIN\\vxinst.exe /bootstrap");
}

TEST_F(Office, NetworkStartOfACurrentClientStartsNothing)
{
    module = "N:\\VORNEX\\BIN\\KLAGENT.EXE";
    local["SHARED_VORNEX_HOME"] = "N:\\VORNEX";
    sim_connect('N', "\\\\VXSERVER\\APPS");
    run();
    EXPECT_EQ(outcome(), "current");
}

TEST_F(Office, InstallerPathWithABlankIsQuoted)
{
    std::filesystem::rename(apps + "/VORNEX", apps + "/Vornex Share");
    local["SHARED_VORNEX_HOME"] = "S:\\Vornex Share";
    local["TIMESTAMP"] = "1.0";
    put(apps + "/Vornex.exe", ws_program_image()); /* what the unquoted line would start */
    run({"-a", "b c"});
    EXPECT_EQ(outcome(), "exec \"S:\\Vornex Share\\bin\\vxinst.exe\" -a b c /configure");
    ASSERT_EQ(sim_execs().size(), 1u);
    EXPECT_GE(sim_execs()[0].result, 32u);
}

struct line_length_row {
    const char *name;
    size_t line_length;
    bool started;
};
const line_length_row LINE_LENGTH_ROWS[] = {
    {"past the old 1024 cut", 5000, true},
    {"the longest the platform takes", 32766, true},
    {"one more than it takes", 32767, false},
};
class CommandLineLength : public OfficeRows<line_length_row> {
};
TEST_P(CommandLineLength, IsSizedToFitUpToThePlatformLimit)
{
    const line_length_row &r = GetParam();
    const std::string installer = "S:\\VORNEX\\bin\\vxinst.exe";
    const size_t fixed = installer.size() + std::string(" /configure").size();
    local["TIMESTAMP"] = "1.0";
    std::string arg(r.line_length - fixed - 1, 'x');
    run({arg});
    if (r.started) {
        ASSERT_EQ(sim_execs().size(), 1u);
        EXPECT_EQ(sim_execs()[0].command_line, installer + " " + arg + " /configure");
        EXPECT_TRUE(sim_message_boxes().empty());
    } else {
        EXPECT_TRUE(sim_execs().empty());
        EXPECT_EQ(outcome(), "box " + TEXT_SPAWN);
    }
}
VX_ROWS(CommandLineLength, LINE_LENGTH_ROWS);

struct launch_row {
    const char *name;
    UINT result;
    const char *text;
};
const launch_row LAUNCH_ROWS[] = {
    {"out of memory 0", 0,
     "There is not enough memory to run the Vornex Installer. Please make more memory "
     "available."},
    {"file not found 2", 2, "Installer executable file path is incorrect."},
    {"already in use 16", 16, "The Vornex Installer is already in use."},
    {"any other failure 31", 31, "An unknown error occured while spawning the executable."},
};
class LaunchFailure : public OfficeRows<launch_row> {
};
TEST_P(LaunchFailure, ShowsItsText)
{
    local["TIMESTAMP"] = "1.0";
    sim_set_winexec_result("S:\\VORNEX\\bin\\vxinst.exe", GetParam().result);
    run();
    EXPECT_EQ(outcome(), CONFIGURE + "\nbox " + GetParam().text);
}
VX_ROWS(LaunchFailure, LAUNCH_ROWS);

TEST_F(Office, InstallerThatIsNoProgramIsReportedAsALaunchFailure)
{
    put(apps + "/VORNEX/bin/vxinst.exe", "A stand-in for the installer, as text.\r\n");
    local["TIMESTAMP"] = "1.0";
    run();
    EXPECT_EQ(outcome(), CONFIGURE + "\nbox " + TEXT_SPAWN);
    ASSERT_EQ(sim_execs().size(), 1u);
    EXPECT_EQ(sim_execs()[0].result, (UINT)ERROR_BAD_FORMAT);
}

TEST_F(Office, FailedClassRegistrationEndsSilently)
{
    sim_set_register_class_fails(true);
    run();
    EXPECT_EQ(outcome(), "current");
    EXPECT_TRUE(sim_net_attempts().empty());
}

TEST_F(Office, WindowClassAndMessageAreRegistered)
{
    run();
    ASSERT_EQ(sim_window_classes().size(), 1u);
    const sim_window_class &wc = sim_window_classes()[0];
    EXPECT_EQ(wc.name, "KlAgentClass");
    EXPECT_EQ(wc.style, (UINT)(CS_HREDRAW | CS_VREDRAW));
    EXPECT_EQ(wc.cls_extra + wc.wnd_extra, 0);
    EXPECT_EQ(wc.background, (HBRUSH)NULL);
    EXPECT_EQ(wc.proc((HWND)NULL, 0x10, 0, 0), 0);
    EXPECT_EQ(sim_registered_messages(), std::vector<std::string>{"WM_VORNEX_EXIT_INSTALL"});
}

/* ---- Shared home and clients directory ---------------------------------------------------- */

/* How many RegSetValueExA calls wrote the value name. */
size_t writes_of(const char *name)
{
    size_t n = 0;
    for (const sim_reg_call &c : sim_reg_calls())
        n += c.call == "RegSetValueExA" && c.name == name && c.result == ERROR_SUCCESS;
    return n;
}

TEST_F(Office, ReachableHomeIsLeftAloneAndTheClientsShareConnected)
{
    run();
    EXPECT_EQ(outcome(), "current");
    EXPECT_TRUE(attempts_on('S').empty());
    EXPECT_EQ(local_value("SHARED_VORNEX_HOME"), "S:\\VORNEX");
    EXPECT_EQ(local_value("CLIENTS_DIR"), "z:\\");
    EXPECT_EQ(writes_of("SHARED_VORNEX_HOME"), 0u);
    EXPECT_EQ(writes_of("CLIENTS_DIR"), 1u);
    ASSERT_EQ(attempts_on('Z').size(), 1u);
    EXPECT_EQ(attempts_on('Z')[0].remote, "\\\\VXSERVER\\CLIENTS");
    EXPECT_EQ(attempts_on('Z')[0].flags, 0u);
}

TEST_F(Office, LostHomeDriveIsReconnectedAndStored)
{
    connect_s = false;
    local["SHARED_VORNEX_HOME"] = "s:\\VORNEX";
    run();
    EXPECT_EQ(outcome(), "current");
    ASSERT_EQ(attempts_on('S').size(), 1u);
    EXPECT_EQ(attempts_on('S')[0].remote, "\\\\VXSERVER\\APPS");
    /* The root comes back in the letter's case as requested. */
    EXPECT_EQ(local_value("SHARED_VORNEX_HOME"), "s:\\VORNEX");
    EXPECT_EQ(writes_of("SHARED_VORNEX_HOME"), 1u);
}

TEST_F(Office, HomeDriveTakenByAnotherShareIsReported)
{
    connect_s = false;
    sim_add_share("VXSERVER", "OTHER", clients.c_str());
    sim_connect('S', "\\\\VXSERVER\\OTHER");
    run();
    EXPECT_EQ(outcome(), "box " + TEXT_29);
    /* The requested letter alone: no other one is tried for the shared home. */
    std::vector<sim_net_attempt> home;
    for (const sim_net_attempt &a : sim_net_attempts())
        if (a.remote == "\\\\VXSERVER\\APPS")
            home.push_back(a);
    ASSERT_EQ(home.size(), 1u);
    EXPECT_EQ(home[0].local, "S:");
    EXPECT_EQ(home[0].result, (DWORD)ERROR_ALREADY_ASSIGNED);
    EXPECT_EQ(local_value("SHARED_VORNEX_HOME"), "S:\\VORNEX");
    EXPECT_EQ(writes_of("SHARED_VORNEX_HOME"), 0u);
}

struct home_keys_row {
    const char *name;
    std::map<std::string, std::map<std::string, std::string>> keys;
    std::string expected;
};
const home_keys_row HOME_KEYS_ROWS[] = {
    {"home under VORNEX_HOMES of the product key", {}, "current"},
    {"home under SOFTWARE\\VORNEX_HOMES",
     {{VORNEX, {{"VORNEX_HOME", "D:\\VORNEX"}}},
      {"SOFTWARE\\VORNEX_HOMES\\OFFICE",
       {{"VORNEX_HOME", "D:\\APPS\\VORNEX"}, {"CLIENTS_DIR_SHARE", "CLIENTS"}}}},
     "current"},
    {"the main home, letter case aside",
     {{VORNEX, {{"VORNEX_HOME", "d:\\apps\\vornex"}, {"CLIENTS_DIR_SHARE", "CLIENTS"}}},
      {HOME_KEY, {{"VORNEX_HOME", "D:\\APPS\\VORNEX"}, {"CLIENTS_DIR_SHARE", "WRONG"}}}},
     "current"},
    {"no main home", {{HOME_KEY, {{"VORNEX_HOME", "D:\\APPS\\VORNEX"}}}}, "box " + TEXT_22},
    {"home key in neither place", {{VORNEX, {{"VORNEX_HOME", "D:\\VORNEX"}}}}, "box " + TEXT_22},
    {"no CLIENTS_DIR_SHARE",
     {{VORNEX, {{"VORNEX_HOME", "D:\\VORNEX"}}}, {HOME_KEY, {{"VORNEX_HOME", "D:\\X"}}}},
     "box " + TEXT_22},
};
class ServerHomeKeys : public OfficeRows<home_keys_row> {
};
TEST_P(ServerHomeKeys, LeadToTheClientsShare)
{
    const home_keys_row &r = GetParam();
    if (!r.keys.empty())
        server = r.keys;
    run();
    EXPECT_EQ(outcome(), r.expected);
    if (r.expected == "current") {
        EXPECT_EQ(local_value("CLIENTS_DIR"), "z:\\");
    }
}
VX_ROWS(ServerHomeKeys, HOME_KEYS_ROWS);

TEST_F(Office, ClientsDriveAlreadyConnectedIsReused)
{
    sim_connect('Y', "\\\\vxserver\\clients");
    run();
    EXPECT_EQ(outcome(), "current");
    EXPECT_EQ(local_value("CLIENTS_DIR"), "y:\\");
    EXPECT_TRUE(sim_net_attempts().empty());
}

TEST_F(Office, ClientsDriveIsTheNextFreeLetter)
{
    sim_add_share("VXSERVER", "OTHER", clients.c_str());
    sim_connect('Z', "\\\\VXSERVER\\OTHER");
    sim_connect('Y', "\\\\VXSERVER\\OTHER");
    run();
    EXPECT_EQ(outcome(), "current");
    EXPECT_EQ(local_value("CLIENTS_DIR"), "x:\\");
}

struct server_failure_row {
    const char *name;
    const char *vcsm;  /* null: the file is missing */
    const char *fault; /* "unreachable", "denied" or "" */
    std::string expected;
};
const server_failure_row SERVER_FAILURE_ROWS[] = {
    {"settings file missing", NULL, "", "box " + TEXT_OTHER},
    {"no HOST_MACHINE in it", "[Vornex]\r\nBACKUP=OFFICE\r\n", "", "box " + TEXT_OTHER},
    {"empty BACKUP", "[Vornex]\r\nHOST_MACHINE=VXSERVER\r\nBACKUP=\r\n", "", "box " + TEXT_OTHER},
    {"server unreachable", "", "unreachable", "box " + TEXT_29},
    {"clients share denied", "", "denied", "box " + TEXT_27},
};
class HomeSettingsOrServerFailure : public OfficeRows<server_failure_row> {
};
TEST_P(HomeSettingsOrServerFailure, GetsItsText)
{
    const server_failure_row &r = GetParam();
    std::string vcsm = apps + "/VORNEX/vxinst/VCSM.ini";
    if (r.vcsm == NULL)
        std::filesystem::remove(vcsm);
    else if (*r.vcsm)
        put(vcsm, r.vcsm);
    if (std::string(r.fault) == "unreachable")
        sim_set_machine_unreachable("VXSERVER", ERROR_BAD_NETPATH);
    if (std::string(r.fault) == "denied")
        sim_deny_share("VXSERVER", "CLIENTS");
    run();
    EXPECT_EQ(outcome(), r.expected);
}
VX_ROWS(HomeSettingsOrServerFailure, SERVER_FAILURE_ROWS);

struct too_long_row {
    const char *name;
    const char *setting;
    std::string value;
    bool in_settings_file;
};
const too_long_row TOO_LONG_ROWS[] = {
    {"home name too long for its key path", "BACKUP", std::string(240, 'H'), true},
    {"server name too long for a machine name", "HOST_MACHINE", std::string(300, 'M'), true},
    {"clients share name too long", "CLIENTS_DIR_SHARE", std::string(300, 'C'), false},
    {"host too long with the share", "HOST_MACHINE", std::string(300, 'M'), false},
};
class NameThatDoesNotFit : public OfficeRows<too_long_row> {
};
TEST_P(NameThatDoesNotFit, IsRefusedNotCut)
{
    const too_long_row &r = GetParam();
    if (std::string(r.setting) == "CLIENTS_DIR_SHARE")
        server[HOME_KEY]["CLIENTS_DIR_SHARE"] = r.value;
    else if (r.in_settings_file && std::string(r.setting) == "BACKUP")
        put(apps + "/VORNEX/vxinst/VCSM.ini",
            "[Vornex]\r\nHOST_MACHINE=VXSERVER\r\nBACKUP=" + r.value + "\r\n");
    else if (r.in_settings_file)
        put(apps + "/VORNEX/vxinst/VCSM.ini",
            "[Vornex]\r\nHOST_MACHINE=" + r.value + "\r\nBACKUP=OFFICE\r\n");
    else
        local[r.setting] = r.value;
    run();
    EXPECT_EQ(outcome(), "box " + TEXT_29);
    EXPECT_TRUE(sim_net_attempts().empty());
    EXPECT_EQ(local_value("CLIENTS_DIR"), "<missing>");
}
VX_ROWS(NameThatDoesNotFit, TOO_LONG_ROWS);

TEST(AgentHomeKeyPath, ExactFitAndOneCharacterMore)
{
    char path[PATH_CAP] = "untouched";
    std::string fits(PATH_CAP - 1 - strlen("SOFTWARE\\VORNEX\\VORNEX_HOMES\\"), 'h');
    EXPECT_TRUE(agent_home_key_path(fits.c_str(), path, 0));
    EXPECT_EQ(std::string(path), "SOFTWARE\\VORNEX\\VORNEX_HOMES\\" + fits);
    strcpy(path, "untouched");
    EXPECT_FALSE(agent_home_key_path((fits + "h").c_str(), path, 0));
    EXPECT_STREQ(path, "untouched");
    EXPECT_TRUE(agent_home_key_path((fits + "h").c_str(), path, 1));
}

TEST_F(Office, HomeWithoutADriveLetterIsNotReconnectedToAnyLetter)
{
    connect_s = false;
    local["SHARED_VORNEX_HOME"] = "";
    run();
    EXPECT_EQ(outcome(), "box " + TEXT_29);
    EXPECT_TRUE(sim_net_attempts().empty());
    EXPECT_EQ(local_value("SHARED_VORNEX_HOME"), "");
}

} // namespace
