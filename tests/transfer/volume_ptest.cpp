/* Volume operations and a split and join on a removable drive: the same tests on the
 * simulation and, under Wine, against the real drive calls. */
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "platform/os.h"
#include "platform/path.h"
#include "platform/text.h"
#include "support/conformance.h"
#include "support/workstation.h"
#include "transfer/transfer.h"

namespace {

void set_root(const char *root)
{
    ASSERT_TRUE(text_copy_fit(volume_drive_root(), PATH_CAP, root));
}

std::string step(const char *path, int kind, bool compressed = false)
{
    char buf[PATH_CAP];
    EXPECT_TRUE(text_copy_fit(buf, PATH_CAP, path));
    (compressed ? volume_next_compressed_piece_name : volume_next_piece_name)(buf, kind == 1,
                                                                              kind == 2);
    return buf;
}

TEST(VolumeNames, PieceNames)
{
    enum { NEXT = 0, FIRST = 1, LAST = 2 };
    const struct {
        const char *path;
        int kind;
        const char *piece;
    } rows[] = {
        {"SETUP.EXE", FIRST, "1ETUP.EXE"},
        {"1ETUP.EXE", NEXT, "2ETUP.EXE"},
        {"8ETUP.EXE", NEXT, "9ETUP.EXE"},
        {"9ETUP.EXE", NEXT, ":ETUP.EXE"},
        {"2ETUP.EXE", LAST, "0ETUP.EXE"},
        {"1ETUP.EXE", FIRST, "2ETUP.EXE"},
        {"ABCDEFGH.DLL", FIRST, "A1CDEFGH.DLL"},
        {"A1CDEFGH.DLL", LAST, "A0CDEFGH.DLL"},
        {"_SETUP.EXE", FIRST, "_1ETUP.EXE"},
        {"_BCDEFGH.DLL", FIRST, "_1CDEFGH.DLL"},
        {"A_CDEFGH.DLL", FIRST, "A_1DEFGH.DLL"},
        {"LONGFILENAME.DLL", FIRST, "1ONGFILENAME.DLL"},
        {"C:\\KIT\\SETUP.EXE", FIRST, "C:\\KIT\\1ETUP.EXE"},
        {"KIT\\SETUP", FIRST, "KIT\\1ETUP"},
        {"A:\\_.EXE", FIRST, "A:\\_.EXE"}, /* no character at the piece position */
        {"A:\\.EXE", FIRST, "A:\\.EXE"},
    };
    for (const auto &row : rows)
        EXPECT_EQ(step(row.path, row.kind), row.piece) << row.path << " " << row.kind;
}

TEST(VolumeNames, CompressedPieceNamesAreThePiecesOfTheCompressedName)
{
    /* Each plain name, stepped for a decompressing join, then compressed, must be the piece
     * that a plain split of the compressed file writes. */
    for (const char *base : {"SETUP", "ABCDEFGH", "ABCDEFG", "LONGFILENAME", "NINECHARS", "1ETUP"}) {
        for (int kind = 0; kind < 3; kind++) {
            std::string plain = std::string(base) + ".EXE";
            char compressed[PATH_CAP];
            ASSERT_TRUE(text_copy_fit(compressed, PATH_CAP, base));
            path_compressed_name(compressed);
            std::string expected = step((std::string(compressed) + ".EXE").c_str(), kind);

            char stepped[PATH_CAP], root[PATH_CAP], dir[PATH_CAP], b[PATH_CAP], ext[PATH_CAP];
            ASSERT_TRUE(text_copy_fit(stepped, PATH_CAP, step(plain.c_str(), kind, true).c_str()));
            path_split(stepped, root, dir, b, ext);
            path_compressed_name(b);
            EXPECT_EQ(std::string(b) + "." + ext, expected) << base << " " << kind;
        }
    }
}

TEST(VolumeNames, HowManyPiecesANameHolds)
{
    const struct {
        const char *path;
        uint32_t most; /* the largest count that fits; 1 for a name without piece position */
    } rows[] = {
        {"SETUP.EXE", 10}, {"1ETUP.EXE", 9}, {"ABCDEFGH.DLL", 10}, {"A1CDEFGH.DLL", 9},
        {"_1ETUP.EXE", 9}, {"C:\\KIT\\SETUP.EXE", 10}, {"A:\\_.EXE", 1},
    };
    for (const auto &row : rows) {
        EXPECT_FALSE(volume_pieces_fit(row.path, 0)) << row.path;
        EXPECT_TRUE(volume_pieces_fit(row.path, 1)) << row.path;
        EXPECT_TRUE(volume_pieces_fit(row.path, row.most)) << row.path;
        EXPECT_FALSE(volume_pieces_fit(row.path, row.most + 1)) << row.path;
    }
    EXPECT_FALSE(volume_pieces_fit(std::string(PATH_CAP, 'x').c_str(), 1 + 1));
}

TEST(VolumeNames, NamesOnTheVolume)
{
    const struct {
        const char *root, *path, *on_volume;
    } rows[] = {
        {"A:\\", "C:\\KIT\\SETUP.EXE", "A:\\SETUP.EXE"},
        {"A:\\", "KIT\\SETUP.EXE", "A:\\KIT\\SETUP.EXE"},
        {"A:\\", "SETUP.EXE", "A:\\SETUP.EXE"},
        {"B:", "\\SETUP.EXE", "B:\\SETUP.EXE"},
    };
    for (const auto &row : rows) {
        set_root(row.root);
        char out[PATH_CAP];
        EXPECT_TRUE(volume_name_on_volume(row.path, out)) << row.path;
        EXPECT_STREQ(out, row.on_volume) << row.path;
    }
    set_root("A:\\");
    char out[PATH_CAP] = "x";
    EXPECT_FALSE(volume_name_on_volume(std::string(PATH_CAP, 'x').c_str(), out));
    EXPECT_STREQ(out, "");
}

class VolumeDrive : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = ws_fresh();
        ASSERT_FALSE(dir.empty());
        if (!ws_removable_drives(&drives))
            GTEST_SKIP() << "no removable drives A: (labelled " WS_MEDIUM_LABEL "), B:, F:";
        full = drives.labelled;
        empty = drives.empty;
        set_root(full.c_str());
    }
    void TearDown() override
    {
        set_root("A:\\");
        /* The media outlive the test (under Wine, the whole run). */
        for (const std::string &path : made)
            DeleteFileA(path.c_str());
    }
    ws_drives drives;
    std::vector<std::string> made; /* files the test put on the media */
    std::string dir, full, empty;
};

TEST_F(VolumeDrive, LabelChecks)
{
    const struct {
        const char *base;
        int32_t volume;
        status_t rc;
    } rows[] = {
        {"VXTEST", 1, STATUS_OK},
        {"vxtest", 1, STATUS_OK},
        {"VXTEST", 2, STATUS_NOT_FOUND},
        {"VXTES", 1, STATUS_NOT_FOUND},
        {"DISK", 1, STATUS_NOT_FOUND},
    };
    for (const auto &row : rows) {
        char base[PATH_CAP];
        ASSERT_TRUE(text_copy_fit(base, PATH_CAP, row.base));
        int32_t volume = row.volume;
        EXPECT_EQ(volume_check_label(base, &volume), row.rc) << row.base << " " << row.volume;
        EXPECT_EQ(volume, row.volume);
        EXPECT_STREQ(base, row.base);
    }

    /* An empty base accepts the volume and learns the word and the number. */
    char base[PATH_CAP] = "";
    int32_t volume = 5;
    EXPECT_EQ(volume_check_label(base, &volume), STATUS_OK);
    EXPECT_STREQ(base, "VXTEST");
    EXPECT_EQ(volume, 1);

    uint32_t free_bytes = 0;
    EXPECT_EQ(volume_free_bytes(full.c_str(), &free_bytes), STATUS_OK);
    EXPECT_GT(free_bytes, 0u);
}

TEST_F(VolumeDrive, DriveWithoutMedium)
{
    set_root(empty.c_str());
    char base[PATH_CAP] = "VXTEST";
    int32_t volume = 1;
    status_t rc = volume_check_label(base, &volume);
    /* Read as a volume with an empty label under Wine, the drive is "another volume". */
    EXPECT_EQ(rc,
              ws_expected(WS_EMPTY_DRIVE, (status_t)STATUS_FAILED, (status_t)STATUS_NOT_FOUND));
    /* Nobody to ask for the volume: the check's answer, at once. */
    EXPECT_EQ(volume_prompt(base, "", 1, 0, NULL, 0, 0), rc);
    set_root("A:\\");
}

std::vector<int> g_prompted;
void prompt_and_cancel(int32_t, char *, const void *, int32_t volume, const char *platform,
                       int32_t *cancel, int32_t)
{
    EXPECT_STREQ(platform, "Windows 32");
    g_prompted.push_back(volume);
    *cancel = 1;
}

/* An empty label base accepts a medium without label for every volume, so a whole set goes
 * onto the one medium, and comes back from it. */
TEST_F(VolumeDrive, SplitAndJoinWithoutLabelsStayOnTheMediumInTheDrive)
{
    set_root(drives.blank.c_str());
    std::mt19937 gen(7);
    std::string data(3000, '\0');
    for (char &c : data)
        c = (char)(gen() & 0xFF);
    std::string src = ws_join(dir, "SETUP.EXE"), back = ws_join(dir, "BACK.EXE");
    ASSERT_TRUE(ws_write_file(src, data));
    for (const char *piece : {"1ETUP.EXE", "2ETUP.EXE", "0ETUP.EXE"})
        made.push_back(drives.blank + piece);
    const uint32_t limits[] = {1000, 1000, 1000};
    char target[PATH_CAP] = "C:\\KIT\\SETUP.EXE";
    char base[PATH_CAP] = "";
    uint32_t counter = 0;
    g_prompted.clear();
    ASSERT_EQ(transfer_split(src.c_str(), target, 1, 3, 0, 0, 0, 0, base, "", prompt_and_cancel,
                             NULL, NULL, 0, limits, &counter),
              STATUS_OK);
    EXPECT_TRUE(g_prompted.empty());
    EXPECT_EQ(counter, 3u);
    EXPECT_STREQ(target, "C:\\KIT\\0ETUP.EXE") << "the buffer holds the last piece's name";
    EXPECT_STREQ(base, "");
    const char *pieces[] = {"1ETUP.EXE", "2ETUP.EXE", "0ETUP.EXE"};
    for (size_t i = 0; i < 3; i++) {
        std::string got;
        EXPECT_TRUE(ws_read_file(drives.blank + pieces[i], &got)) << pieces[i];
        EXPECT_TRUE(got == data.substr(i * 1000, 1000)) << pieces[i];
    }

    ASSERT_EQ(transfer_single("SETUP.EXE", back.c_str(), 1, 0, 0, 0, 0, base, "",
                              prompt_and_cancel, NULL, NULL, 0, 0, 0, NULL),
              STATUS_OK);
    std::string got;
    ASSERT_TRUE(ws_read_file(back, &got));
    EXPECT_TRUE(got == data);
    EXPECT_TRUE(g_prompted.empty());

    /* A source that outlasts its pieces is no set. */
    const uint32_t short_limits[] = {1000, 1000};
    ASSERT_TRUE(text_copy_fit(target, PATH_CAP, "SETUP.EXE"));
    EXPECT_EQ(transfer_split(src.c_str(), target, 1, 2, 0, 0, 0, 0, base, "", prompt_and_cancel,
                             NULL, NULL, 0, short_limits, NULL),
              STATUS_WRITE_ERROR);
}

/* A labelled volume: a one-piece set goes under the file's own name onto volume 1; volume 2 is
 * another disk, and the user, asked for it, cancels. */
TEST_F(VolumeDrive, LabelledVolumeHoldsAOnePieceSet)
{
    std::string data = "one piece";
    std::string src = ws_join(dir, "SETUP.EXE"), back = ws_join(dir, "BACK.EXE");
    ASSERT_TRUE(ws_write_file(src, data));
    char target[PATH_CAP] = "SETUP.EXE";
    char base[PATH_CAP] = "VXTEST";
    made.push_back(full + "SETUP.EXE");
    g_prompted.clear();
    ASSERT_EQ(transfer_split(src.c_str(), target, 1, 1, 0, 0, 0, 0, base, "", prompt_and_cancel,
                             NULL, NULL, 0, NULL, NULL),
              STATUS_OK);
    std::string got;
    ASSERT_TRUE(ws_read_file(full + "SETUP.EXE", &got));
    EXPECT_EQ(got, data);
    ASSERT_EQ(transfer_single("SETUP.EXE", back.c_str(), 1, 0, 0, 0, 0, base, "",
                              prompt_and_cancel, NULL, NULL, 0, 0, 0, NULL),
              STATUS_OK);
    ASSERT_TRUE(ws_read_file(back, &got));
    EXPECT_EQ(got, data);
    EXPECT_TRUE(g_prompted.empty());

    EXPECT_EQ(transfer_single("SETUP.EXE", back.c_str(), 2, 0, 0, 0, 0, base, "",
                              prompt_and_cancel, NULL, NULL, 0, 0, 0, NULL),
              STATUS_CANCELLED);
    EXPECT_EQ(g_prompted, std::vector<int>{2});
}

} // namespace
