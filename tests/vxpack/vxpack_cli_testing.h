/* The built vxpack run on files a test makes: a fresh folder per test, the program's output
 * and exit code, whole-file helpers and sample bytes. */
#ifndef TESTS_VXPACK_VXPACK_CLI_TESTING_H
#define TESTS_VXPACK_VXPACK_CLI_TESTING_H

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

struct run_result {
    int code;
    std::string out;
    std::string err;
};

inline std::string slurp(const fs::path &p)
{
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

inline void spit(const fs::path &p, const std::string &bytes)
{
    fs::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out << bytes;
}

inline std::string quote(const std::string &s)
{
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

/* Bytes of every kind the codec meets: one byte, text, runs, noise that fills the table. */
inline std::string sample(const std::string &kind, size_t n)
{
    std::string s;
    std::mt19937 rng(12345);
    for (size_t i = 0; i < n; i++) {
        if (kind == "text")
            s += "The quick brown fox jumps over the lazy dog. "[i % 45];
        else if (kind == "runs")
            s += (char)('A' + (i / 1000) % 3);
        else
            s += (char)(rng() & 0xFF);
    }
    return s;
}

class VxpackCliTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char tmpl[] = "/tmp/vxpack-cli.XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
    }
    void TearDown() override { fs::remove_all(dir); }

    run_result run(const std::vector<std::string> &args, const std::string &input = "")
    {
        spit(dir / ".in", input);
        std::string cmd = "cd " + quote(dir.string()) + " && " + quote(VXPACK_PROGRAM);
        for (const std::string &a : args)
            cmd += " " + quote(a);
        cmd += " <.in >.out 2>.err";
        int status = std::system(cmd.c_str());
        run_result r{WIFEXITED(status) ? WEXITSTATUS(status) : -1, slurp(dir / ".out"),
                     slurp(dir / ".err")};
        fs::remove(dir / ".in");
        fs::remove(dir / ".out");
        fs::remove(dir / ".err");
        return r;
    }

    /* A usage error: exit 2 and one "vxpack: " line that names what was wrong (names) and
     * points to the help that shows the usage (help, such as "vxpack report --help"). */
    void expect_usage_error(const std::vector<std::string> &args, const std::string &names,
                            const std::string &help)
    {
        std::string shown;
        for (const std::string &a : args)
            shown += a + " ";
        SCOPED_TRACE(shown);
        run_result u = run(args);
        EXPECT_EQ(u.code, 2);
        EXPECT_EQ(u.err.rfind("vxpack: ", 0), 0u) << u.err;
        EXPECT_EQ(std::count(u.err.begin(), u.err.end(), '\n'), 1) << u.err;
        EXPECT_NE(u.err.find(names), std::string::npos) << u.err;
        EXPECT_NE(u.err.find("(" + help + " shows the usage)"), std::string::npos) << u.err;
        EXPECT_EQ(u.out, "");
    }

    /* No temporary file of vxpack's is left anywhere below the test's folder. */
    void expect_no_temporaries()
    {
        for (const auto &e : fs::recursive_directory_iterator(dir))
            EXPECT_EQ(e.path().filename().string().rfind("~VXP", 0), std::string::npos)
                << e.path();
    }

    fs::path dir;
};

#endif
