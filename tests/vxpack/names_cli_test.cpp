/* The built vxpack on names that mean something else to a Windows workstation: letter case,
 * folders, FIFOs, devices and sockets, and two files of one run that would make one output. */
#include "vxpack_cli_testing.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <map>

namespace {

class VxpackNames : public VxpackCliTest {
protected:
    /* A shell command line run in the test's folder, stopped after 20 s (exit 124): a FIFO
     * that blocks fails the test instead of hanging it. */
    run_result shell(const std::string &line)
    {
        std::string cmd = "cd " + quote(dir.string()) + " && timeout 20 sh -c " +
                          quote(line) + " >.out 2>.err";
        int status = std::system(cmd.c_str());
        run_result r{WIFEXITED(status) ? WEXITSTATUS(status) : -1, slurp(dir / ".out"),
                     slurp(dir / ".err")};
        fs::remove(dir / ".out");
        fs::remove(dir / ".err");
        return r;
    }

    std::string vxpack(const std::vector<std::string> &args)
    {
        std::string line = quote(VXPACK_PROGRAM);
        for (const std::string &a : args)
            line += " " + quote(a);
        return line;
    }

    /* Every file below the test's folder with its bytes (folders as "<folder>"), so that a
     * refused run can be shown to have changed nothing. */
    std::map<std::string, std::string> snapshot()
    {
        std::map<std::string, std::string> files;
        for (const auto &e : fs::recursive_directory_iterator(dir)) {
            std::string rel = fs::relative(e.path(), dir).string();
            files[rel] = e.is_regular_file() ? slurp(e.path())
                         : e.is_directory()  ? "<folder>"
                                             : "<other>";
        }
        return files;
    }
};

/* On a case-sensitive host a name means exactly the file spelled so; where only another
 * spelling exists the run is refused, naming both, and changes nothing. */
TEST_F(VxpackNames, ANameMeansTheFileSpelledSo)
{
    const std::string clash = " does, and Windows takes names that differ only in letter case "
                              "for one: rename one of them, or give the name as it is spelled\n";
    struct row {
        const char *what;
        std::vector<std::pair<std::string, std::string>> files;
        std::vector<std::string> args;
        std::string error;
    } rows[] = {
        {"substitute's output",
         {{"in.tpl", "%A%"}, {"Notes.txt", "keep"}},
         {"substitute", "in.tpl", "notes.txt", "--set", "A=1"},
         "vxpack: notes.txt: names no file here, but Notes.txt" + clash},
        {"substitute's input",
         {{"In.tpl", "%A%"}},
         {"substitute", "in.tpl", "out.txt", "--set", "A=1"},
         "vxpack: in.tpl: names no file here, but In.tpl" + clash},
        {"a --vars file",
         {{"in.tpl", "%A%"}, {"Vars.ini", "[Variables]\nA=1\n"}},
         {"substitute", "in.tpl", "out.txt", "--vars", "vars.ini"},
         "vxpack: vars.ini: names no file here, but Vars.ini" + clash},
        {"compress's input",
         {{"kit/Setup.exe", "setup"}},
         {"compress", "kit/setup.exe"},
         "vxpack: kit/setup.exe: names no file here, but kit/Setup.exe" + clash},
        {"a compressed name vxpack derives",
         {{"kit/a.txt", "aaaa"}, {"kit/_A.TXT", "keep"}},
         {"compress", "kit/a.txt"},
         "vxpack: kit/_a.txt: names no file here, but kit/_A.TXT" + clash},
        {"expand's compressed input",
         {{"_A.TXT", "keep"}},
         {"expand", "a.txt"},
         "vxpack: _a.txt: names no file here, but _A.TXT" + clash},
        {"expand's output",
         {{"_a.txt", "keep"}, {"out/A.TXT", "keep"}},
         {"expand", "a.txt", "-o", "out"},
         "vxpack: out/a.txt: names no file here, but out/A.TXT" + clash},
        {"a trailing full stop Windows would drop",
         {{"A.TXT", "keep"}},
         {"compress", "A.TXT."},
         "vxpack: A.TXT.: a Windows file name cannot end in a full stop or a blank\n"},
    };
    for (const row &r : rows) {
        SCOPED_TRACE(r.what);
        fs::remove_all(dir);
        fs::create_directories(dir);
        for (const auto &f : r.files)
            spit(dir / f.first, f.second);
        std::map<std::string, std::string> before = snapshot();
        run_result res = run(r.args);
        EXPECT_EQ(res.code, 1);
        EXPECT_EQ(res.err, r.error);
        EXPECT_EQ(snapshot(), before);
    }
}

TEST_F(VxpackNames, TheExactSpellingWinsOverAnother)
{
    spit(dir / "Notes.txt", "upper");
    spit(dir / "notes.txt", "lower");
    spit(dir / "in.tpl", "%A%");
    run_result r = run({"substitute", "in.tpl", "notes.txt", "--set", "A=new"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(slurp(dir / "notes.txt"), "new");
    EXPECT_EQ(slurp(dir / "Notes.txt"), "upper");

    r = run({"compress", "Notes.txt"});
    ASSERT_EQ(r.code, 0) << r.err;
    fs::create_directories(dir / "out");
    r = run({"expand", "Notes.txt", "-o", "out"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(slurp(dir / "out" / "Notes.txt"), "upper");
    EXPECT_FALSE(fs::exists(dir / "_notes.txt"));

    /* A join's output is the user's name too. */
    spit(dir / "A.BIN", sample("noise", 3000));
    fs::create_directories(dir / "vols");
    ASSERT_EQ(run({"split", "A.BIN", "--label", "DISK", "--volumes", "vols"}).code, 0);
    spit(dir / "Joined.bin", "keep");
    r = run({"join", "A.BIN", "--label", "DISK", "--volumes", "vols", "-o", "joined.bin"});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("joined.bin: names no file here, but Joined.bin does"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(slurp(dir / "Joined.bin"), "keep");
    EXPECT_FALSE(fs::exists(dir / "joined.bin"));
    expect_no_temporaries();
}

/* A folder, FIFO, device or socket as an input or an output: refused before anything is
 * opened, so a FIFO never blocks and nothing is made beside a device. */
TEST_F(VxpackNames, WhatIsNotARegularFileIsRefusedUpFront)
{
    spit(dir / "in.tpl", "%A%");
    spit(dir / "vars.ini", "[Variables]\nA=1\n");
    fs::create_directories(dir / "folder");
    fs::create_directories(dir / "out" / "_A.TXT");
    spit(dir / "A.TXT", "aaaa");
    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
    fs::create_directories(dir / "home" / "vxinst");
    ASSERT_EQ(mkfifo((dir / "home" / "vxinst" / "clients.ini").c_str(), 0600), 0);
    spit(dir / "home2" / "vxinst" / "clients.ini", "[A]\nTIMESTAMP=1\n");
    fs::create_directories(dir / "clients");
    ASSERT_EQ(mkfifo((dir / "clients" / "newclnts.ini").c_str(), 0600), 0);
    fs::create_symlink("/dev/null", dir / "device");
    int sock = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(sock, 0);
    struct sockaddr_un addr = {};
    addr.sun_family = AF_UNIX;
    snprintf(addr.sun_path, sizeof addr.sun_path, "%s", (dir / "socket").c_str());
    ASSERT_EQ(bind(sock, (struct sockaddr *)&addr, sizeof addr), 0);

    const std::string folder = ": is a folder\n", other = ": is not a regular file\n";
    struct row {
        const char *what;
        std::vector<std::string> args;
        std::string error;
    } rows[] = {
        {"folder to compress", {"compress", "folder"}, "vxpack: folder" + folder},
        {"FIFO to compress", {"compress", "fifo"}, "vxpack: fifo" + other},
        {"device to compress", {"compress", "device"}, "vxpack: device" + other},
        {"socket to compress", {"compress", "socket"}, "vxpack: socket" + other},
        {"FIFO to substitute", {"substitute", "fifo", "x.txt"}, "vxpack: fifo" + other},
        {"FIFO as --vars", {"substitute", "in.tpl", "x.txt", "--vars", "fifo"},
         "vxpack: fifo" + other},
        {"folder as output", {"substitute", "in.tpl", "folder", "--set", "A=1"},
         "vxpack: folder" + folder},
        {"FIFO as output", {"substitute", "in.tpl", "fifo", "--set", "A=1"},
         "vxpack: fifo" + other},
        {"device as output", {"substitute", "in.tpl", "device", "--set", "A=1"},
         "vxpack: device" + other},
        {"a folder under the compressed name", {"compress", "A.TXT", "-o", "out"},
         "vxpack: out/_A.TXT" + folder},
        {"FIFO to split", {"split", "fifo", "--label", "DISK", "--volumes", "out"},
         "vxpack: fifo" + other},
        {"FIFO as join's output", {"join", "A.TXT", "--label", "DISK", "--volumes", "out", "-o",
                                   "fifo"},
         "vxpack: fifo" + other},
        {"FIFO as the client list", {"check", "home"},
         "vxpack: home/vxinst/clients.ini" + other},
        {"FIFO as the new-client list", {"check", "home2", "--clients", "clients"},
         "vxpack: clients/newclnts.ini" + other},
    };
    std::map<std::string, std::string> before = snapshot();
    for (const row &r : rows) {
        SCOPED_TRACE(r.what);
        run_result res = shell(vxpack(r.args));
        EXPECT_EQ(res.code, 1);
        EXPECT_EQ(res.err, r.error);
        EXPECT_EQ(snapshot(), before);
    }
    close(sock);
}

/* /dev/stdin is a FIFO, a terminal or (redirected) a file in /dev: whichever, nothing is
 * made in /dev. */
TEST_F(VxpackNames, NothingIsMadeInTheSystemsFolders)
{
    spit(dir / "A.TXT", "aaaa");
    const std::string system = ", which holds the system's own files: vxpack reads and makes "
                               "no files there\n";
    struct row {
        const char *what;
        std::string line;
        std::string error;
        const char *never; /* a file the run must not make */
    } rows[] = {
        {"a pipe", "echo x | " + vxpack({"compress", "/dev/stdin"}),
         "vxpack: /dev/stdin: is not a regular file\n", "/dev/_stdin"},
        {"a file on standard input", vxpack({"compress", "/dev/stdin"}) + " <A.TXT",
         "vxpack: /dev/stdin: lies in /dev" + system, "/dev/_stdin"},
        {"an output folder of the system", vxpack({"compress", "A.TXT", "-o", "/proc"}),
         "vxpack: /proc/_A.TXT: lies in /proc" + system, "/proc/_A.TXT"},
        {"volumes in a folder of the system",
         vxpack({"split", "A.TXT", "--label", "VXPTEST", "--volumes", "/dev"}),
         "vxpack: /dev: lies in /dev" + system, "/dev/VXPTEST1"},
    };
    for (const row &r : rows) {
        SCOPED_TRACE(r.what);
        run_result res = shell(r.line);
        EXPECT_EQ(res.code, 1);
        EXPECT_EQ(res.err, r.error);
        EXPECT_FALSE(fs::exists(r.never));
        std::error_code ignored;
        fs::remove_all(r.never, ignored); /* tests run as root: leave the machine as found */
    }
}

/* Two files of one run that would make one output, or one that would replace another's
 * input: the run is refused before anything is written. */
TEST_F(VxpackNames, TwoInputsOfOneRunNeverMakeOneOutput)
{
    spit(dir / "a" / "X.TXT", "first");
    spit(dir / "b" / "X.TXT", "second");
    spit(dir / "b" / "x.txt", "third");
    spit(dir / "A.TXT", "aaaa");
    spit(dir / "_A.TXT", "bbbb");
    fs::create_directories(dir / "out");
    const std::string nothing = ": give them in two runs, or into two folders; nothing was "
                                "written\n";
    struct row {
        const char *what;
        std::vector<std::string> args;
        std::string error;
    } rows[] = {
        {"one name from two folders", {"compress", "a/X.TXT", "b/X.TXT", "-o", "out"},
         "vxpack: b/X.TXT: compresses to out/_X.TXT, as a/X.TXT does" + nothing},
        {"names that differ in case", {"compress", "a/X.TXT", "b/x.txt", "-o", "out"},
         "vxpack: b/x.txt: compresses to out/_x.txt, as a/X.TXT does" + nothing},
        {"one file twice", {"compress", "A.TXT", "./A.TXT", "-o", "out"},
         "vxpack: ./A.TXT: compresses to out/_A.TXT, as A.TXT does" + nothing},
        {"an output that is another input", {"compress", "A.TXT", "_A.TXT"},
         "vxpack: A.TXT: compresses to _A.TXT, which this run reads for _A.TXT: give them in "
         "two runs; nothing was written\n"},
        {"two expansions", {"expand", "a/Y.TXT", "b/Y.TXT", "-o", "out"},
         "vxpack: b/Y.TXT: expands to out/Y.TXT, as a/Y.TXT does" + nothing},
    };
    spit(dir / "a" / "_Y.TXT", "");
    spit(dir / "b" / "_Y.TXT", "");
    std::map<std::string, std::string> before = snapshot();
    for (const row &r : rows) {
        SCOPED_TRACE(r.what);
        run_result res = run(r.args);
        EXPECT_EQ(res.code, 1);
        EXPECT_EQ(res.err, r.error);
        EXPECT_EQ(snapshot(), before);
    }
}

} // namespace
