/* klagent-sim --explain, and its options wherever they stand, on the example office. */
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/example_office.h"
#include "support/rows.h"

namespace fs = std::filesystem;

namespace {

using Explain = ExampleOffice;

/* The sentences after "why:". */
std::vector<std::string> why(const std::string &out)
{
    std::vector<std::string> lines;
    size_t at = out.find("why:\n");
    if (at == std::string::npos)
        return lines;
    size_t i = at + 5;
    while (i < out.size() && out.compare(i, 2, "  ") == 0) {
        size_t end = out.find('\n', i);
        lines.push_back(out.substr(i + 2, end - i - 2));
        i = end + 1;
    }
    return lines;
}

bool says(const std::vector<std::string> &lines, const std::string &sentence)
{
    for (const std::string &l : lines)
        if (l == sentence)
            return true;
    return false;
}

std::string joined(const std::vector<std::string> &lines)
{
    std::string s;
    for (const std::string &l : lines)
        s += l + "\n";
    return s;
}

TEST_F(Explain, EveryClientsPassInWords)
{
    const std::string START =
        "The agent was started as C:\\VORNEX\\KLAGENT.EXE; C:\\ is a fixed drive, so this is a "
        "local start: a failure shows a message box, and an out-of-date client starts the "
        "installer with /configure.";
    struct row {
        const char *client;
        std::vector<std::string> sentences;
    } rows[] = {
        {"accounts",
         {START, "The shared home S:\\VORNEX exists, so its drive is not reconnected.",
          "It read HOST_MACHINE = \"VXSERVER\" from S:\\VORNEX\\vxinst\\VCSM.ini, section Vornex.",
          "It read CLIENTS_DIR_SHARE = \"CLIENTS\" from VXSERVER's registry "
          "(HKEY_LOCAL_MACHINE\\SOFTWARE\\VORNEX\\VORNEX_HOMES\\OFFICE).",
          "Z: was connected to \\\\VXSERVER\\CLIENTS.",
          "CLIENTS_DIR = \"z:\\\" was written to the workstation's registry.",
          "The client's time stamp 3.2.3 was found in S:\\VORNEX\\vxinst\\clients.ini, section "
          "ACCOUNTS.",
          "The local TIMESTAMP 3.2.2 differs from 3.2.3 in S:\\VORNEX\\vxinst\\clients.ini, "
          "section ACCOUNTS: the installer is started.",
          "The installer was started: S:\\VORNEX\\bin\\vxinst.exe /configure."}},
        {"reception",
         {"The local TIMESTAMP 3.2.2 equals 3.2.2 in S:\\VORNEX\\vxinst\\clients.ini, section "
          "RECEPTION: the client is current.",
          "The client is current: nothing was started and nothing was shown."}},
        {"visitor",
         {"The message box says: \"The Vornex Client Software Agent has determined that you are "
          "not a registered user of the shared Vornex home designated by your system "
          "administrator. Please ask your system administrator to register you.\", because "
          "neither S:\\VORNEX\\vxinst\\clients.ini nor z:\\newclnts.ini holds a TIMESTAMP in "
          "section VISITOR: the client is not registered."}},
        {"warehouse",
         {"Y: was already connected to \\\\VXSERVER\\CLIENTS, the clients directory, so no "
          "connection was made."}},
        {"laptop",
         {"The shared home S:\\VORNEX cannot be found, so the agent reconnects its drive letter.",
          "S: was connected to \\\\VXSERVER\\APPS.",
          "SHARED_VORNEX_HOME = \"S:\\VORNEX\" was written to the workstation's registry."}},
        {"lab",
         {"The agent was started as N:\\VORNEX\\BIN\\KLAGENT.EXE; N:\\ is a network drive, so "
          "this is a network start: a failed check starts the installer with /bootstrap and "
          "shows nothing."}},
    };
    for (const row &r : rows) {
        office_run res = office_klagent_sim({world(r.client), "--explain", "--no-save"});
        ASSERT_EQ(res.code, 0) << r.client << ": " << res.err;
        std::vector<std::string> lines = why(res.out);
        for (const std::string &s : r.sentences)
            EXPECT_TRUE(says(lines, s)) << r.client << ": " << s << "\n" << joined(lines);
    }
}

TEST_F(Explain, NamesTheMissingSettingBehindTheMessage)
{
    fs::path reg = office / "accounts" / "registry.reg";
    std::string text = office_slurp(reg);
    size_t at = text.find("\"TIMESTAMP\"");
    ASSERT_NE(at, std::string::npos);
    office_write(reg, text.substr(0, at) + text.substr(text.find('\n', at) + 1));
    office_run res = office_klagent_sim({"--explain", world("accounts")});
    ASSERT_EQ(res.code, 0) << res.err;
    std::vector<std::string> lines = why(res.out);
    ASSERT_FALSE(lines.empty()) << res.out;
    /* The message is the pass's last word; only what became of its report may follow. */
    size_t last = lines.size() - 1;
    while (last > 0 && (lines[last].rfind("The pass report", 0) == 0 ||
                        lines[last].rfind("Reports are switched on", 0) == 0))
        last--;
    EXPECT_NE(lines[last].find("\", because TIMESTAMP is missing from the workstation's "
                               "registry (HKEY_LOCAL_MACHINE\\SOFTWARE\\VORNEX)."),
              std::string::npos)
        << joined(lines);
}

/* Why a report was or was not written, and the report and events in the pass's output. */
TEST_F(Explain, SaysWhatBecameOfTheReport)
{
    const fs::path settings = office / "server" / "APPS" / "VORNEX" / "vxinst" / "VCSM.ini";
    const std::string home = office_slurp(settings);
    struct row {
        const char *what;
        const char *client;
        std::string reports; /* replaces the home's [Reports] section */
        bool folder;         /* CLIENTS\REPORTS exists */
        std::string said;
        std::string shown; /* a line of the output before "why:" */
    } rows[] = {
        {"written", "visitor", "[Reports]\r\nFolder=REPORTS\r\nEventLog=1\r\n", true,
         "The pass report was written to z:\\REPORTS\\VISITOR.INI, sections Last pass and Last "
         "failure.",
         "event logged: Application, source \"Vornex Client Software Agent\", error 0: 27 | The "
         "Vornex Client Software Agent has determined"},
        {"no folder", "reception", "[Reports]\r\nFolder=REPORTS\r\n", false,
         "The pass report could not be written to z:\\REPORTS\\RECEPTION.INI (writing its "
         "section Last pass was refused: the folder does not exist (the agent never makes it)); "
         "it was dropped and the pass is unchanged.",
         "client is current: nothing started, nothing shown"},
        {"a folder outside", "reception", "[Reports]\r\nFolder=..\\UP\r\n", true,
         "No pass report was written: the folder \"..\\UP\" would leave the clients directory, "
         "or the client's name cannot be a file name (a character Windows forbids, a device "
         "name such as CON, too long), or the path is too long.",
         "client is current: nothing started, nothing shown"},
    };
    for (const row &r : rows) {
        fs::remove_all(office / "server" / "CLIENTS" / "REPORTS");
        if (r.folder)
            fs::create_directories(office / "server" / "CLIENTS" / "REPORTS");
        office_write(settings, home.substr(0, home.find("[Reports]")) + r.reports);
        office_run res = office_klagent_sim({world(r.client), "--explain", "--no-save"});
        ASSERT_EQ(res.code, 0) << r.what << ": " << res.err;
        std::vector<std::string> lines = why(res.out);
        EXPECT_TRUE(says(lines, r.said)) << r.what << "\n" << joined(lines);
        EXPECT_NE(res.out.substr(0, res.out.find("why:")).find(r.shown), std::string::npos)
            << r.what << "\n" << res.out;
    }
}

/* klagent-sim's own options count wherever they stand; the rest goes to the agent. */
struct options_row {
    const char *name;              /* the agent's line */
    std::vector<std::string> args; /* after the world */
    bool saved;
};
const options_row OPTIONS_ROWS[] = {
    {"agent: C:\\VORNEX\\KLAGENT.EXE -a b", {"-a", "--no-save", "b"}, false},
    {"agent: C:\\VORNEX\\KLAGENT.EXE -a", {"--trace", "-a"}, true},
    {"agent: C:\\VORNEX\\KLAGENT.EXE --no-save --trace", {"--", "--no-save", "--trace"}, true},
    {"agent: C:\\VORNEX\\KLAGENT.EXE --other x", {"--other", "x"}, true},
};
class Options : public ExampleOfficeRows<options_row> {
};
TEST_P(Options, OwnAnywhereTheRestForTheAgent)
{
    const options_row &r = GetParam();
    std::string reg = office_slurp(office / "accounts" / "registry.reg");
    std::vector<std::string> args = {world("accounts")};
    args.insert(args.end(), r.args.begin(), r.args.end());
    office_run res = office_klagent_sim(args);
    ASSERT_EQ(res.code, 0) << res.err;
    EXPECT_TRUE(office_has_line(res.out, r.name)) << res.out;
    EXPECT_EQ(office_slurp(office / "accounts" / "registry.reg") != reg, r.saved);
}
VX_ROWS(Options, OPTIONS_ROWS);

TEST_F(Explain, BadOptionsAndHelp)
{
    EXPECT_EQ(office_klagent_sim({"--bogus", world("accounts")}).code, 2);
    EXPECT_EQ(office_klagent_sim({"--no-save"}).code, 2);
    office_run help = office_klagent_sim({world("accounts"), "--help"});
    EXPECT_EQ(help.code, 0);
    EXPECT_NE(help.out.find("--explain"), std::string::npos);
}

} // namespace
