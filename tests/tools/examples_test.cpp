/* klagent-sim on every client of the example office, on copies of the checked-in worlds. */
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/example_office.h"
#include "support/rows.h"

namespace fs = std::filesystem;

namespace {

using Examples = ExampleOffice;

office_run run(const std::vector<std::string> &args)
{
    return office_klagent_sim(args);
}

const std::string TEXT_27 =
    "  The Vornex Client Software Agent has determined that you are not a registered user of the "
    "shared Vornex home designated by your system administrator. Please ask your system "
    "administrator to register you.";

struct client_row {
    const char *name; /* the client's world */
    std::vector<std::string> args;
    std::vector<std::string> lines;
};
const client_row CLIENT_ROWS[] = {
    {"reception", {}, {"client is current: nothing started, nothing shown"}},
    {"accounts", {"-a", "b"}, {"installer started: S:\\VORNEX\\bin\\vxinst.exe -a b /configure"}},
    {"visitor", {}, {"message box \"Vornex Client Software Agent\":", TEXT_27}},
    {"lab", {}, {"installer started: N:\\VORNEX\\BIN\\vxinst.exe /bootstrap"}},
    {"laptop",
     {},
     {"client is current: nothing started, nothing shown", "drive connected: S: = \\\\VXSERVER\\APPS",
      "registry value written: HKEY_LOCAL_MACHINE\\SOFTWARE\\VORNEX: SHARED_VORNEX_HOME = "
      "\"S:\\VORNEX\" (REG_EXPAND_SZ)"}},
    {"warehouse",
     {},
     {"client is current: nothing started, nothing shown",
      "registry value written: HKEY_LOCAL_MACHINE\\SOFTWARE\\VORNEX: CLIENTS_DIR = \"y:\\\" "
      "(REG_EXPAND_SZ)"}},
};
class EveryClient : public ExampleOfficeRows<client_row> {
};
TEST_P(EveryClient, GetsItsOutcome)
{
    const client_row &r = GetParam();
    std::vector<std::string> args{world(r.name)};
    args.insert(args.end(), r.args.begin(), r.args.end());
    office_run res = run(args);
    EXPECT_EQ(res.code, 0) << res.err;
    EXPECT_TRUE(res.err.empty()) << res.err;
    for (const std::string &l : r.lines)
        EXPECT_TRUE(office_has_line(res.out, l)) << "lacks: " << l << "\n" << res.out;
    EXPECT_TRUE(office_has_line(res.out, "exit code: 0"));
}
VX_ROWS(EveryClient, CLIENT_ROWS);

TEST_F(Examples, SettingsInThe64BitViewAreNotSeenByThe32BitAgent)
{
    office_run annex = run({"--no-save", world("annex")});
    ASSERT_EQ(annex.code, 0) << annex.err;
    EXPECT_TRUE(office_has_line(annex.out, "message box \"Vornex Client Software Agent\":")) << annex.out;
    EXPECT_TRUE(office_has_line(annex.out, "  An unknown error has occured, please try again or contact "
                                    "Vornex Support"))
        << annex.out;
    EXPECT_TRUE(office_has_line(annex.out,
                         "note: HKEY_LOCAL_MACHINE\\SOFTWARE\\VORNEX is in the 64-bit view only; "
                         "the agent, a 32-bit program on 64-bit Windows, reads "
                         "HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\VORNEX"))
        << annex.out;

    // Written where the 32-bit agent looks, the same settings make the client current, and
    // what the agent writes goes there too.
    fs::path reg = office / "annex" / "registry.reg";
    std::string text = office_slurp(reg);
    const std::string key = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\VORNEX]";
    size_t at = text.find(key);
    ASSERT_NE(at, std::string::npos);
    text.replace(at, key.size(), "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\VORNEX]");
    office_write(reg, text);
    office_run moved = run({"--no-save", world("annex")});
    ASSERT_EQ(moved.code, 0) << moved.err;
    EXPECT_TRUE(office_has_line(moved.out, "client is current: nothing started, nothing shown"))
        << moved.out;
    EXPECT_TRUE(office_has_line(moved.out, "registry value written: HKEY_LOCAL_MACHINE\\SOFTWARE\\"
                                    "Wow6432Node\\VORNEX: CLIENTS_DIR = \"z:\\\" (REG_EXPAND_SZ)"))
        << moved.out;
    EXPECT_EQ(moved.out.find("note:"), std::string::npos) << moved.out;
}

TEST_F(Examples, TheInstallerMustBeAProgram)
{
    // The checked-in stand-in is an executable image, as on a real server; a text file in its
    // place is refused by WinExec (11), which the agent reports in the local start mode only.
    fs::path installer = office / "server" / "APPS" / "VORNEX" / "bin" / "vxinst.exe";
    ASSERT_EQ(office_slurp(installer).compare(0, 2, "MZ"), 0);
    office_write(installer, "A stand-in for the installer, as text.\r\n");
    office_run accounts = run({"--no-save", world("accounts"), "-a", "b"});
    ASSERT_EQ(accounts.code, 0) << accounts.err;
    EXPECT_TRUE(office_has_line(accounts.out, "message box \"Vornex Client Software Agent\":"))
        << accounts.out;
    EXPECT_TRUE(office_has_line(accounts.out,
                         "  An unknown error occured while spawning the executable."))
        << accounts.out;
    EXPECT_EQ(accounts.out.find("installer started"), std::string::npos) << accounts.out;
}

TEST_F(Examples, SecondRunFindsWhatTheFirstConnected)
{
    office_run first = run({world("laptop")});
    ASSERT_EQ(first.code, 0) << first.err;
    std::string ini = office_slurp(office / "laptop" / "world.ini");
    EXPECT_NE(ini.find("S = \\\\VXSERVER\\APPS"), std::string::npos) << ini;
    EXPECT_NE(ini.find("Z = \\\\VXSERVER\\CLIENTS"), std::string::npos) << ini;
    EXPECT_NE(office_slurp(office / "laptop" / "registry.reg").find("\"CLIENTS_DIR\"=hex(2):7a,3a,5c,00"),
              std::string::npos);

    office_run second = run({world("laptop"), "--trace"});
    ASSERT_EQ(second.code, 0) << second.err;
    EXPECT_TRUE(office_has_line(second.out, "client is current: nothing started, nothing shown"));
    EXPECT_EQ(second.out.find("drive connected"), std::string::npos) << second.out;
    EXPECT_EQ(second.out.find("registry value written"), std::string::npos) << second.out;
    EXPECT_EQ(second.out.find("WNetAddConnection2A"), std::string::npos) << second.out;
    EXPECT_NE(second.out.find("GetDriveTypeA(\"C:\\\\\") = 3"), std::string::npos) << second.out;
}

TEST_F(Examples, NoSaveLeavesTheWorldAsItWas)
{
    std::string ini = office_slurp(office / "reception" / "world.ini");
    std::string reg = office_slurp(office / "reception" / "registry.reg");
    office_run r = run({"--no-save", world("reception")});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(office_has_line(r.out, "drive connected: Z: = \\\\VXSERVER\\CLIENTS")) << r.out;
    EXPECT_EQ(office_slurp(office / "reception" / "world.ini"), ini);
    EXPECT_EQ(office_slurp(office / "reception" / "registry.reg"), reg);
}

/* The reception's world with one file damaged. */
struct damage_row {
    const char *name;
    const char *file;    /* the file to damage */
    std::string text;    /* its new contents; "" removes it */
    std::string message; /* what err must contain */
    bool append;         /* text goes after the file's own contents */
};
const damage_row DAMAGE_ROWS[] = {
    {"malformed .reg line", "registry.reg",
     "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\VORNEX]\r\n\"TIMESTAMP\"=3.2.2\r\n",
     "/reception/registry.reg:4: ", false},
    {"server .reg missing", "../server/VXSERVER.reg", "", "world.ini:13: ", false},
    {"unknown section", "world.ini", "\n[printers]\n", "world.ini:", true},
    {"bad drive type", "world.ini", "[workstation]\nmodule = C:\\K.EXE\n[drives]\nC = floppy, C\n",
     "world.ini:4: unknown drive type", false},
    {"missing backing directory", "world.ini",
     "[workstation]\nmodule = C:\\K.EXE\n[drives]\nC = fixed, nowhere\n", "world.ini:4: ", false},
    {"no module", "world.ini", "[drives]\nC = fixed, C\n", "world.ini:1: ", false},
};
class DamagedWorld : public ExampleOfficeRows<damage_row> {
};
TEST_P(DamagedWorld, IsNamedAndRefused)
{
    const damage_row &r = GetParam();
    fs::path reception = office / "reception";
    fs::path target = reception / r.file;
    if (r.text.empty())
        fs::remove(target);
    else
        office_write(target, (r.append ? office_slurp(target) : "") + r.text);
    office_run res = run({reception.string()});
    EXPECT_EQ(res.code, 1);
    EXPECT_NE(res.err.find(r.message), std::string::npos) << res.err;
    EXPECT_TRUE(res.out.empty()) << res.out;
}
VX_ROWS(DamagedWorld, DAMAGE_ROWS);

TEST_F(Examples, MissingWorldsAndBadOptionsAreRefused)
{
    fs::path reception = office / "reception";
    office_run none = run({(office / "nowhere").string()});
    EXPECT_EQ(none.code, 1);
    EXPECT_NE(none.err.find("no such world file"), std::string::npos) << none.err;
    /* A usage error: exit 2 and one line that names it and points to --help. */
    struct row {
        std::vector<std::string> args;
        std::string line;
    } rows[] = {
        {{}, "klagent-sim: no world given (klagent-sim --help shows the usage)\n"},
        {{"--bogus", reception.string()},
         "klagent-sim: unknown option --bogus (klagent-sim --help shows the usage)\n"},
    };
    for (const row &r : rows) {
        office_run u = run(r.args);
        EXPECT_EQ(u.code, 2);
        EXPECT_EQ(u.err, r.line);
        EXPECT_EQ(u.out, "");
    }
    office_run version = run({"--version"});
    EXPECT_EQ(version.code, 0);
    EXPECT_EQ(version.out, "klagent-sim 1.0\n");
}

} // namespace
