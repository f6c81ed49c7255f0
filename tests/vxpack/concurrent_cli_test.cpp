/* vxpack beside other processes: runs side by side in one folder each make exactly their own
 * output, and a file another process writes to while vxpack reads it gives no output. */
#include "vxpack_cli_testing.h"

namespace {

class ConcurrentRuns : public VxpackCliTest {};

/* Many real processes started at once compress files of their own into one folder, where each
 * writes under a temporary name first: none may take another's temporary. Then as many expand
 * them back at once, into one output folder. */
TEST_F(ConcurrentRuns, EachRunMakesExactlyItsOwnOutput)
{
    const int runs = 24;
    std::vector<std::string> originals;
    for (int i = 0; i < runs; i++) {
        /* Different bytes and sizes; small, so that the runs start and end close together. */
        std::string bytes = sample(i % 2 ? "text" : "noise", 20000 + 3700 * i);
        bytes[0] = (char)i;
        originals.push_back(bytes);
        spit(dir / ("F" + std::to_string(i) + ".BIN"), bytes);
    }
    auto all_at_once = [&](const std::string &args_of_i) {
        std::string script = "cd " + quote(dir.string()) + " && for i in $(seq 0 " +
                             std::to_string(runs - 1) + "); do (" + quote(VXPACK_PROGRAM) +
                             " " + args_of_i + " >/dev/null 2>run$i.err; echo $? >run$i.code) & "
                             "done; wait";
        ASSERT_EQ(std::system(script.c_str()), 0);
        for (int i = 0; i < runs; i++) {
            fs::path err = dir / ("run" + std::to_string(i) + ".err");
            fs::path code = dir / ("run" + std::to_string(i) + ".code");
            EXPECT_EQ(slurp(code), "0\n") << "run " << i << ": " << slurp(err);
            fs::remove(err);
            fs::remove(code);
        }
    };
    all_at_once("compress F$i.BIN");
    fs::create_directories(dir / "out");
    all_at_once("expand -o out F$i.BIN");
    for (int i = 0; i < runs; i++) {
        std::string name = "F" + std::to_string(i) + ".BIN";
        EXPECT_TRUE(slurp(dir / "out" / name) == originals[i]) << name << " is another's bytes";
    }
    expect_no_temporaries();
}

const std::vector<std::string> SPLIT = {"split", "BIG.BIN", "--label", "SPLIT", "--volumes",
                                        "vols", "--volume-size", "5M", "--pieces", "3"};
const std::vector<std::string> JOIN = {"join", "BIG.BIN", "--expand", "--label", "DISK",
                                       "--volumes", "vols", "-o", "JOINED.BIN"};

/* A writer that keeps changing a file (appending, or writing one of its bytes again in place,
 * which changes only its write time) all the while vxpack reads it: the run fails with the reason and leaves no
 * output and no temporary file. */
TEST_F(ConcurrentRuns, AFileChangedWhileItIsReadGivesNoOutput)
{
    struct Row {
        const char *what;
        std::vector<std::string> args;
        const char *file; /* the one the writer changes */
        const char *output;
        const char *change;
    } rows[] = {
        {"grown while compressed", {"compress", "BIG.BIN"}, "BIG.BIN", "_BIG.BIN",
         "printf x >>BIG.BIN"},
        {"rewritten in place while compressed", {"compress", "BIG.BIN"}, "BIG.BIN", "_BIG.BIN",
         "dd if=BIG.BIN bs=1 skip=5000 count=1 status=none | "
         "dd of=BIG.BIN bs=1 seek=5000 conv=notrunc status=none"},
        /* A split leaves no piece behind; a join watches every piece it may read. */
        {"grown while split", SPLIT, "BIG.BIN", "vols/SPLIT1/1IG.BIN", "printf x >>BIG.BIN"},
        {"rewritten in place while split", SPLIT, "BIG.BIN", "vols/SPLIT1/1IG.BIN",
         "dd if=BIG.BIN bs=1 skip=5000 count=1 status=none | "
         "dd of=BIG.BIN bs=1 seek=5000 conv=notrunc status=none"},
        {"a piece grown while joined", JOIN, "vols/DISK2/_2IG.BIN", "JOINED.BIN",
         "printf x >>vols/DISK2/_2IG.BIN"},
        {"the first piece cut while joined", JOIN, "vols/DISK1/_1IG.BIN", "JOINED.BIN",
         "truncate -s -1 vols/DISK1/_1IG.BIN"},
    };
    spit(dir / "BIG.BIN", sample("noise", 12 << 20));
    fs::create_directories(dir / "vols");
    /* The set joined: the compressed file's, which a join expands, so that it reads long
     * enough for a writer to be sure to change a piece meanwhile. */
    ASSERT_EQ(run({"compress", "BIG.BIN"}).code, 0);
    ASSERT_EQ(run({"split", "_BIG.BIN", "--label", "DISK", "--volumes", "vols",
                   "--volume-size", "8M"}).code, 0);
    for (const Row &r : rows) {
        SCOPED_TRACE(r.what);
        /* vxpack starts once the writer is under way, so that a short run cannot end before
         * the writer's first change. On a loaded machine the writer may still get no turn
         * while vxpack reads, and then a clean exit is right: such a run is tried again. A
         * check that never notices a change fails every try. */
        for (int attempt = 0; attempt < 5; attempt++) {
            fs::remove(dir / r.output);
            for (const char *volume : {"vols/SPLIT1", "vols/SPLIT2", "vols/SPLIT3"})
                fs::remove_all(dir / volume); /* a clean split's set, from a try before */
            std::string script = "cd " + quote(dir.string()) +
                                 " && rm -f stop started || exit 1; (while [ ! -e stop ]; do " +
                                 r.change + "; : >started; done) & "
                                 "while [ ! -e started ]; do sleep 0.01; done; " +
                                 quote(VXPACK_PROGRAM);
            for (const std::string &a : r.args)
                script += " " + quote(a);
            script += " >.out 2>.err; echo $? >.code; touch stop; wait";
            ASSERT_EQ(std::system(script.c_str()), 0);
            if (slurp(dir / ".code") != "0\n")
                break;
        }
        EXPECT_EQ(slurp(dir / ".code"), "1\n");
        EXPECT_EQ(slurp(dir / ".err"), std::string("vxpack: ") + r.file +
                                           ": the file changed while it was read; nothing was "
                                           "written\n");
        EXPECT_FALSE(fs::exists(dir / r.output));
        for (const char *piece : {"vols/SPLIT2/2IG.BIN", "vols/SPLIT3/0IG.BIN"})
            EXPECT_FALSE(fs::exists(dir / piece)) << piece;
        expect_no_temporaries();
    }
}

} // namespace

namespace {

/* Another program replaces the compressed file again and again, removing it and writing it
 * anew, while vxpack expands it. A run that found the file at its check but then found no file
 * to open met that program: it says the file changed, not that it does not exist. The trace
 * tells which runs opened in the gap (the open of the compressed name failing with ENOENT). */
TEST_F(ConcurrentRuns, AFileReplacedWhileItIsOpenedIsSaidToHaveChanged)
{
    std::string original = sample("text", 30000);
    spit(dir / "S.TXT", original);
    ASSERT_EQ(run({"compress", "S.TXT"}).code, 0);
    fs::rename(dir / "_S.TXT", dir / "KEEP");
    fs::create_directories(dir / "out");
    /* Until a few runs opened in the gap, or enough runs that there is no point going on. */
    std::string script =
        "cd " + quote(dir.string()) +
        " && rm -f stop hits; (while [ ! -e stop ]; do rm -f _S.TXT; cp KEEP _S.TXT; done) & "
        "n=0; while [ $n -lt 400 ] && [ \"$(wc -l <hits 2>/dev/null || echo 0)\" -lt 3 ]; do "
        "n=$((n+1)); rm -f out/S.TXT; " +
        quote(VXPACK_PROGRAM) +
        " --trace expand -o out S.TXT >.out 2>.err; code=$?; "
        "if grep -q 'fopen(\"C:\\\\\\\\_S.TXT\", \"rb\") = NULL errno 2' .err; then "
        "echo \"$code $(tail -n 1 .err)\" >>hits; "
        "elif [ $code = 0 ] && ! cmp -s out/S.TXT S.TXT; then echo \"0 wrong bytes\" >>hits; "
        "fi; done; touch stop; wait";
    ASSERT_EQ(std::system(script.c_str()), 0);
    if (!fs::exists(dir / "hits"))
        GTEST_SKIP() << "no run opened the file in the writer's gap";
    std::istringstream hits(slurp(dir / "hits"));
    std::string line;
    while (std::getline(hits, line))
        EXPECT_EQ(line, "1 vxpack: _S.TXT: the file changed while it was read; nothing was "
                        "written");
    expect_no_temporaries();
}

} // namespace
