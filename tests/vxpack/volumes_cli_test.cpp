/* vxpack split, join and list end to end on Linux: volume sets as folders, read back byte for
 * byte, and every failure a user can reach. */
#include <algorithm>

#include "vxpack_cli_testing.h"

namespace {

class VxpackVolumes : public VxpackCliTest {
protected:
    std::string label_of(const std::string &folder)
    {
        std::string l = slurp(dir / "vols" / folder / ".windows-label");
        return l.substr(0, l.find('\n'));
    }
    void SetUp() override
    {
        VxpackCliTest::SetUp();
        fs::create_directories(dir / "vols");
    }
};

TEST_F(VxpackVolumes, SplitThenJoinGivesTheBytesBack)
{
    struct row {
        const char *what;
        std::string name;
        size_t size;
        std::vector<std::string> options;
        std::vector<std::string> pieces; /* folder/name of each piece */
    } rows[] = {
        {"one piece keeps the name", "SETUP.EXE", 1000, {},
         {"DISK1/SETUP.EXE"}},
        {"by volume size", "SETUP.EXE", 3000, {"--volume-size", "1K"},
         {"DISK1/1ETUP.EXE", "DISK2/2ETUP.EXE", "DISK3/0ETUP.EXE"}},
        {"by limits", "ABCDEFGH.DLL", 20000, {"--limits", "5000,5000,10000"},
         {"DISK1/A1CDEFGH.DLL", "DISK2/A2CDEFGH.DLL", "DISK3/A0CDEFGH.DLL"}},
        {"a reserve on each volume", "DATA.BIN", 2000,
         {"--volume-size", "1024", "--reserve", "24"},
         {"DISK1/1ATA.BIN", "DISK2/0ATA.BIN"}},
        {"a floppy size means what the disk holds", "DATA.BIN", 1457664 + 100,
         {"--volume-size", "1.44M"}, {"DISK1/1ATA.BIN", "DISK2/0ATA.BIN"}},
    };
    for (const row &r : rows) {
        SCOPED_TRACE(r.what);
        fs::remove_all(dir / "vols");
        fs::create_directories(dir / "vols");
        std::string bytes = sample("noise", r.size);
        spit(dir / "kit" / r.name, bytes);
        std::vector<std::string> args = {"split", "kit/" + r.name, "--label", "DISK",
                                         "--volumes", "vols"};
        args.insert(args.end(), r.options.begin(), r.options.end());
        run_result s = run(args);
        ASSERT_EQ(s.code, 0) << s.err;
        size_t total = 0;
        for (size_t i = 0; i < r.pieces.size(); i++) {
            fs::path p = dir / "vols" / r.pieces[i];
            ASSERT_TRUE(fs::exists(p)) << p;
            total += fs::file_size(p);
            EXPECT_EQ(label_of(fs::path(r.pieces[i]).parent_path().string()),
                      "DISK " + std::to_string(i + 1));
        }
        EXPECT_EQ(total, r.size);
        run_result j = run({"join", r.name, "--label", "DISK", "--volumes", "vols", "-o",
                            "joined.bin"});
        ASSERT_EQ(j.code, 0) << j.err;
        EXPECT_EQ(slurp(dir / "joined.bin"), bytes);
        run_result l = run({"list", "--volumes", "vols"});
        EXPECT_EQ(l.code, 0) << l.out;
        if (r.pieces.size() > 1) {
            EXPECT_NE(l.out.find("complete: " + std::to_string(r.pieces.size()) +
                                 " pieces on DISK 1 to DISK " + std::to_string(r.pieces.size())),
                      std::string::npos)
                << l.out;
        }
    }
    expect_no_temporaries();
}

TEST_F(VxpackVolumes, ACompressedFileSplitOnLinuxJoinsAndExpands)
{
    std::string bytes = sample("text", 60000) + sample("noise", 20000);
    spit(dir / "SETUP.EXE", bytes);
    ASSERT_EQ(run({"compress", "SETUP.EXE"}).code, 0);
    run_result s = run({"split", "_SETUP.EXE", "--label", "SETUP", "--volumes", "vols",
                        "--volume-size", "10K"});
    ASSERT_EQ(s.code, 0) << s.err;
    EXPECT_TRUE(fs::exists(dir / "vols" / "SETUP1" / "_1ETUP.EXE"));
    fs::create_directories(dir / "out");
    run_result j = run({"join", "SETUP.EXE", "--expand", "--label", "SETUP", "--volumes",
                        "vols", "-o", "out/SETUP.EXE"});
    ASSERT_EQ(j.code, 0) << j.err;
    EXPECT_EQ(slurp(dir / "out" / "SETUP.EXE"), bytes);
    /* Without --expand the pieces give back the compressed file itself. */
    run_result plain = run({"join", "_SETUP.EXE", "--label", "SETUP", "--volumes", "vols", "-o",
                            "out/_SETUP.EXE"});
    ASSERT_EQ(plain.code, 0) << plain.err;
    EXPECT_EQ(slurp(dir / "out" / "_SETUP.EXE"), slurp(dir / "_SETUP.EXE"));
    /* One volume folder named by itself is listed alone. */
    run_result one = run({"list", "--volumes", "vols/SETUP1"});
    EXPECT_EQ(one.out.rfind("vols/SETUP1 (label \"SETUP 1\")\n  _1ETUP.EXE ", 0), 0u) << one.out;
    EXPECT_EQ(one.code, 1) << "one volume of a set of several is not the set";
}

TEST_F(VxpackVolumes, AnEarlierSetOnTheVolumesIsNotMixedIntoANewOne)
{
    std::string first = sample("noise", 3000);
    spit(dir / "DATA.BIN", first);
    ASSERT_EQ(run({"split", "DATA.BIN", "--label", "DISK", "--volumes", "vols",
                   "--volume-size", "1K"}).code, 0);
    /* Two pieces of a shorter file would leave the old 2ATA.BIN beside the new 0ATA.BIN on
     * DISK 2, and a join would read the old piece first. */
    spit(dir / "DATA.BIN", sample("text", 1500));
    run_result again = run({"split", "DATA.BIN", "--label", "DISK", "--volumes", "vols",
                            "--volume-size", "1K"});
    EXPECT_EQ(again.code, 1);
    EXPECT_EQ(again.err, "vxpack: DATA.BIN: vols/DISK1 (DISK 1) already holds 1ATA.BIN of an "
                         "earlier set, which a join would read: take it off or split onto fresh "
                         "volumes\n");
    run_result j = run({"join", "DATA.BIN", "--label", "DISK", "--volumes", "vols", "-o",
                        "old.bin"});
    ASSERT_EQ(j.code, 0) << j.err;
    EXPECT_EQ(slurp(dir / "old.bin"), first);
    /* The file under its own name counts too: a join takes it as a set of one piece. */
    fs::remove_all(dir / "vols");
    fs::create_directories(dir / "vols" / "D1");
    spit(dir / "vols" / "D1" / ".windows-label", "DISK 1\n");
    spit(dir / "vols" / "D1" / "data.bin", "stale");
    run_result own = run({"split", "DATA.BIN", "--label", "DISK", "--volumes", "vols",
                          "--volume-size", "1K"});
    EXPECT_EQ(own.code, 1);
    EXPECT_NE(own.err.find("already holds data.bin of an earlier set"), std::string::npos)
        << own.err;
    EXPECT_FALSE(fs::exists(dir / "vols" / "D1" / "1ATA.BIN"));
    /* Other labels and other files are no concern of this set. */
    spit(dir / "vols" / "D1" / ".windows-label", "OTHER 1\n");
    spit(dir / "vols" / "D1" / "1ETUP.EXE", "another set");
    ASSERT_EQ(run({"split", "DATA.BIN", "--label", "DISK", "--volumes", "vols",
                   "--volume-size", "1K"}).code, 0);
}

/* A size the user gives caps every piece whatever the volume's free space, and no piece is
 * ever written empty: a set with an empty piece cannot be told from one cut short. */
TEST_F(VxpackVolumes, EveryPieceKeepsToTheSizeAndNoneIsEmpty)
{
    struct row {
        const char *what;
        size_t size;
        std::vector<std::string> options;
        std::vector<size_t> pieces; /* sizes; empty: refused */
        std::string told;
    } rows[] = {
        {"20K pieces", 45830, {"--volume-size", "20K"}, {20480, 20480, 4870}, ""},
        {"20K pieces, as many as asked", 45830, {"--volume-size", "20K", "--pieces", "3"},
         {20480, 20480, 4870}, ""},
        {"a reserve comes off each piece", 3000, {"--volume-size", "2K", "--reserve", "1048"},
         {1000, 1000, 1000}, ""},
        {"more pieces than needed", 100, {"--pieces", "3"}, {},
         "100 bytes leave the last of 3 pieces empty"},
        {"limits that leave the last piece empty", 2000, {"--limits", "1000,1000,500"}, {},
         "2000 bytes leave the last of 3 pieces empty"},
        {"limits that do not hold the file", 2000, {"--limits", "500,500"}, {},
         "2000 bytes do not fit 2 pieces"},
        {"a label too long for its numbers", 9500,
         {"--volume-size", "1K", "--label", "ABCDEFGHI"}, {},
         "the label ABCDEFGHI 10 is longer than the 11 characters"},
    };
    for (const row &r : rows) {
        SCOPED_TRACE(r.what);
        fs::remove_all(dir / "vols");
        fs::create_directories(dir / "vols");
        spit(dir / "DATA.BIN", sample("noise", r.size));
        std::vector<std::string> args = {"split", "DATA.BIN", "--volumes", "vols"};
        args.insert(args.end(), r.options.begin(), r.options.end());
        if (std::find(args.begin(), args.end(), "--label") == args.end())
            args.insert(args.end(), {"--label", "DISK"});
        run_result s = run(args);
        if (r.pieces.empty()) {
            EXPECT_EQ(s.code, 1);
            EXPECT_NE(s.err.find(r.told), std::string::npos) << s.err;
            EXPECT_TRUE(fs::is_empty(dir / "vols"));
            continue;
        }
        ASSERT_EQ(s.code, 0) << s.err;
        std::vector<size_t> sizes;
        for (const auto &e : fs::recursive_directory_iterator(dir / "vols"))
            if (e.is_regular_file() && e.path().filename() != ".windows-label")
                sizes.push_back(fs::file_size(e.path()));
        std::sort(sizes.rbegin(), sizes.rend());
        EXPECT_EQ(sizes, r.pieces);
    }
}

/* One volume read by itself (as vxpack.exe reads the disk in its drive) says what it read and
 * that the other disks were not seen, instead of calling a piece missing; a set not seen whole
 * is not reported complete (exit 1). */
TEST_F(VxpackVolumes, ListOfOneVolumeSaysWhatItCouldNotSee)
{
    spit(dir / "DATA.BIN", sample("noise", 3000));
    ASSERT_EQ(run({"split", "DATA.BIN", "--label", "DISK", "--volumes", "vols",
                   "--volume-size", "2K"}).code, 0);
    run_result one = run({"list", "--volumes", "vols/DISK1"});
    EXPECT_EQ(one.code, 1) << one.out;
    EXPECT_NE(one.out.find("set ?ATA.BIN: piece 1 (on DISK 1) here; its other pieces are on "
                           "disks not read"), std::string::npos) << one.out;
    EXPECT_NE(one.out.find("Only vols/DISK1 was read"), std::string::npos) << one.out;
    EXPECT_EQ(one.out.find("incomplete"), std::string::npos) << one.out;
}

/* Two volumes with one label: list and join give the same answer, naming both folders. */
TEST_F(VxpackVolumes, TwoVolumesWithOneLabelAreAmbiguousToListAndJoin)
{
    spit(dir / "DATA.BIN", sample("noise", 3000));
    ASSERT_EQ(run({"split", "DATA.BIN", "--label", "DISK", "--volumes", "vols",
                   "--volume-size", "2K"}).code, 0);
    fs::create_directories(dir / "vols" / "COPY");
    spit(dir / "vols" / "COPY" / ".windows-label", "DISK 2\n");
    run_result l = run({"list", "--volumes", "vols"});
    EXPECT_EQ(l.code, 1);
    EXPECT_NE(l.out.find("set ?ATA.BIN: ambiguous: vols/COPY and vols/DISK2 both carry the "
                         "label DISK 2"), std::string::npos) << l.out;
    run_result j = run({"join", "DATA.BIN", "--label", "DISK", "--volumes", "vols"});
    EXPECT_EQ(j.code, 1);
    EXPECT_EQ(j.err, "vxpack: DATA.BIN: vols/COPY and vols/DISK2 both carry the label DISK 2: "
                     "the set is ambiguous (take one of them away)\n");
    fs::remove_all(dir / "vols" / "COPY");
    EXPECT_EQ(run({"list", "--volumes", "vols"}).code, 0);
}

/* A compressed set joined as it is: written as asked, and one line of advice. */
TEST_F(VxpackVolumes, JoinOfACompressedSetWithoutExpandSaysSo)
{
    spit(dir / "NOTES.TXT", sample("text", 5000));
    ASSERT_EQ(run({"compress", "NOTES.TXT"}).code, 0);
    ASSERT_EQ(run({"split", "_NOTES.TXT", "--label", "DISK", "--volumes", "vols",
                   "--volume-size", "512"}).code, 0);
    run_result j = run({"join", "_NOTES.TXT", "--label", "DISK", "--volumes", "vols", "-o",
                        "got.bin"});
    EXPECT_EQ(j.code, 0);
    EXPECT_EQ(slurp(dir / "got.bin"), slurp(dir / "_NOTES.TXT"));
    EXPECT_EQ(j.err, "vxpack: got.bin: the set holds a compressed file, written as it is; join "
                     "it by its expanded name with --expand to get the file itself\n");
    run_result plain = run({"join", "NOTES.TXT", "--expand", "--label", "DISK", "--volumes",
                            "vols", "-o", "plain.txt"});
    EXPECT_EQ(plain.code, 0);
    EXPECT_EQ(plain.err, "");
}

TEST_F(VxpackVolumes, FailuresAreToldAndLeaveNothingBehind)
{
    spit(dir / "DATA.BIN", sample("noise", 3000));
    /* A volume too small for the planned pieces: the set is taken off again. */
    run_result full = run({"split", "DATA.BIN", "--label", "DISK", "--volumes", "vols",
                           "--volume-size", "1K", "--pieces", "2"});
    EXPECT_EQ(full.code, 1);
    EXPECT_EQ(full.err, "vxpack: DATA.BIN: 3000 bytes do not fit 2 pieces of at most 1024 "
                        "bytes (give more --pieces or a larger --volume-size)\n");
    for (const auto &e : fs::recursive_directory_iterator(dir / "vols"))
        EXPECT_TRUE(e.is_directory() || e.path().filename() == ".windows-label") << e.path();

    spit(dir / "BIG.BIN", sample("noise", 6000));
    run_result many = run({"split", "BIG.BIN", "--label", "DISK", "--volumes", "vols",
                           "--volume-size", "512"});
    EXPECT_EQ(many.code, 1);
    EXPECT_EQ(many.err, "vxpack: BIG.BIN: needs 12 pieces, and a set has at most 10 (the digits "
                        "1 to 9, then 0): give a larger --volume-size\n");
    run_result tiny = run({"split", "BIG.BIN", "--label", "DISK", "--volumes", "vols",
                           "--volume-size", "256"});
    EXPECT_EQ(tiny.err, "vxpack: BIG.BIN: --volume-size 256: a volume holds at least one sector "
                        "of 512 bytes\n");
    EXPECT_EQ(run({"split", "BIG.BIN", "--label", "DISK", "--volumes", "vols",
                   "--volume-size", "12Q"}).code, 2);
    /* A full volume: a folder already holding a file takes less than the plan. */
    fs::create_directories(dir / "vols" / "DISK1");
    spit(dir / "vols" / "DISK1" / ".windows-label", "DISK 1\n");
    spit(dir / "vols" / "DISK1" / "OTHER.DAT", sample("noise", 600));
    run_result crowded = run({"split", "DATA.BIN", "--label", "DISK", "--volumes", "vols",
                              "--volume-size", "1K", "--limits", "1000,1000,1000"});
    EXPECT_EQ(crowded.code, 1);
    EXPECT_EQ(crowded.err, "vxpack: DATA.BIN: cannot be written to DISK 1: the volume is full or "
                           "write-protected; nothing of the set is kept\n");
    EXPECT_TRUE(fs::exists(dir / "vols" / "DISK1" / "OTHER.DAT"));
    EXPECT_FALSE(fs::exists(dir / "vols" / "DISK1" / "1ATA.BIN"));
    fs::remove_all(dir / "vols");
    fs::create_directories(dir / "vols");

    ASSERT_EQ(run({"split", "DATA.BIN", "--label", "DISK", "--volumes", "vols",
                   "--volume-size", "1K"}).code, 0);
    spit(dir / "DATA.OUT", "old");
    fs::rename(dir / "vols" / "DISK2", dir / "elsewhere");
    run_result missing = run({"join", "DATA.BIN", "--label", "DISK", "--volumes", "vols",
                              "-o", "DATA.OUT"});
    EXPECT_EQ(missing.code, 1);
    EXPECT_EQ(missing.err, "vxpack: DATA.BIN: no volume labelled DISK 2 in vols (vxpack list "
                           "shows what the volumes hold)\n");
    EXPECT_EQ(slurp(dir / "DATA.OUT"), "old");
    run_result list = run({"list", "--volumes", "vols"});
    EXPECT_EQ(list.code, 1);
    EXPECT_NE(list.out.find("set ?ATA.BIN: incomplete: piece 2 is missing"), std::string::npos)
        << list.out;
    fs::rename(dir / "elsewhere", dir / "vols" / "DISK2");

    run_result absent = run({"join", "OTHER.BIN", "--label", "DISK", "--volumes", "vols"});
    EXPECT_EQ(absent.code, 1);
    EXPECT_NE(absent.err.find("vxpack: OTHER.BIN: is not on DISK 1"), std::string::npos)
        << absent.err;
    EXPECT_FALSE(fs::exists(dir / "OTHER.BIN"));

    run_result not_packed = run({"join", "DATA.BIN", "--expand", "--label", "DISK",
                                 "--volumes", "vols"});
    EXPECT_EQ(not_packed.code, 1);
    EXPECT_EQ(not_packed.err.rfind("vxpack: _DATA.BIN: is not on DISK 1", 0), 0u)
        << not_packed.err;

    /* Pieces of a file that was never compressed hold no stream to expand. */
    spit(dir / "_RAW.BIN", sample("noise", 2000));
    fs::create_directories(dir / "raw");
    ASSERT_EQ(run({"split", "_RAW.BIN", "--label", "RAW", "--volumes", "raw",
                   "--volume-size", "1K"}).code, 0);
    run_result invalid = run({"join", "RAW.BIN", "--expand", "--label", "RAW", "--volumes", "raw"});
    EXPECT_EQ(invalid.code, 1);
    EXPECT_EQ(invalid.err, "vxpack: _RAW.BIN: its pieces hold no valid compressed file (join "
                           "without --expand?)\n");
    EXPECT_FALSE(fs::exists(dir / "RAW.BIN"));
    run_result nothing = run({"split", "NONE.BIN", "--label", "DISK", "--volumes", "vols"});
    EXPECT_EQ(nothing.code, 1);
    EXPECT_EQ(nothing.err, "vxpack: NONE.BIN: does not exist\n");
    fs::create_directories(dir / "empty");
    run_result no_sets = run({"list", "--volumes", "empty"});
    EXPECT_EQ(no_sets.code, 1);
    EXPECT_EQ(no_sets.err, "vxpack: empty: holds no volumes: give the folder whose folders a "
                           "split made\n");

    run_result no_folder = run({"join", "DATA.BIN", "--label", "DISK", "--volumes", "nowhere"});
    EXPECT_EQ(no_folder.err, "vxpack: nowhere: no such folder\n");
    run_result no_volumes = run({"join", "DATA.BIN", "--label", "DISK"});
    EXPECT_EQ(no_volumes.code, 2);
    EXPECT_EQ(no_volumes.err, "vxpack: give --volumes DIR: each volume is a folder of DIR "
                              "(vxpack join --help shows the usage)\n");
    EXPECT_EQ(run({"split", "DATA.BIN", "--volumes", "vols"}).code, 2); /* no --label */
    expect_no_temporaries();
}

} // namespace

namespace {

/* A set written on Windows may come back with its names in any letter case; the host keeps
 * the spelling. A piece in one other spelling is that piece (with --expand too); two
 * spellings of one piece on one volume are refused by join and list alike, naming both. */
TEST_F(VxpackVolumes, PiecesAreFoundInAnyLetterCaseAndTwoSpellingsAreRefused)
{
    struct row {
        const char *what;
        bool expand;
        std::vector<std::pair<std::string, std::string>> renames; /* from, to: under vols */
        std::vector<std::string> copies;                          /* from, to: under vols */
        std::string clash; /* "" when the join must work; else the files the refusal names */
    } rows[] = {
        {"every piece in lower case", false,
         {{"DISK1/1ATA.BIN", "DISK1/1ata.bin"},
          {"DISK2/2ATA.BIN", "DISK2/2ata.bin"},
          {"DISK3/0ATA.BIN", "DISK3/0ata.bin"}},
         {}, ""},
        {"mixed spellings", false, {{"DISK3/0ATA.BIN", "DISK3/0Ata.Bin"}}, {}, ""},
        {"compressed pieces in lower case, expanded", true,
         {{"DISK1/_1ATA.BIN", "DISK1/_1ata.bin"}, {"DISK2/_0ATA.BIN", "DISK2/_0aTa.bIn"}}, {},
         ""},
        {"two spellings of the first piece", false, {},
         {"DISK1/1ATA.BIN", "DISK1/1ata.bin"},
         "vols/DISK1/1ATA.BIN and vols/DISK1/1ata.bin"},
        {"two spellings of the last piece", false, {{"DISK3/0ATA.BIN", "DISK3/0ata.BIN"}},
         {"DISK3/0ata.BIN", "DISK3/0ATA.bin"},
         "vols/DISK3/0ATA.bin and vols/DISK3/0ata.BIN"},
    };
    /* Noise and text: 2500 bytes that compress to between one and two pieces of 1K. */
    const std::string bytes = sample("noise", 1000) + sample("text", 1500);
    for (const row &r : rows) {
        SCOPED_TRACE(r.what);
        fs::remove_all(dir / "vols");
        fs::create_directories(dir / "vols");
        fs::remove(dir / "joined.bin");
        spit(dir / "kit" / "DATA.BIN", bytes);
        std::string split_name = "kit/DATA.BIN";
        if (r.expand) {
            ASSERT_EQ(run({"compress", "kit/DATA.BIN"}).code, 0);
            split_name = "kit/_DATA.BIN";
        }
        /* Three pieces; the compressed file, smaller, in two. */
        run_result s = run({"split", split_name, "--label", "DISK", "--volumes", "vols",
                            "--pieces", r.expand ? "2" : "3", "--volume-size", "1K"});
        ASSERT_EQ(s.code, 0) << s.err;
        for (const auto &m : r.renames)
            fs::rename(dir / "vols" / m.first, dir / "vols" / m.second);
        if (!r.copies.empty())
            fs::copy_file(dir / "vols" / r.copies[0], dir / "vols" / r.copies[1]);
        std::vector<std::string> args = {"join", "DATA.BIN", "--label", "DISK",
                                         "--volumes", "vols", "-o", "joined.bin"};
        if (r.expand)
            args.push_back("--expand");
        run_result j = run(args);
        run_result l = run({"list", "--volumes", "vols"});
        if (r.clash.empty()) {
            ASSERT_EQ(j.code, 0) << j.err;
            EXPECT_EQ(slurp(dir / "joined.bin"), bytes);
            EXPECT_EQ(l.code, 0) << l.out;
            EXPECT_NE(l.out.find(r.expand ? "complete: 2 pieces" : "complete: 3 pieces"),
                      std::string::npos)
                << l.out;
        } else {
            EXPECT_EQ(j.code, 1);
            EXPECT_NE(j.err.find(r.clash + " differ only in letter case"), std::string::npos)
                << j.err;
            EXPECT_FALSE(fs::exists(dir / "joined.bin"));
            EXPECT_EQ(l.code, 1);
            EXPECT_NE(l.out.find("which differ only in letter case"), std::string::npos)
                << l.out;
        }
    }
    expect_no_temporaries();
}

} // namespace
