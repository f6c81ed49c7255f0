/* The built vxpack on values and names longer than the library's fixed buffers: taken whole,
 * or refused with the file and line, never cut without a word. */
#include "vxpack_cli_testing.h"

namespace {

using VxpackCuts = VxpackCliTest;

TEST_F(VxpackCuts, AVarsValueIsTakenWholeOrRefusedWithItsLine)
{
    const std::string fits(1023, 'v'), over(1024, 'w'), far_over(70000, 'x');
    spit(dir / "vars.ini", "[Other]\nLONG=" + over + "\n[Variables]\nFITS=" + fits +
                               "\nQUOTED=\"" + fits + "\"\nLONG=" + over + "\nFAR=" + far_over +
                               "\n");
    struct row {
        const char *what;
        std::string input;
        std::vector<std::string> options;
        std::string output; /* "" : the run fails */
        std::string error;
    } rows[] = {
        {"1023 characters fit", "[%FITS%]", {}, "[" + fits + "]", ""},
        {"quotes do not count", "[%QUOTED%]", {}, "[" + fits + "]", ""},
        {"1024 characters are refused", "a\n %LONG%", {}, "",
         "vxpack: vars.ini: line 6: the value of LONG is longer than 1023 characters (%LONG% at "
         "T.IN line 2, column 2)\n"},
        {"longer than the profile call's buffer", "%FAR%", {}, "",
         "vxpack: vars.ini: line 7: the value of FAR is longer than 1023 characters (%FAR% at "
         "T.IN line 1, column 1)\n"},
        {"a --set before it wins", "%LONG%", {"--set", "LONG=short"}, "short", ""},
        {"a long --set is still told as before", "%S%", {"--set", "S=" + over}, "",
         "vxpack: T.IN: line 1, column 1: %S%: its value is longer than 1023 characters\n"},
    };
    for (const row &r : rows) {
        SCOPED_TRACE(r.what);
        spit(dir / "T.IN", r.input);
        spit(dir / "T.OUT", "old");
        std::vector<std::string> args = {"substitute", "T.IN", "T.OUT", "--vars", "vars.ini"};
        args.insert(args.end(), r.options.begin(), r.options.end());
        run_result res = run(args);
        EXPECT_EQ(res.err, r.error);
        EXPECT_EQ(res.code, r.output.empty() ? 1 : 0);
        EXPECT_EQ(slurp(dir / "T.OUT"), r.output.empty() ? "old" : r.output);
    }
    expect_no_temporaries();
}

/* --keep-unknown copies a token as it stands, through the same 1,024-byte value buffer. */
TEST_F(VxpackCuts, ATokenTooLongToKeepIsToldSo)
{
    for (size_t n : {1021, 1022, 1023}) {
        SCOPED_TRACE(n);
        std::string token = "%" + std::string(n, 'N') + "%";
        spit(dir / "T.IN", "x\n" + token);
        spit(dir / "T.OUT", "old");
        run_result r = run({"substitute", "T.IN", "T.OUT", "--keep-unknown"});
        if (n == 1021) {
            EXPECT_EQ(r.code, 0) << r.err;
            EXPECT_EQ(slurp(dir / "T.OUT"), "x\n" + token);
            continue;
        }
        EXPECT_EQ(r.code, 1);
        EXPECT_EQ(r.err, "vxpack: T.IN: line 2, column 1: a token of " +
                             std::to_string(n + 2) +
                             " characters has no value and is too long to keep as it stands "
                             "(1023 at most; a % that should be %%?)\n");
        EXPECT_EQ(slurp(dir / "T.OUT"), "old");
    }
}

TEST_F(VxpackCuts, TheVarsFileIsNeverTheOutput)
{
    spit(dir / "T.IN", "%A%");
    spit(dir / "vars.ini", "[Variables]\nA=1\n");
    run_result r = run({"substitute", "T.IN", "vars.ini", "--vars", "./vars.ini"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "vxpack: vars.ini: is the --vars file itself: write the result to another "
                     "file\n");
    EXPECT_EQ(slurp(dir / "vars.ini"), "[Variables]\nA=1\n");
}

} // namespace
