/* The built vxpack report over report folders the tests make: its rows and groups, exit codes,
 * CSV, the stale limit, damaged and foreign files, and folders that are missing, read-only or
 * spelled in another letter case. "Now" is fixed through VXPACK_NOW. */
#include "vxpack_cli_testing.h"

#include <sys/stat.h>
#include <unistd.h>

#include <map>

namespace {

const char *const NOW = "2026-03-20 12:00:00";

class VxpackReport : public VxpackCliTest {
protected:
    void SetUp() override
    {
        VxpackCliTest::SetUp();
        setenv("VXPACK_NOW", NOW, 1);
        spit(dir / "home" / "vxinst" / "VCSM.ini",
             "[Vornex]\r\nHOST_MACHINE=SRV\r\nBACKUP=BAK\r\n[Reports]\r\nFolder=REPORTS\r\n");
        spit(dir / "home" / "vxinst" / "clients.ini",
             "[PC1]\r\nTIMESTAMP=3.2.2\r\n[PC2]\r\nTIMESTAMP=3.2.3\r\n");
        spit(dir / "clients" / "newclnts.ini", "[NEWDESK]\r\nTIMESTAMP=3.2.3\r\n");
        fs::create_directories(dir / "clients" / "REPORTS");
    }
    void TearDown() override
    {
        unsetenv("VXPACK_NOW");
        for (const auto &e : fs::recursive_directory_iterator(dir))
            if (e.is_directory())
                fs::permissions(e.path(), fs::perms::owner_all, fs::perm_options::add);
        VxpackCliTest::TearDown();
    }

    /* A report as the agent writes it. */
    static std::string pass(const std::string &time, const std::string &result,
                            const std::string &stamp, const std::string &status = "0",
                            const std::string &section = "Last pass")
    {
        return "[" + section + "]\r\nTime=" + time + "\r\nMode=local\r\nResult=" + result +
               "\r\nStatus=" + status + "\r\nStamp=" + stamp + "\r\nComputer=C\r\nAgent=1.0\r\n";
    }
    void put_report(const std::string &name, const std::string &bytes)
    {
        spit(dir / "clients" / "REPORTS" / name, bytes);
    }
    run_result report(const std::vector<std::string> &more = {})
    {
        std::vector<std::string> args = {"report", "clients", "--home", "home"};
        args.insert(args.end(), more.begin(), more.end());
        return run(args);
    }
};

TEST_F(VxpackReport, RowsAndGroupsAsText)
{
    put_report("PC1.INI", pass("2026-03-20 11:30:00", "current", "3.2.2"));
    put_report("PC2.INI", pass("2026-03-19 08:00:00", "installer started", "3.2.2") +
                              pass("2026-03-18 08:00:00", "failed", "3.2.2", "29",
                                   "Last failure"));
    put_report("VISITOR.INI", pass("2026-02-01 09:00:00", "message", "1.0", "27") +
                                  "Message=27\r\n" +
                                  pass("2026-02-01 09:00:00", "message", "1.0", "27",
                                       "Last failure"));
    put_report("notes.txt", "hello\n");
    run_result r = report();
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out,
              "Pass reports in clients/REPORTS, as of 2026-03-20 12:00:00\n"
              "Registered clients: 3, from home/vxinst/clients.ini and clients/newclnts.ini\n"
              "\n"
              "CLIENT   LAST PASS                          RESULT             STAMP                "
              "LAST FAILURE\n"
              "PC1      2026-03-20 11:30:00 (30 min ago)   current            3.2.2 = server\n"
              "PC2      2026-03-19 08:00:00 (28 h ago)     installer started  3.2.2, server 3.2.3\n"
              "VISITOR  2026-02-01 09:00:00 (47 days ago)  message            1.0, not registered  "
              "message at 2026-02-01 09:00:00, status 27\n"
              "\n"
              "Registered clients that never reported (1):\n"
              "  NEWDESK\n"
              "Reports from names that are not registered (1):\n"
              "  VISITOR\n"
              "Last pass older than 14 days (1):\n"
              "  VISITOR, last pass 47 days ago\n"
              "Damaged or foreign files in the folder (1):\n"
              "  clients/REPORTS/notes.txt: is not a report: the agent names its reports "
              "CLIENTNAME.INI\n"
              "\n"
              "1 of 3 registered clients reported a current pass within 14 days.\n");
}

/* Exit 0 only when every registered client (and there is one) reported a current pass within
 * the limit; what does not concern a registered client is listed but changes nothing. */
TEST_F(VxpackReport, ExitCodeSaysWhetherEveryRegisteredClientIsCurrent)
{
    const std::string recent = "2026-03-20 08:00:00", old = "2026-02-10 08:00:00";
    struct row {
        const char *what;
        std::map<std::string, std::string> reports;
        std::vector<std::string> more;
        int code;
        const char *says;
    } rows[] = {
        {"all current", {{"PC1.INI", pass(recent, "current", "3.2.2")},
                         {"PC2.INI", pass(recent, "current", "3.2.3")},
                         {"NEWDESK.INI", pass(recent, "current", "3.2.3")}},
         {}, 0, "3 of 3 registered clients reported a current pass within 14 days."},
        {"names in another letter case", {{"pc1.ini", pass(recent, "current", "3.2.2")},
                                          {"Pc2.Ini", pass(recent, "current", "3.2.3")},
                                          {"newdesk.INI", pass(recent, "current", "3.2.3")}},
         {}, 0, "\nPC2      2026-03-20"}, /* named as the lists spell it */
        {"a stranger and junk change nothing",
         {{"PC1.INI", pass(recent, "current", "3.2.2")},
          {"PC2.INI", pass(recent, "current", "3.2.3")},
          {"NEWDESK.INI", pass(recent, "current", "3.2.3")},
          {"VISITOR.INI", pass(recent, "failed", "")},
          {"Thumbs.db", std::string("\0\1\2", 3)}},
         {}, 0, "  VISITOR\n"},
        {"a clock ahead still counts", {{"PC1.INI", pass("2026-03-21 08:00:00", "current", "3.2.2")},
                                        {"PC2.INI", pass(recent, "current", "3.2.3")},
                                        {"NEWDESK.INI", pass(recent, "current", "3.2.3")}},
         {}, 0, "(in the future)"},
        {"one never reported", {{"PC1.INI", pass(recent, "current", "3.2.2")},
                                {"PC2.INI", pass(recent, "current", "3.2.3")}},
         {}, 1, "Registered clients that never reported (1):\n  NEWDESK\n"},
        {"one started the installer", {{"PC1.INI", pass(recent, "current", "3.2.2")},
                                       {"PC2.INI", pass(recent, "installer started", "3.2.2")},
                                       {"NEWDESK.INI", pass(recent, "current", "3.2.3")}},
         {}, 1, "2 of 3"},
        {"one failed", {{"PC1.INI", pass(recent, "current", "3.2.2")},
                        {"PC2.INI", pass(recent, "failed", "3.2.3", "29")},
                        {"NEWDESK.INI", pass(recent, "current", "3.2.3")}},
         {}, 1, "2 of 3"},
        {"one stale", {{"PC1.INI", pass(old, "current", "3.2.2")},
                       {"PC2.INI", pass(recent, "current", "3.2.3")},
                       {"NEWDESK.INI", pass(recent, "current", "3.2.3")}},
         {}, 1, "Last pass older than 14 days (1):\n  PC1, last pass 38 days ago\n"},
        {"the same within a longer limit", {{"PC1.INI", pass(old, "current", "3.2.2")},
                                            {"PC2.INI", pass(recent, "current", "3.2.3")},
                                            {"NEWDESK.INI", pass(recent, "current", "3.2.3")}},
         {"--stale", "39"}, 0, "Last pass older than 39 days: none\n"},
        {"a day past the limit", {{"PC1.INI", pass("2026-03-06 11:59:59", "current", "3.2.2")},
                                  {"PC2.INI", pass(recent, "current", "3.2.3")},
                                  {"NEWDESK.INI", pass(recent, "current", "3.2.3")}},
         {}, 1, "  PC1, last pass 14 days ago\n"},
        {"exactly at the limit", {{"PC1.INI", pass("2026-03-06 12:00:00", "current", "3.2.2")},
                                  {"PC2.INI", pass(recent, "current", "3.2.3")},
                                  {"NEWDESK.INI", pass(recent, "current", "3.2.3")}},
         {}, 0, "Last pass older than 14 days: none\n"},
        {"a damaged report of a registered client",
         {{"PC1.INI", pass(recent, "current", "3.2.2")},
          {"PC2.INI", "[Last pass]\r\nTime=soon\r\n"},
          {"NEWDESK.INI", pass(recent, "current", "3.2.3")}},
         {}, 1, "  PC2 (its report PC2.INI is damaged: see below)\n"},
    };
    for (const row &r : rows) {
        SCOPED_TRACE(r.what);
        fs::remove_all(dir / "clients" / "REPORTS");
        fs::create_directories(dir / "clients" / "REPORTS");
        for (const auto &f : r.reports)
            put_report(f.first, f.second);
        run_result out = report(r.more);
        EXPECT_EQ(out.code, r.code) << out.out;
        EXPECT_EQ(out.err, "");
        EXPECT_NE(out.out.find(r.says), std::string::npos) << out.out;
    }
}

TEST_F(VxpackReport, NoRegisteredClientIsNoSuccess)
{
    spit(dir / "home" / "vxinst" / "clients.ini", "; none yet\r\n");
    fs::remove(dir / "clients" / "newclnts.ini");
    put_report("PC1.INI", pass("2026-03-20 08:00:00", "current", "3.2.2"));
    run_result r = report();
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.out.find("Registered clients: 0, from home/vxinst/clients.ini\n"),
              std::string::npos) << r.out;
    EXPECT_NE(r.out.find("0 of 0 registered clients"), std::string::npos) << r.out;
}

TEST_F(VxpackReport, CsvHoldsTheSameRowsQuoted)
{
    spit(dir / "home" / "vxinst" / "clients.ini",
         "[PC1]\r\nTIMESTAMP=3,2,2\r\n[PC2]\r\nTIMESTAMP=3.2.3\r\n");
    put_report("PC1.INI", "[Last pass]\r\nTime=2026-03-20 08:00:00\r\nMode=network\r\n"
                          "Result=current\r\nStatus=0\r\nStamp=3.2.2\r\n"
                          "Computer=\"Desk, \"the\" big one\"\r\nAgent==cmd|' /C calc'!A0\r\n");
    put_report("VISITOR.INI", pass("2026-03-01 08:00:00", "failed", "1.0", "29") +
                                  pass("2026-03-01 08:00:00", "failed", "1.0", "29",
                                       "Last failure"));
    put_report("CON.INI", "x");
    run_result r = report({"--csv"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out,
              "Client,Registered,Report,Last pass,Days ago,Result,Mode,Status,Message,Stamp,"
              "Server stamp,Stamp current,Computer,Agent,Last failure,Failure result,"
              "Failure status,Failure message,Stale,Problem\n"
              "PC1,yes,clients/REPORTS/PC1.INI,2026-03-20 08:00:00,0,current,network,0,,3.2.2,"
              "\"3,2,2\",yes,\"Desk, \"\"the\"\" big one\",'=cmd|' /C calc'!A0,,,,,no,\n"
              "VISITOR,no,clients/REPORTS/VISITOR.INI,2026-03-01 08:00:00,19,failed,local,29,,"
              "1.0,,,C,1.0,2026-03-01 08:00:00,failed,29,,yes,not registered\n"
              "PC2,yes,,,,,,,,,3.2.3,,,,,,,,,never reported\n"
              "NEWDESK,yes,,,,,,,,,3.2.3,,,,,,,,,never reported\n"
              ",,clients/REPORTS/CON.INI,,,,,,,,,,,,,,,,,is not a report: the agent names its "
              "reports CLIENTNAME.INI\n");
}

/* Whatever someone left in the folder is listed with what is wrong with it; nothing stops the
 * run, and the sound reports are still shown. */
TEST_F(VxpackReport, DamagedAndForeignEntriesAreListed)
{
    put_report("PC1.INI", pass("2026-03-20 08:00:00", "current", "3.2.2"));
    put_report("PC2.INI", std::string("\x7f" "ELF\2\1\1\0\0\0", 10));
    put_report("NEWDESK.INI", "[Last pass]\r\nTime=2026-03-20 08:00:00\r\nResult=current\r\n" +
                                  std::string(70000, ';') + "\r\n");
    put_report("BIG.INI", std::string(1 << 20, 'x'));
    put_report("LONG.INI", "[Last pass]\r\nComputer=" + std::string(5000, 'x') + "\r\n");
    put_report("NOPASS.INI", "[Last failure]\r\nTime=2026-03-20 08:00:00\r\nResult=failed\r\n");
    put_report("BADTIME.INI", "[Last pass]\r\nTime=20.3.2026\r\nResult=current\r\n");
    put_report("ESC.INI", "[Last pass]\r\nTime=2026-03-20 08:00:00\r\nResult=cur\x1b]0;x\arent\r\n");
    put_report("pc1.ini", pass("2026-03-01 08:00:00", "failed", "3.2.2"));
    put_report("README.TXT", "see docs\n");
    put_report("LPT1.INI", "x");
    fs::create_directories(dir / "clients" / "REPORTS" / "OLD.INI");
    ASSERT_EQ(mkfifo((dir / "clients" / "REPORTS" / "PIPE.INI").c_str(), 0600), 0);
    run_result r = report();
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "");
    const std::string d = "  clients/REPORTS/";
    for (const std::string &line : {
             d + "BADTIME.INI: [Last pass] Time \"20.3.2026\" is not a time YYYY-MM-DD hh:mm:ss",
             d + "BIG.INI: is 1024.0 KB: the agent writes a few hundred bytes; not read",
             d + "ESC.INI: holds binary data, not a report's text",
             d + "LONG.INI: line 2 is longer than 1100 bytes: the agent writes no such line",
             d + "LPT1.INI: is not a report: the agent names its reports CLIENTNAME.INI",
             d + "NEWDESK.INI: is 68.4 KB: the agent writes a few hundred bytes; not read",
             d + "NOPASS.INI: has no [Last pass] section",
             d + "OLD.INI: is a folder, not a report",
             d + "PC2.INI: holds binary data, not a report's text",
             d + "PIPE.INI: is not a regular file",
             d + "README.TXT: is not a report: the agent names its reports CLIENTNAME.INI",
             d + "pc1.ini: is a second report of PC1, whose name differs only in letter case "
                 "(Windows sees one of them): the newer one, PC1.INI, is shown",
         })
        EXPECT_NE(r.out.find(line + "\n"), std::string::npos) << line << "\n" << r.out;
    EXPECT_NE(r.out.find("Damaged or foreign files in the folder (12):\n"), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("PC1     2026-03-20 08:00:00"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find('\x1b'), std::string::npos) << "no escape reaches the terminal";
    run_result csv = report({"--csv"});
    EXPECT_EQ(csv.code, 1);
    EXPECT_EQ(std::count(csv.out.begin(), csv.out.end(), '\n'), 1 + 1 + 2 + 12) << csv.out;
}

TEST_F(VxpackReport, AReadOnlyFolderIsRead)
{
    put_report("PC1.INI", pass("2026-03-20 08:00:00", "current", "3.2.2"));
    put_report("PC2.INI", pass("2026-03-20 08:00:00", "current", "3.2.3"));
    put_report("NEWDESK.INI", pass("2026-03-20 08:00:00", "current", "3.2.3"));
    for (const char *name : {"PC1.INI", "PC2.INI", "NEWDESK.INI"})
        fs::permissions(dir / "clients" / "REPORTS" / name, fs::perms::owner_read |
                        fs::perms::group_read | fs::perms::others_read);
    fs::permissions(dir / "clients" / "REPORTS",
                    fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                        fs::perms::group_exec);
    run_result r = report();
    EXPECT_EQ(r.code, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("3 of 3 registered clients"), std::string::npos) << r.out;
    EXPECT_EQ(fs::status(dir / "clients" / "REPORTS").permissions() & fs::perms::owner_write,
              fs::perms::none);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "clients" / "REPORTS"),
                            fs::directory_iterator()), 3) << "nothing written";
}

/* What stops a run before any report is read: one line on standard error, exit 1. */
TEST_F(VxpackReport, AFolderThatCannotBeFoundIsToldWithItsCause)
{
    struct row {
        const char *what;
        const char *vcsm; /* VCSM.ini's bytes; nullptr: no file */
        std::vector<std::string> args;
        const char *error;
    } rows[] = {
        {"no [Reports]", "[Vornex]\r\nHOST_MACHINE=SRV\r\n", {},
         "vxpack: home/vxinst/VCSM.ini: has no [Reports] Folder=, so the agents write no "
         "reports for this home: switch them on there (docs/reports.md), or give the folder "
         "with --folder\n"},
        {"an empty Folder", "[Reports]\r\nFolder=\r\n", {},
         "vxpack: home/vxinst/VCSM.ini: has no [Reports] Folder=, so the agents write no "
         "reports for this home: switch them on there (docs/reports.md), or give the folder "
         "with --folder\n"},
        {"a folder out of the clients directory", "[Reports]\r\nFolder=..\\REPORTS\r\n", {},
         "vxpack: home/vxinst/VCSM.ini: [Reports] Folder=..\\REPORTS is not a folder inside "
         "the clients directory, so the agents write no reports\n"},
        {"a drive", "[Reports]\r\nFolder=R:\\REPORTS\r\n", {},
         "vxpack: home/vxinst/VCSM.ini: [Reports] Folder=R:\\REPORTS is not a folder inside "
         "the clients directory, so the agents write no reports\n"},
        {"the folder not made", "[Reports]\r\nFolder=LOGS\\PASSES\r\n", {},
         "vxpack: clients/LOGS\\PASSES: no such folder (the home's [Reports] "
         "Folder=LOGS\\PASSES; the administrator makes it, the agent never does)\n"},
        {"no VCSM.ini", nullptr, {},
         "vxpack: home/vxinst/VCSM.ini: does not exist: is home a shared home?\n"},
        {"no home", nullptr, {"report", "clients", "--home", "nohome"},
         "vxpack: nohome: no such folder\n"},
        {"no clients directory", nullptr, {"report", "noclients", "--folder", "clients/REPORTS"},
         "vxpack: noclients: no such folder\n"},
        {"no such --folder", nullptr, {"report", "clients", "--folder", "elsewhere"},
         "vxpack: elsewhere: no such folder\n"},
    };
    for (const row &r : rows) {
        SCOPED_TRACE(r.what);
        fs::remove(dir / "home" / "vxinst" / "VCSM.ini");
        if (r.vcsm != nullptr)
            spit(dir / "home" / "vxinst" / "VCSM.ini", r.vcsm);
        run_result out = r.args.empty() ? report() : run(r.args);
        EXPECT_EQ(out.code, 1);
        EXPECT_EQ(out.err, r.error);
        EXPECT_EQ(out.out, "");
    }
}

/* The folder the home names is found as a Windows client of a Samba server finds it: in
 * another letter case when that is the only spelling. */
TEST_F(VxpackReport, TheHomesFolderIsFoundInAnyLetterCase)
{
    spit(dir / "home" / "vxinst" / "VCSM.ini", "[Reports]\r\nFolder=Logs\\reports\r\n");
    put_report("PC1.INI", pass("2026-03-20 08:00:00", "current", "3.2.2"));
    fs::create_directories(dir / "clients" / "LOGS");
    fs::rename(dir / "clients" / "REPORTS", dir / "clients" / "LOGS" / "Reports");
    run_result r = report();
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out.rfind("Pass reports in clients/LOGS/Reports, as of", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("PC1     2026-03-20"), std::string::npos) << r.out;

    fs::create_directories(dir / "clients" / "LOGS" / "REPORTS");
    r = report();
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "vxpack: clients/Logs\\reports: is spelled REPORTS and Reports here, and "
                     "Windows takes names that differ only in letter case for one: rename one "
                     "of them (the home's [Reports] Folder=Logs\\reports; the administrator "
                     "makes it, the agent never does)\n");
}

/* --folder reads any folder; without the home, newclnts.ini alone registers clients. */
TEST_F(VxpackReport, FolderGivenDirectly)
{
    spit(dir / "home" / "vxinst" / "VCSM.ini", "[Vornex]\r\n");
    spit(dir / "copy" / "NEWDESK.INI", pass("2026-03-20 08:00:00", "current", "3.2.3"));
    spit(dir / "copy" / "PC1.INI", pass("2026-03-20 08:00:00", "current", "3.2.2"));
    run_result r = run({"report", "clients", "--folder", "copy/"});
    EXPECT_EQ(r.code, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("Pass reports in copy, as of 2026-03-20 12:00:00\n"
                         "Registered clients: 1, from clients/newclnts.ini\n"),
              std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Reports from names that are not registered (1):\n  PC1\n"),
              std::string::npos) << r.out;
}

TEST_F(VxpackReport, CommandLineMistakesAreUsageErrors)
{
    struct row {
        std::vector<std::string> args;
        const char *names;
    } rows[] = {
        {{"report"}, "CLIENTS_DIR"},
        {{"report", "clients"}, "--home, or the reports' folder with --folder"},
        {{"report", "clients", "--home", "home", "--folder", "clients/REPORTS"}, "--folder"},
        {{"report", "clients", "--home", "home", "--stale", "x"}, "--stale x: give a number"},
        {{"report", "clients", "--home", "home", "--stale", "0"}, "--stale 0: give a number"},
        {{"report", "clients", "--home", "home", "--stale", "1e3"}, "--stale 1e3"},
        {{"report", "clients", "--home", "home", "--stale", "99999999999"}, "--stale 9999"},
        {{"report", "clients", "--home", "home", "--stale", "+3"}, "--stale +3"},
        {{"report", "clients", "--home", "home", "--bogus"}, "--bogus"},
    };
    for (const row &r : rows)
        expect_usage_error(r.args, r.names, "vxpack report --help");
    setenv("VXPACK_NOW", "2026-02-30 00:00:00", 1);
    run_result bad_now = report();
    EXPECT_EQ(bad_now.code, 1);
    EXPECT_EQ(bad_now.err, "vxpack: VXPACK_NOW=2026-02-30 00:00:00: give a local time as "
                           "YYYY-MM-DD hh:mm:ss\n");
    run_result help = run({"report", "--help"});
    EXPECT_EQ(help.code, 0);
    EXPECT_NE(help.out.find("VXPACK_NOW"), std::string::npos) << help.out;
}

} // namespace
