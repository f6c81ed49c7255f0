/* The built vxpack end to end: commands run on files the tests make, their output, exit codes
 * and the files left behind. */
#include <algorithm>

#include "vxpack_cli_testing.h"

namespace {

using VxpackCli = VxpackCliTest;

TEST_F(VxpackCli, CompressThenExpandGivesTheBytesBack)
{
    struct row {
        const char *name, *packed, *kind;
        size_t size;
    } rows[] = {
        {"ONE.BIN", "_ONE.BIN", "noise", 1},
        {"SETUP.EXE", "_SETUP.EXE", "noise", 300000}, /* the table fills and resets */
        {"README.TXT", "_README.TXT", "text", 100000},
        {"RUNS.DAT", "_RUNS.DAT", "runs", 200000},
        {"ABCDEFGH.DLL", "_BCDEFGH.DLL", "text", 5000},
        {"setup", "_setup", "text", 70000},
    };
    for (const row &r : rows) {
        SCOPED_TRACE(r.name);
        std::string bytes = sample(r.kind, r.size);
        spit(dir / "kit" / r.name, bytes);
        run_result c = run({"compress", std::string("kit/") + r.name});
        ASSERT_EQ(c.code, 0) << c.err;
        EXPECT_EQ(c.err, "");
        uintmax_t packed = fs::file_size(dir / "kit" / r.packed);
        char line[256];
        snprintf(line, sizeof line, "kit/%s -> kit/%s: %zu -> %ju bytes (", r.name, r.packed,
                 r.size, packed);
        EXPECT_EQ(c.out.rfind(line, 0), 0u) << c.out;

        fs::create_directories(dir / "out");
        run_result e = run({"expand", "-o", "out", std::string("kit/") + r.name});
        ASSERT_EQ(e.code, 0) << e.err;
        EXPECT_EQ(slurp(dir / "out" / r.name), bytes);
        /* Stamps travel as the engine copies them: from the compressed file. */
        EXPECT_EQ(fs::last_write_time(dir / "out" / r.name),
                  fs::last_write_time(dir / "kit" / r.packed));
    }
    expect_no_temporaries();
}

TEST_F(VxpackCli, SeveralFilesOneFailingTheOthersDone)
{
    spit(dir / "A.TXT", sample("text", 3000));
    spit(dir / "C.TXT", sample("text", 4000));
    run_result r = run({"compress", "A.TXT", "B.TXT", "C.TXT", "-o", "packed"},
                       "");
    EXPECT_EQ(r.code, 1);
    fs::create_directories(dir / "packed");
    r = run({"compress", "A.TXT", "B.TXT", "C.TXT", "-o", "packed"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "vxpack: B.TXT: does not exist\n");
    EXPECT_TRUE(fs::exists(dir / "packed" / "_A.TXT"));
    EXPECT_TRUE(fs::exists(dir / "packed" / "_C.TXT"));
    EXPECT_FALSE(fs::exists(dir / "packed" / "_B.TXT"));
}

/* Every failure a user can reach: its one line, exit code 1, and nothing under the final name
 * (a file already there keeps its bytes). */
TEST_F(VxpackCli, FailuresAreToldAndLeaveNothingBehind)
{
    std::string stream_of_abc;
    {
        spit(dir / "ok" / "ABC.TXT", "ABCABCABCABC");
        ASSERT_EQ(run({"compress", "ok/ABC.TXT"}).code, 0);
        stream_of_abc = slurp(dir / "ok" / "_ABC.TXT");
    }
    struct row {
        const char *what;
        std::vector<std::pair<std::string, std::string>> files; /* made before the run */
        std::vector<std::string> args;
        const char *error;      /* the whole of standard error */
        const char *untouched;  /* a final name that must hold "old" or be absent */
    } rows[] = {
        {"missing file", {}, {"compress", "NOPE.EXE"}, "vxpack: NOPE.EXE: does not exist\n",
         "_NOPE.EXE"},
        {"empty file", {{"EMPTY.DAT", ""}}, {"compress", "EMPTY.DAT"},
         "vxpack: EMPTY.DAT: is empty: a compressed file holds at least one byte\n",
         "_EMPTY.DAT"},
        {"own compressed name", {{"_BCDEFGH.DLL", "x"}}, {"compress", "_BCDEFGH.DLL"},
         "vxpack: _BCDEFGH.DLL: is its own compressed name: compress it into another folder "
         "with -o DIR\n",
         nullptr},
        {"missing output folder", {{"A.TXT", "a"}}, {"compress", "-o", "nowhere", "A.TXT"},
         "vxpack: nowhere/_A.TXT: no such folder\n", nullptr},
        {"missing compressed file", {{"SETUP.EXE", "old"}}, {"expand", "SETUP.EXE"},
         "vxpack: _SETUP.EXE: does not exist\n", "SETUP.EXE"},
        {"compressed name given", {}, {"expand", "_SETUP.EXE"},
         "vxpack: __SETUP.EXE: does not exist (expand takes the expanded name: for _SETUP.EXE "
         "give SETUP.EXE)\n",
         nullptr},
        {"invalid stream", {{"_BAD.TXT", "hello, world\n"}, {"BAD.TXT", "old"}},
         {"expand", "BAD.TXT"},
         "vxpack: _BAD.TXT: is not a compressed file: its LZW stream is not valid\n", "BAD.TXT"},
        {"stream cut short", {{"_CUT.TXT", stream_of_abc.substr(0, 2)}}, {"expand", "CUT.TXT"},
         "vxpack: _CUT.TXT: cannot be read, or ends too early\n", "CUT.TXT"},
        {"no command", {}, {}, nullptr, nullptr},
    };
    for (const row &r : rows) {
        SCOPED_TRACE(r.what);
        for (const auto &f : r.files)
            spit(dir / f.first, f.second);
        run_result res = run(r.args);
        if (r.error == nullptr) {
            EXPECT_EQ(res.code, 2);
            EXPECT_NE(res.err, "");
            continue;
        }
        EXPECT_EQ(res.code, 1);
        EXPECT_EQ(res.err, r.error);
        EXPECT_EQ(res.out, "");
        if (r.untouched != nullptr) {
            fs::path p = dir / r.untouched;
            if (fs::exists(p)) {
                EXPECT_EQ(slurp(p), "old");
            }
        }
        for (const auto &f : r.files)
            fs::remove(dir / f.first);
    }
    expect_no_temporaries();
}

TEST_F(VxpackCli, SubstituteFillsInTokensOrSaysWhichHasNoValue)
{
    spit(dir / "vars.ini", "[Other]\nUSER=nobody\n[Variables]\nUSER=admin\nHOME=D:\\VX\n");
    struct row {
        const char *what;
        std::string input;
        std::vector<std::string> options;
        const char *output; /* null: the run fails */
        const char *error;  /* the whole of standard error */
    } rows[] = {
        {"set and doubled percent", "home=%HOME%\r\n100%% sure\n", {"--set", "HOME=C:\\V"},
         "home=C:\\V\r\n100% sure\n", ""},
        {"names compare without letter case", "%home%", {"--set", "HOME=x"}, "x", ""},
        {"the last --set wins", "%A%", {"--set", "A=1", "--set", "A=2"}, "2", ""},
        {"values from --vars, --set before them", "%USER%@%HOME%",
         {"--vars", "vars.ini", "--set", "HOME=C:"}, "admin@C:", ""},
        {"an empty value", "[%E%]", {"--set", "E="}, "[]", ""},
        {"keep unknown", "x %NOPE% y", {"--keep-unknown"}, "x %NOPE% y", ""},
        {"unknown token", "line one\nx %NOPE% y\n", {"--set", "A=1"}, nullptr,
         "vxpack: T.IN: line 2, column 3: %NOPE% has no value (give --set NOPE=VALUE, or "
         "--keep-unknown to leave it as it stands)\n"},
        {"token never closed", "a\nb %HOME", {"--set", "HOME=1"}, nullptr,
         "vxpack: T.IN: line 2, column 3: a % opens a token that the file never closes (write "
         "%% for a percent sign)\n"},
        {"a lone % at the end", "abc%", {}, nullptr,
         "vxpack: T.IN: line 1, column 4: a % opens a token that the file never closes (write "
         "%% for a percent sign)\n"},
        {"a name too long", "%" + std::string(1024, 'N') + "%", {"--keep-unknown"}, nullptr,
         "vxpack: T.IN: a token's name is longer than 1023 characters (a % that should be "
         "%%?)\n"},
        {"a token across lines is told on one line", "a %FOO\nX\nBAR% b", {}, nullptr,
         "vxpack: T.IN: line 1, column 3: %FOO\\nX\\nBAR% has no value, and --set cannot name "
         "it (write %% for a percent sign that opens no token, or give --keep-unknown)\n"},
        {"a token --set cannot give", "%A=B%", {}, nullptr,
         "vxpack: T.IN: line 1, column 1: %A=B% has no value, and --set cannot name it (write "
         "%% for a percent sign that opens no token, or give --keep-unknown)\n"},
        {"the advice works", "50 %% off", {}, "50 % off", ""},
        {"a missing --vars file", "x", {"--vars", "none.ini"}, nullptr,
         "vxpack: none.ini: does not exist\n"},
    };
    for (const row &r : rows) {
        SCOPED_TRACE(r.what);
        spit(dir / "T.IN", r.input);
        spit(dir / "T.OUT", "old");
        std::vector<std::string> args = {"substitute", "T.IN", "T.OUT"};
        args.insert(args.end(), r.options.begin(), r.options.end());
        run_result res = run(args);
        EXPECT_EQ(res.err, r.error);
        if (r.output != nullptr) {
            EXPECT_EQ(res.code, 0);
            EXPECT_EQ(slurp(dir / "T.OUT"), r.output);
        } else {
            EXPECT_EQ(res.code, 1);
            EXPECT_EQ(slurp(dir / "T.OUT"), "old");
        }
    }
    run_result same = run({"substitute", "T.IN", "./T.IN"});
    EXPECT_EQ(same.code, 1);
    EXPECT_EQ(same.err, "vxpack: ./T.IN: is the input itself: write the result to another file\n");
    expect_no_temporaries();
}

TEST_F(VxpackCli, CommandLineMistakesAreUsageErrors)
{
    /* One line each, naming what is wrong and where the usage is; exit 2. */
    struct row {
        std::vector<std::string> args;
        std::string names; /* what the line must name */
        std::string help;  /* the --help it points to */
    } rows[] = {
        {{"frobnicate"}, "frobnicate is not a command", "vxpack --help"},
        {{"-q", "frobnicate", "x"}, "frobnicate is not a command", "vxpack --help"},
        {{}, "subcommand", "vxpack --help"},
        {{"compress"}, "FILE", "vxpack compress --help"},
        {{"--bogus", "compress", "A"}, "--bogus", "vxpack compress --help"},
        {{"compress", "A", "--bogus"}, "--bogus", "vxpack compress --help"},
        {{"substitute", "IN"}, "OUT", "vxpack substitute --help"},
        {{"split", "A", "--label", "DISK", "--volume-size", "12Q"}, "--volume-size 12Q",
         "vxpack split --help"},
        {{"split", "A", "--label", "DISK", "--limits", "5,x"}, "\"x\"", "vxpack split --help"},
        {{"split", "A", "--label", "DI.SK"}, "--label DI.SK", "vxpack split --help"},
        {{"split", "A", "--label", "LONGLABEL10"}, "--label LONGLABEL10", "vxpack split --help"},
        {{"join", "A", "--label", "two words"}, "--label two words", "vxpack join --help"},
        {{"split", "A", "--volumes", "."}, "--label", "vxpack split --help"},
        {{"substitute", "IN", "OUT", "--set", "A"}, "--set A: give NAME=VALUE",
         "vxpack substitute --help"},
    };
    for (const row &r : rows)
        expect_usage_error(r.args, r.names, r.help);
    run_result help = run({"compress", "--help"});
    EXPECT_EQ(help.code, 0);
    EXPECT_NE(help.out.find("Usage: vxpack compress"), std::string::npos) << help.out;
    /* The tool's own options count wherever they stand. */
    spit(dir / "A.TXT", "aaaa");
    run_result quiet = run({"compress", "A.TXT", "--quiet"});
    EXPECT_EQ(quiet.code, 0);
    EXPECT_EQ(quiet.out, "");
}

/* A folder named where a file belongs is told as a folder, never as missing. */
TEST_F(VxpackCli, AFolderGivenAsAFileIsToldAsAFolder)
{
    fs::create_directories(dir / "D" / "sub");
    spit(dir / "T.IN", "x");
    for (const std::vector<std::string> &args : std::vector<std::vector<std::string>>{
             {"compress", "D"},
             {"expand", "D"},
             {"substitute", "D", "OUT"},
             {"substitute", "T.IN", "D"},
             {"split", "D", "--label", "DISK", "--volumes", "."},
             {"join", "X", "--label", "DISK", "--volumes", ".", "-o", "D"},
         }) {
        SCOPED_TRACE(args[0] + " " + args[1]);
        run_result r = run(args);
        EXPECT_EQ(r.code, 1);
        EXPECT_EQ(r.err, "vxpack: D: is a folder\n");
    }
    EXPECT_TRUE(fs::is_directory(dir / "D" / "sub"));
    /* A drive named on Linux: said once, its colon not doubled, and a usage error. */
    run_result drive = run({"list", "--drive", "A:"});
    EXPECT_EQ(drive.code, 2);
    EXPECT_EQ(drive.err, "vxpack: --drive is for vxpack.exe on Windows; here the volumes are "
                         "folders: give --volumes DIR (vxpack list --help shows the usage)\n");
}

TEST_F(VxpackCli, TraceListsThePlatformCalls)
{
    spit(dir / "A.TXT", "aaaa");
    run_result r = run({"--trace", "compress", "A.TXT"});
    ASSERT_EQ(r.code, 0);
    EXPECT_NE(r.err.find("fopen"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("MoveFileExA"), std::string::npos) << r.err;
    /* A split asks for its volumes and labels them through the platform. */
    run_result s = run({"--trace", "split", "A.TXT", "--label", "DISK", "--volumes", "."});
    ASSERT_EQ(s.code, 0) << s.err;
    EXPECT_NE(s.err.find("GetVolumeInformationA"), std::string::npos) << s.err;
    EXPECT_NE(s.err.find("SetVolumeLabelA"), std::string::npos) << s.err;
}

TEST_F(VxpackCli, CheckFindsWhatWouldSurpriseTheAdministrator)
{
    run_result clean = run({"check", std::string(VX_SOURCE_DIR) + "/examples/office/server/APPS/VORNEX",
                            "--clients", std::string(VX_SOURCE_DIR) + "/examples/office/server/CLIENTS"});
    EXPECT_EQ(clean.code, 0) << clean.out;
    EXPECT_NE(clean.out.find("nothing found"), std::string::npos);

    spit(dir / "home" / "VXINST" / "vcsm.ini", "[Vornex]\r\nHOST_MACHINE=SRV\r\n");
    spit(dir / "home" / "VXINST" / "CLIENTS.INI",
         "[A]\nTIMESTAMP=2024-03-01\n[B]\nTIMESTAMP=\n[a]\nTIMESTAMP=1\n"
         "[C]\nTIMESTAMP=1.2\nTIMESTAMP=1.3\n[D]\nOTHER=1\n[E]\nTIMESTAMP=3,2,2\n");
    spit(dir / "clients" / "newclnts.ini", "[E]\nTIMESTAMP=3.2.3\n[F]\nTIMESTAMP=1\n");
    run_result r = run({"check", "home", "--clients", "clients"});
    EXPECT_EQ(r.code, 1);
    const char *expected[] = {
        "home/vxinst/VCSM.ini:1: [Vornex]: BACKUP is missing or empty; every client fails "
        "before it is checked, and one started from its own disk shows \"An unknown error has "
        "occured, please try again or contact Vornex Support\"",
        "home/vxinst/clients.ini:2: [A]: TIMESTAMP \"2024-03-01\" is compared only as far as "
        "\"2024-\"",
        "home/vxinst/clients.ini:3: [B]: the client's TIMESTAMP is empty: it is not registered "
        "by this list",
        "home/vxinst/clients.ini:5: [a]: the client is listed a second time (first at line 1): "
        "the agent reads only the first section",
        "home/vxinst/clients.ini:9: [C]: TIMESTAMP is given a second time (first at line 8)",
        "home/vxinst/clients.ini:10: [D]: the client's section has no TIMESTAMP",
        "clients/newclnts.ini:1: [E]: the client is also in home/vxinst/clients.ini (line 12, "
        "TIMESTAMP \"3,2,2\"), which the agent asks first: this entry is never read",
        "home/bin/vxinst.exe: is missing",
        "8 findings",
    };
    std::istringstream lines(r.out);
    std::string line;
    size_t i = 0;
    while (std::getline(lines, line)) {
        ASSERT_LT(i, sizeof expected / sizeof expected[0]) << line;
        EXPECT_EQ(line.rfind(expected[i], 0), 0u) << line;
        i++;
    }
    EXPECT_EQ(i, sizeof expected / sizeof expected[0]) << r.out;

    /* A client list large enough to slow every log-on. */
    std::string many;
    for (int i = 0; many.size() <= 65536; i++)
        many += "[CLIENT" + std::to_string(i) + "]\r\nTIMESTAMP=3.2.2\r\n";
    spit(dir / "big" / "vxinst" / "VCSM.ini", "[Vornex]\r\nHOST_MACHINE=SRV\r\nBACKUP=B\r\n");
    spit(dir / "big" / "vxinst" / "clients.ini", many);
    spit(dir / "big" / "bin" / "vxinst.exe", "MZ");
    run_result big = run({"check", "big"});
    EXPECT_EQ(big.code, 1);
    EXPECT_NE(big.out.find("big/vxinst/clients.ini: is 64.0 KB: every client reads it from "
                           "the server at each log-on, so a list this long slows log-on"),
              std::string::npos)
        << big.out;

    run_result missing = run({"check", "nowhere"});
    EXPECT_EQ(missing.code, 1);
    EXPECT_EQ(missing.err, "vxpack: nowhere: no such folder\n");
}

TEST_F(VxpackCli, CheckWithoutSettingsOrListsSaysSo)
{
    fs::create_directories(dir / "home" / "bin");
    spit(dir / "home" / "bin" / "vxinst.exe", "MZ");
    run_result r = run({"check", "home"});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.out.find("home/vxinst/VCSM.ini: is missing: every client fails"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("home/vxinst/clients.ini: is missing: a client is registered only by "
                         "the new-client list newclnts.ini"),
              std::string::npos)
        << r.out;
}

} // namespace
