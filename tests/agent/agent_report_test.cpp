/* The pass report: written only when the home switches it on, after the pass has decided, and
 * never a cause of a changed pass. */
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "agent/agent.h"
#include "sim/sim.h"
#include "support/agent_office.h"
#include "support/rows.h"

namespace {

const std::string CONFIGURE = "exec S:\\VORNEX\\bin\\vxinst.exe /configure";
const std::string SETTINGS = "[Vornex]\r\nHOST_MACHINE=VXSERVER\r\nBACKUP=OFFICE\r\n";

/* Every file below a host directory, by its path relative to it. */
std::string files_below(const std::string &dir)
{
    std::string r;
    if (!std::filesystem::exists(dir))
        return "<none>";
    for (const auto &e : std::filesystem::recursive_directory_iterator(dir))
        r += e.path().lexically_relative(dir).string() + (e.is_directory() ? "/\n" : "\n");
    return r;
}

std::string read_host(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class Reports : public Office {
protected:
    void SetUp() override
    {
        Office::SetUp();
        sim_set_computer_name("PC1-BOX");
        sim_set_local_time(2026, 3, 2, 8, 5, 9);
        reports_on("REPORTS");
        std::filesystem::create_directories(clients + "/REPORTS");
    }
    void reports_on(const std::string &folder)
    {
        put(apps + "/VORNEX/vxinst/VCSM.ini", SETTINGS + "[Reports]\r\nFolder=" + folder + "\r\n");
    }
    std::string report() { return read_host(clients + "/REPORTS/PC1.INI"); }
};

/* An empty value is no key at all: writing it removes what an earlier pass left. */
std::string section(const char *name, const char *result, const char *status, const char *message,
                    const char *server_stamp)
{
    std::string m = *message ? std::string("Message=") + message + "\r\n" : "";
    std::string ss = *server_stamp ? std::string("Server stamp=") + server_stamp + "\r\n" : "";
    return std::string("[") + name + "]\r\nTime=2026-03-02 08:05:09\r\nMode=local\r\nResult=" +
           result + "\r\nStatus=" + status + "\r\n" + m + "Stamp=3.2.2\r\n" + ss +
           "Computer=PC1-BOX\r\nAgent=1.0.0.0\r\n";
}

TEST_F(Office, WithoutAReportsSectionNothingIsWritten)
{
    std::string before = files_below(clients);
    run();
    EXPECT_EQ(outcome(), "current");
    EXPECT_EQ(files_below(clients), before);
    for (const auto &call : sim_calls())
        EXPECT_NE(call.name, "WritePrivateProfileStringA") << call.args;
}

TEST_F(Reports, AnEmptyFolderSwitchesReportsOff)
{
    reports_on("");
    run();
    EXPECT_EQ(outcome(), "current");
    EXPECT_EQ(files_below(clients + "/REPORTS"), "");
}

TEST_F(Reports, ACurrentPassLeavesNoFailure)
{
    run();
    EXPECT_EQ(outcome(), "current");
    /* The profile functions drop the blanks around a value (none here) and keep the order. */
    EXPECT_EQ(report(), section("Last pass", "current", "0", "", "3.2.2"));
}

TEST_F(Reports, AStartedInstallerIsReported)
{
    client_list("[PC1]\r\nTIMESTAMP=3.2.3\r\n");
    run();
    EXPECT_EQ(outcome(), CONFIGURE);
    EXPECT_EQ(report(), section("Last pass", "installer started", "0", "", "3.2.3"));
}

TEST_F(Reports, AMessageIsAFailureAndStaysOneAfterALaterSuccess)
{
    client_list("[OTHER]\r\nTIMESTAMP=3.2.2\r\n");
    run();
    EXPECT_EQ(outcome(), "box " + TEXT_27);
    std::string failed = section("Last pass", "message", "27", "27", "") +
                         section("Last failure", "message", "27", "27", "").substr(0);
    EXPECT_EQ(report(), failed);

    next_run("the failed pass");
    std::filesystem::create_directories(clients + "/REPORTS");
    put(clients + "/REPORTS/PC1.INI", failed);
    sim_set_local_time(2026, 3, 2, 8, 5, 9);
    sim_set_computer_name("PC1-BOX");
    reports_on("REPORTS");
    run();
    EXPECT_EQ(outcome(), "current");
    /* Each section is rewritten whole: its keys keep their order, the one without a value
     * (Message) goes, and the other section stays as it was. */
    EXPECT_EQ(report(), section("Last pass", "current", "0", "", "3.2.2") +
                            section("Last failure", "message", "27", "27", ""));
    int section_writes = 0;
    for (const auto &call : sim_calls()) {
        EXPECT_NE(call.name, "WritePrivateProfileStringA") << call.args;
        section_writes += call.name == "WritePrivateProfileSectionA";
    }
    EXPECT_EQ(section_writes, 1);
}

TEST_F(Reports, AHiddenFailureFromTheNetworkIsReportedAsFailed)
{
    module = "S:\\VORNEX\\KLAGENT.EXE";
    put(apps + "/VORNEX/vxinst.exe", read_host(apps + "/VORNEX/bin/vxinst.exe"));
    client_list("[OTHER]\r\nTIMESTAMP=3.2.2\r\n");
    run();
    EXPECT_EQ(outcome(), "exec S:\\VORNEX\\vxinst.exe /bootstrap");
    std::string text = report();
    EXPECT_NE(text.find("[Last pass]\r\nTime=2026-03-02 08:05:09\r\nMode=network\r\n"
                        "Result=failed\r\nStatus=27\r\nStamp=3.2.2\r\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("[Last failure]"), std::string::npos) << text;
}

TEST_F(Reports, APassThatNeverReachedTheClientsDirectoryWritesNothing)
{
    server[HOME_KEY].erase("CLIENTS_DIR_SHARE");
    run();
    EXPECT_EQ(outcome(), "box " + TEXT_22);
    EXPECT_EQ(files_below(clients + "/REPORTS"), "");
}

/* ---- Reports that cannot be written change nothing ------------------------------------------ */

struct name_row {
    const char *name;
    const char *client_name;
    bool written;
};
const std::string LONG_NAME(252, 'N');
const name_row NAME_ROWS[] = {
    {"plain", "PC-1", true},
    {"COM10 is no device", "COM10", true},
    {"CONSOLE is no device", "CONSOLE", true},
    {"CON", "CON", false},
    {"con in lower case", "con", false},
    {"COM1", "COM1", false},
    {"LPT9 with an extension", "LPT9.X", false},
    {"NUL with blanks", "NUL  ", false},
    {"AUX", "AUX", false},
    {"PRN", "PRN", false},
    {"a colon", "A:B", false},
    {"a star", "A*", false},
    {"a backslash", "A\\B", false},
    {"a question mark", "WHO?", false},
    {"a full stop at the end", "PC1.", false},
    {"a tab", "PC\t1", false},
    {"too long", LONG_NAME.c_str(), false},
};
class ClientNames : public OfficeRows<name_row> {
};
TEST_P(ClientNames, AreWrittenAsTheyAreOrNotAtAll)
{
    const name_row &r = GetParam();
    std::filesystem::create_directories(clients + "/REPORTS");
    put(apps + "/VORNEX/vxinst/VCSM.ini", SETTINGS + "[Reports]\r\nFolder=REPORTS\r\n");
    client_list(std::string("[") + r.client_name + "]\r\nTIMESTAMP=3.2.2\r\n");
    local["CLIENTNAME"] = r.client_name;
    run();
    EXPECT_EQ(outcome(), "current");
    std::string files = files_below(clients + "/REPORTS");
    if (r.written)
        EXPECT_EQ(files, std::string(r.client_name) + ".INI\n");
    else
        EXPECT_EQ(files, "");
    EXPECT_EQ(agent_report_name_fits(r.client_name), r.written ? 1 : 0);
}
VX_ROWS(ClientNames, NAME_ROWS);

struct folder_row {
    const char *name;
    const char *folder;
};
const folder_row FOLDER_ROWS[] = {
    {"missing", "NOSUCH"},
    {"up and out", "..\\OUT"},
    {"rooted", "\\OUT"},
    {"on a drive", "C:\\OUT"},
};
class FoldersThatCannotTakeAReport : public OfficeRows<folder_row> {
};
TEST_P(FoldersThatCannotTakeAReport, AreNeitherMadeNorLeft)
{
    std::filesystem::create_directories(clients + "/REPORTS");
    put(apps + "/VORNEX/vxinst/VCSM.ini",
        SETTINGS + "[Reports]\r\nFolder=" + GetParam().folder + "\r\n");
    std::string before = files_below(host);
    run();
    EXPECT_EQ(outcome(), "current");
    EXPECT_EQ(files_below(host), before);
}
VX_ROWS(FoldersThatCannotTakeAReport, FOLDER_ROWS);

TEST_F(Reports, AReadOnlyReportIsLeftAsItWas)
{
    put(clients + "/REPORTS/PC1.INI", "[Last pass]\r\nResult=current\r\n");
    chmod((clients + "/REPORTS/PC1.INI").c_str(), 0444);
    client_list("[OTHER]\r\nTIMESTAMP=3.2.2\r\n");
    run();
    EXPECT_EQ(outcome(), "box " + TEXT_27);
    EXPECT_EQ(report(), "[Last pass]\r\nResult=current\r\n");
}

TEST_F(Reports, AFolderWithoutWriteAccessChangesNothing)
{
    client_list("[PC1]\r\nTIMESTAMP=3.2.3\r\n");
    build({});
    sim_fault(SIM_PROFILE, 1, true, ERROR_ACCESS_DENIED);
    char tail[] = "";
    EXPECT_EQ(WinMain((HINSTANCE)(uintptr_t)0x400000, NULL, tail, SW_SHOWNORMAL), 0);
    EXPECT_EQ(outcome(), CONFIGURE);
    EXPECT_EQ(files_below(clients + "/REPORTS"), "");
    /* The first refusal ends the report: no write after it is tried. */
    EXPECT_EQ(sim_fault_fired(SIM_PROFILE), 1u);
}

TEST_F(Reports, AFullDiskChangesNothing)
{
    build({});
    sim_fault(SIM_PROFILE, 1, true, 112 /* ERROR_DISK_FULL */);
    char tail[] = "";
    EXPECT_EQ(WinMain((HINSTANCE)(uintptr_t)0x400000, NULL, tail, SW_SHOWNORMAL), 0);
    EXPECT_EQ(outcome(), "current");
    EXPECT_EQ(files_below(clients + "/REPORTS"), "");
}

struct damage_row {
    const char *name;
    std::string text;
};
const damage_row DAMAGE_ROWS[] = {
    {"binary", std::string("\x00\x01\xff[Last pass\r\n\x1a\x00=", 14)},
    {"no line end", "[Last pass]\r\nResult=curr"},
    {"a long line", std::string(70000, 'x')},
    {"a section without its bracket", "[Last pass\r\nTime=x\r\n[Last failure]\r\nResult"},
};
class DamagedReports : public OfficeRows<damage_row> {
};
TEST_P(DamagedReports, NeverChangeThePass)
{
    std::filesystem::create_directories(clients + "/REPORTS");
    put(apps + "/VORNEX/vxinst/VCSM.ini", SETTINGS + "[Reports]\r\nFolder=REPORTS\r\n");
    put(clients + "/REPORTS/PC1.INI", GetParam().text);
    client_list("[PC1]\r\nTIMESTAMP=3.2.3\r\n");
    run();
    EXPECT_EQ(outcome(), CONFIGURE);
    EXPECT_EQ(files_below(clients + "/REPORTS"), "PC1.INI\n");
}
VX_ROWS(DamagedReports, DAMAGE_ROWS);

/* The report takes the home's values from the check instead of reading them again. */
TEST_F(Reports, ReadsTheHomeValuesNoMoreThanTheCheckDoes)
{
    auto reads_of = [](const char *name) {
        int n = 0;
        for (const auto &call : sim_reg_calls())
            n += call.call == "RegQueryValueExA" && call.name == name;
        return n;
    };
    reports_on("");
    run();
    int client_name_reads = reads_of("CLIENTNAME");
    int home_reads = reads_of("SHARED_VORNEX_HOME");

    next_run("reports off");
    sim_set_local_time(2026, 3, 2, 8, 5, 9);
    sim_set_computer_name("PC1-BOX");
    reports_on("REPORTS");
    std::filesystem::create_directories(clients + "/REPORTS");
    run();
    EXPECT_EQ(report(), section("Last pass", "current", "0", "", "3.2.2"));
    EXPECT_EQ(reads_of("CLIENTNAME"), client_name_reads);
    EXPECT_EQ(reads_of("SHARED_VORNEX_HOME"), home_reads);
}

/* ---- The Application event log ---------------------------------------------------------- */

struct event_row {
    const char *name;
    const char *reports; /* the [Reports] section's lines */
    const char *clients; /* the client list */
    bool fail_register;  /* RegisterEventSourceA refuses */
    std::string outcome;
    std::vector<std::string> events; /* "status|text" */
    bool report_written;
};
const event_row EVENT_ROWS[] = {
    {"a failed pass logs one event", "Folder=REPORTS\r\nEventLog=1\r\n",
     "[OTHER]\r\nTIMESTAMP=3.2.2\r\n", false, "box " + TEXT_27, {"27|" + TEXT_27}, true},
    {"a current pass logs none", "Folder=REPORTS\r\nEventLog=1\r\n",
     "[PC1]\r\nTIMESTAMP=3.2.2\r\n", false, "current", {}, true},
    {"a started installer logs none", "Folder=REPORTS\r\nEventLog=1\r\n",
     "[PC1]\r\nTIMESTAMP=3.2.3\r\n", false, CONFIGURE, {}, true},
    {"EventLog=0 logs none", "Folder=REPORTS\r\nEventLog=0\r\n",
     "[OTHER]\r\nTIMESTAMP=3.2.2\r\n", false, "box " + TEXT_27, {}, true},
    {"without EventLog none", "Folder=REPORTS\r\n", "[OTHER]\r\nTIMESTAMP=3.2.2\r\n", false,
     "box " + TEXT_27, {}, true},
    {"reports off log none", "EventLog=1\r\n", "[OTHER]\r\nTIMESTAMP=3.2.2\r\n", false,
     "box " + TEXT_27, {}, false},
    {"a log that cannot be opened is ignored", "Folder=REPORTS\r\nEventLog=1\r\n",
     "[OTHER]\r\nTIMESTAMP=3.2.2\r\n", true, "box " + TEXT_27, {}, true},
    {"an unwritable report still logs", "Folder=NOSUCH\r\nEventLog=1\r\n",
     "[OTHER]\r\nTIMESTAMP=3.2.2\r\n", false, "box " + TEXT_27, {"27|" + TEXT_27}, false},
};
class EventLog : public OfficeRows<event_row> {
};
TEST_P(EventLog, OnlyFailedPassesAreLogged)
{
    const event_row &r = GetParam();
    std::filesystem::create_directories(clients + "/REPORTS");
    put(apps + "/VORNEX/vxinst/VCSM.ini", SETTINGS + "[Reports]\r\n" + r.reports);
    client_list(r.clients);
    build({});
    if (r.fail_register)
        sim_fault(SIM_EVENTLOG, 1, true, ERROR_ACCESS_DENIED);
    char tail[] = "";
    EXPECT_EQ(WinMain((HINSTANCE)(uintptr_t)0x400000, NULL, tail, SW_SHOWNORMAL), 0);
    EXPECT_EQ(outcome(), r.outcome);
    std::vector<std::string> events;
    for (const sim_event &e : sim_events()) {
        EXPECT_EQ(e.source, "Vornex Client Software Agent");
        EXPECT_EQ(e.type, EVENTLOG_ERROR_TYPE);
        ASSERT_EQ(e.strings.size(), 2u);
        events.push_back(e.strings[0] + "|" + e.strings[1]);
    }
    EXPECT_EQ(events, r.events);
    EXPECT_EQ(files_below(clients + "/REPORTS"), r.report_written ? "PC1.INI\n" : "");
    if (r.fail_register) {
        EXPECT_EQ(sim_fault_fired(SIM_EVENTLOG), 1u);
    }
}
VX_ROWS(EventLog, EVENT_ROWS);

TEST_F(Reports, AHiddenFailureLogsTheTextItWouldHaveShown)
{
    module = "S:\\VORNEX\\KLAGENT.EXE";
    put(apps + "/VORNEX/vxinst.exe", read_host(apps + "/VORNEX/bin/vxinst.exe"));
    put(apps + "/VORNEX/vxinst/VCSM.ini",
        SETTINGS + "[Reports]\r\nFolder=REPORTS\r\nEventLog=1\r\n");
    client_list("[OTHER]\r\nTIMESTAMP=3.2.2\r\n");
    run();
    EXPECT_EQ(outcome(), "exec S:\\VORNEX\\vxinst.exe /bootstrap");
    ASSERT_EQ(sim_events().size(), 1u);
    EXPECT_EQ(sim_events()[0].strings, (std::vector<std::string>{"27", TEXT_27}));
}

TEST(AgentLocalTime, IsZeroPadded)
{
    sim_reset();
    sim_set_local_time(999, 1, 2, 3, 4, 5);
    char buf[20];
    agent_format_local_time(buf);
    EXPECT_STREQ(buf, "0999-01-02 03:04:05");
    sim_reset();
}

} // namespace
