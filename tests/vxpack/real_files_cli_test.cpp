/* vxpack on Linux reads the files a user really has: one only readable (its write bits off), a
 * program that is running (which no process may open for writing, root included), and one
 * another program holds open for writing. Windows reads all three through msvcrt's fopen
 * "rb", which asks only to read and lets other handles read and write. */
#include "vxpack_cli_testing.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

class VxpackRealFiles : public VxpackCliTest {
protected:
    /* compress, expand, split and join of kit/name: every step gives the bytes back. */
    void round_trip(const std::string &name, const std::string &packed)
    {
        std::string bytes = slurp(dir / "kit" / name);
        run_result c = run({"compress", "kit/" + name});
        ASSERT_EQ(c.code, 0) << c.err;
        fs::create_directories(dir / "out");
        run_result e = run({"expand", "-o", "out", "kit/" + name});
        ASSERT_EQ(e.code, 0) << e.err;
        EXPECT_EQ(slurp(dir / "out" / name), bytes);

        fs::remove_all(dir / "vols");
        fs::create_directories(dir / "vols");
        run_result s = run({"split", "kit/" + name, "--label", "DISK", "--volumes", "vols",
                            "--volume-size", "16K"});
        ASSERT_EQ(s.code, 0) << s.err;
        run_result j = run({"join", name, "--label", "DISK", "--volumes", "vols", "-o",
                            "joined.bin"});
        ASSERT_EQ(j.code, 0) << j.err;
        EXPECT_EQ(slurp(dir / "joined.bin"), bytes);
        fs::remove(dir / "joined.bin");
        fs::remove(dir / "kit" / packed);
        expect_no_temporaries();
    }
};

TEST_F(VxpackRealFiles, AReadOnlyFileGoesThroughCompressSplitAndJoin)
{
    spit(dir / "kit" / "SETUP.EXE", sample("text", 30000) + sample("noise", 20000));
    fs::permissions(dir / "kit" / "SETUP.EXE", fs::perms::owner_read | fs::perms::group_read |
                                                   fs::perms::others_read);
    round_trip("SETUP.EXE", "_SETUP.EXE");
    EXPECT_EQ(fs::status(dir / "kit" / "SETUP.EXE").permissions() & fs::perms::owner_write,
              fs::perms::none)
        << "the source is left as it was";
}

TEST_F(VxpackRealFiles, ARunningProgramGoesThroughCompressSplitAndJoin)
{
    fs::create_directories(dir / "kit");
    fs::path program = dir / "kit" / "PROG.EXE";
    ASSERT_TRUE(fs::copy_file("/bin/sleep", program));
    fs::permissions(program, fs::perms::owner_all);
    std::string path = program.string();
    char *argv[] = {&path[0], (char *)"30", NULL};
    pid_t child;
    ASSERT_EQ(posix_spawn(&child, path.c_str(), NULL, NULL, argv, environ), 0);
    /* The program is running once its image is mapped: opening it for writing then fails. */
    for (int i = 0; i < 200; i++) {
        std::string exe = "/proc/" + std::to_string(child) + "/exe";
        std::error_code ec;
        if (fs::read_symlink(exe, ec) == program)
            break;
        usleep(10000);
    }
    round_trip("PROG.EXE", "_PROG.EXE");
    kill(child, SIGKILL);
    waitpid(child, NULL, 0);
}

TEST_F(VxpackRealFiles, AFileAnotherProgramWritesIsReadAsItStands)
{
    std::string bytes = sample("runs", 40000);
    spit(dir / "kit" / "LOG.TXT", bytes);
    /* Held open for writing, as a program that logs holds its file: Windows' fopen shares
     * reading and writing, so vxpack reads what is there. */
    std::ofstream holder(dir / "kit" / "LOG.TXT", std::ios::binary | std::ios::app);
    ASSERT_TRUE(holder.is_open());
    round_trip("LOG.TXT", "_LOG.TXT");
}

} // namespace
