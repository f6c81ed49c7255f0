/* vxpack stopped by a real signal part-way through a copy: the temporaries and whatever the
 * run wrote go, nothing stands under a final name, and the run ends of the signal (the shell
 * shows 128 + its number). A split stopped so leaves no set that list calls complete or join
 * reads back. */
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <thread>

#include "vxpack_cli_testing.h"

namespace {

class Interrupted : public VxpackCliTest {
protected:
    /* The built vxpack started in the test's folder, its output discarded. */
    pid_t start(const std::vector<std::string> &args)
    {
        pid_t pid = fork();
        if (pid == 0) {
            if (chdir(dir.c_str()) != 0)
                _exit(127);
            FILE *null = fopen("/dev/null", "w");
            dup2(fileno(null), 1);
            dup2(fileno(null), 2);
            std::vector<char *> argv{(char *)VXPACK_PROGRAM};
            for (const std::string &a : args)
                argv.push_back((char *)a.c_str());
            argv.push_back(nullptr);
            execv(VXPACK_PROGRAM, argv.data());
            _exit(127);
        }
        return pid;
    }

    /* Whether ready() came true while the run still went on (polled for up to 20 s). */
    static bool wait_until(pid_t pid, const std::function<bool()> &ready)
    {
        auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (std::chrono::steady_clock::now() < end) {
            if (ready())
                return waitpid(pid, nullptr, WNOHANG) == 0;
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        return false;
    }

    /* A temporary of vxpack's below the test's folder that has bytes in it: a copy under way. */
    bool copy_under_way()
    {
        std::error_code ec;
        for (fs::recursive_directory_iterator it(dir, ec), end; it != end; it.increment(ec))
            if (it->path().filename().string().rfind("~VXP", 0) == 0 &&
                fs::file_size(it->path(), ec) > 0 && !ec)
                return true;
        return false;
    }

    /* Start args, send signo once ready() holds, and see the run end of it. */
    void interrupt(const std::vector<std::string> &args, int signo,
                   const std::function<bool()> &ready)
    {
        pid_t pid = start(args);
        ASSERT_GT(pid, 0);
        bool caught = wait_until(pid, ready);
        kill(pid, signo);
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(caught) << "the run ended before it could be interrupted";
        ASSERT_TRUE(WIFSIGNALED(status)) << "exit status " << WEXITSTATUS(status);
        EXPECT_EQ(WTERMSIG(status), signo);
    }

    /* A file of zeros that takes the tools a while to read, and no disk space. */
    void zeros(const std::string &name, uintmax_t size)
    {
        spit(dir / name, "");
        fs::resize_file(dir / name, size);
    }
};

/* Every command that writes one file, each stopped mid-copy by one of the signals. */
TEST_F(Interrupted, NoTemporaryAndNoOutputStandAfterASignal)
{
    zeros("BIG.BIN", 256u << 20);
    zeros("BIG.TPL", 256u << 20);
    fs::create_directories(dir / "packed");
    zeros("MID.BIN", 24u << 20);
    ASSERT_EQ(run({"-q", "compress", "-o", "packed", "MID.BIN"}).code, 0);
    fs::create_directories(dir / "set");
    ASSERT_EQ(run({"-q", "split", "MID.BIN", "--label", "SET", "--volumes", "set",
                   "--volume-size", "12M"}).code, 0);
    struct Row {
        const char *what;
        std::vector<std::string> args;
        int signo;
        const char *output;
    } rows[] = {
        {"compress", {"-q", "compress", "BIG.BIN"}, SIGINT, "_BIG.BIN"},
        {"expand", {"-q", "expand", "-o", "out", "packed/MID.BIN"}, SIGTERM, "out/MID.BIN"},
        {"substitute", {"-q", "substitute", "BIG.TPL", "BIG.OUT"}, SIGHUP, "BIG.OUT"},
        {"join", {"-q", "join", "MID.BIN", "--label", "SET", "--volumes", "set", "-o", "J.BIN"},
         SIGINT, "J.BIN"},
    };
    fs::create_directories(dir / "out");
    for (const Row &r : rows) {
        SCOPED_TRACE(r.what);
        interrupt(r.args, r.signo, [&] { return copy_under_way(); });
        EXPECT_FALSE(fs::exists(dir / r.output));
        expect_no_temporaries();
    }
}

/* A split stopped while it writes its second piece: the first piece, the piece cut short and
 * the labelled folders the run made are gone, so list sees no set and join fails. */
TEST_F(Interrupted, AnInterruptedSplitLeavesNoSet)
{
    zeros("A.BIN", 96u << 20);
    fs::create_directories(dir / "set");
    interrupt({"-q", "split", "A.BIN", "--label", "SET", "--volumes", "set", "--volume-size",
               "32M"},
              SIGTERM, [&] {
                  std::error_code ec;
                  return fs::file_size(dir / "set" / "SET2" / "2.BIN", ec) > 0 && !ec;
              });
    EXPECT_TRUE(fs::is_empty(dir / "set")) << "the run's volume folders stay";
    run_result join = run({"join", "A.BIN", "--label", "SET", "--volumes", "set", "-o",
                           "J.BIN"});
    EXPECT_EQ(join.code, 1) << join.err;
    EXPECT_FALSE(fs::exists(dir / "J.BIN"));
    EXPECT_EQ(run({"list", "--volumes", "set"}).out.find(": complete"), std::string::npos);
}

} // namespace
