/* Splits and joins over simulated floppy disks, with a user who answers the disk prompts:
 * names, labels, prompts, budgets, round trips, the mends, bad sets and platform faults. */
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "support/fault_sweep.h"
#include "transfer/floppies.h"
#include "transfer/drivers.h"

namespace {

using namespace floppies;

TEST_F(Floppies, ThreePiecesOnThreeLabelledDisksAndBack)
{
    const std::string data = bytes_of(25000, 1);
    ASSERT_TRUE(ws_write_file(src, data));
    ASSERT_EQ(split("SETUP.EXE", 1, 3), STATUS_OK);
    EXPECT_STREQ(target, "0ETUP.EXE");
    const char *names[] = {"1ETUP.EXE", "2ETUP.EXE", "0ETUP.EXE"};
    const uint64_t sizes[] = {10240, 10240, 4520};
    for (int v = 1; v <= 3; v++) {
        EXPECT_EQ(desk.label(v), "DISK " + std::to_string(v));
        EXPECT_EQ(files_on(v), (std::map<std::string, uint64_t>{{names[v - 1], sizes[v - 1]}}));
    }
    /* The drive was empty, then each blank disk was labelled after the user put it in. */
    EXPECT_EQ(desk.prompts,
              (std::vector<Prompt>{{1, 0, "A:\\"}, {2, 0, "A:\\"}, {3, 0, "A:\\"}}));
    EXPECT_EQ(sum(g_progress), 25000u) << "no slack call for a split";

    sim_eject_medium('A');
    desk.prompts.clear();
    g_progress.clear();
    ASSERT_EQ(join("SETUP.EXE", 1), STATUS_OK);
    EXPECT_TRUE(joined() == data);
    EXPECT_EQ(desk.prompts,
              (std::vector<Prompt>{{1, 0, "A:\\"}, {2, 0, "A:\\"}, {3, 0, "A:\\"}}));
    /* Blocks, then the slack up to whole clusters of C: (4096 bytes). */
    EXPECT_EQ(sum(g_progress), 28672u);
}

TEST_F(Floppies, PieceNamesOnTheDisks)
{
    const struct {
        const char *name;
        const char *pieces[3];
    } rows[] = {
        {"ABCDEFGH.DLL", {"A1CDEFGH.DLL", "A2CDEFGH.DLL", "A0CDEFGH.DLL"}},
        {"_SETUP.EXE", {"_1ETUP.EXE", "_2ETUP.EXE", "_0ETUP.EXE"}},
        {"C:\\KIT\\1ETUP.EXE", {"2ETUP.EXE", "3ETUP.EXE", "0ETUP.EXE"}},
    };
    const std::string data = bytes_of(1500, 2);
    ASSERT_TRUE(ws_write_file(src, data));
    const uint32_t limits[] = {500, 500, 500};
    int first = 1;
    for (const auto &row : rows) {
        sim_eject_medium('A');
        ASSERT_EQ(split(row.name, first, 3, "SET", 0, limits), STATUS_OK) << row.name;
        for (int i = 0; i < 3; i++)
            EXPECT_EQ(files_on(first + i).count(row.pieces[i]), 1u) << row.name << " " << i;
        sim_eject_medium('A');
        ASSERT_EQ(join(row.name, first, "SET"), STATUS_OK) << row.name;
        EXPECT_TRUE(joined() == data) << row.name;
        first += 3;
    }
}

TEST_F(Floppies, AFileUnderItsOwnNameIsOnePieceAndNoPromptWhenTheDiskIsThere)
{
    ASSERT_TRUE(ws_write_file(src, "whole"));
    desk.insert('A', 1);
    ASSERT_TRUE(SetVolumeLabelA("A:\\", "DISK 1"));
    ASSERT_EQ(split("C:\\KIT\\SETUP.EXE", 1, 1), STATUS_OK);
    EXPECT_STREQ(target, "C:\\KIT\\SETUP.EXE") << "one piece keeps the file's name";
    EXPECT_EQ(files_on(1), (std::map<std::string, uint64_t>{{"SETUP.EXE", 5}}));
    ASSERT_EQ(join("C:\\KIT\\SETUP.EXE", 1), STATUS_OK);
    EXPECT_EQ(joined(), "whole");
    EXPECT_TRUE(desk.prompts.empty()) << "the right disk was in the drive, and no second one";
}

TEST_F(Floppies, APromptThatNamesAnotherDriveMovesEveryLaterCopyThere)
{
    sim_add_drive('B', DRIVE_REMOVABLE, NULL);
    ASSERT_TRUE(ws_write_file(src, bytes_of(15000, 3)));
    desk.script.push_back([&](int volume, char *root, int32_t *) {
        strcpy(root, "b:/  ");
        desk.insert('B', volume);
    });
    ASSERT_EQ(split("SETUP.EXE", 1, 2), STATUS_OK);
    EXPECT_EQ(desk.prompts, (std::vector<Prompt>{{1, 0, "A:\\"}, {2, 0, "B:\\"}}));
    EXPECT_EQ(desk.label(2), "DISK 2");

    /* The next copy starts on B:, where volume 2 still is, and so does the one after it. */
    for (int copy = 1; copy <= 2; copy++) {
        desk.prompts.clear();
        ASSERT_EQ(join("SETUP.EXE", 1), STATUS_OK) << "join " << copy;
        EXPECT_EQ(desk.prompts, (std::vector<Prompt>{{1, 0, "B:\\"}, {2, 0, "B:\\"}}))
            << "join " << copy;
    }
}

TEST_F(Floppies, AnEmptyLabelBaseIsLearnedFromTheFirstDisk)
{
    ASSERT_TRUE(ws_write_file(src, bytes_of(15000, 4)));
    ASSERT_EQ(split("SETUP.EXE", 1, 2, "SETUP"), STATUS_OK);
    sim_eject_medium('A');
    desk.prompts.clear();
    /* The user puts in volume 1 (SETUP 1) when asked for a disk of any label. */
    ASSERT_EQ(join("SETUP.EXE", 1, ""), STATUS_OK);
    EXPECT_STREQ(label_base, "SETUP");
    EXPECT_EQ(desk.prompts, (std::vector<Prompt>{{1, 0, "A:\\"}, {2, 0, "A:\\"}}));
}

TEST_F(Floppies, WrongVolumeFlagSaysWhetherADiskWasRead)
{
    one_piece_set_and_another_disk(5, "DISK 5");
    desk.script.push_back([](int, char *, int32_t *) {}); /* leaves the wrong disk */
    desk.script.push_back([](int, char *, int32_t *) { sim_eject_medium('A'); });
    desk.script.push_back([](int, char *, int32_t *) {}); /* the drive stays empty */
    ASSERT_EQ(join("SETUP.EXE", 1), STATUS_OK);
    EXPECT_EQ(desk.prompts, (std::vector<Prompt>{{1, 0, "A:\\"}, {1, 1, "A:\\"},
                                                 {1, 0, "A:\\"}, {1, 0, "A:\\"}}));
    EXPECT_EQ(joined(), "data");
}

TEST_F(Floppies, BudgetsFromALimitsTableOrFromTheDisks)
{
    ASSERT_TRUE(ws_write_file(src, bytes_of(1200, 5)));
    const uint32_t limits[] = {1000, 500};
    ASSERT_EQ(split("SETUP.EXE", 1, 2, "DISK", 0, limits), STATUS_OK);
    EXPECT_EQ(files_on(1), (std::map<std::string, uint64_t>{{"1ETUP.EXE", 1000}}));
    EXPECT_EQ(files_on(2), (std::map<std::string, uint64_t>{{"0ETUP.EXE", 200}}));

    /* The counter indexes the table and counts on from where the caller left it. */
    const uint32_t three[] = {7, 700, 500};
    uint32_t counter = 1;
    sim_eject_medium('A');
    ASSERT_EQ(split("SETUP.EXE", 3, 2, "DISK", 0, three, &counter), STATUS_OK);
    EXPECT_EQ(counter, 3u);
    EXPECT_EQ(files_on(3), (std::map<std::string, uint64_t>{{"1ETUP.EXE", 700}}));

    /* Without a table: each disk's free bytes less the reserve. */
    ASSERT_TRUE(ws_write_file(src, bytes_of(5000, 6)));
    for (int v = 6; v <= 8; v++)
        desk.clusters[v] = 4;
    sim_eject_medium('A');
    ASSERT_EQ(split("SETUP.EXE", 6, 3, "DISK", 100), STATUS_OK);
    EXPECT_EQ(files_on(6), (std::map<std::string, uint64_t>{{"1ETUP.EXE", 1948}}));
    EXPECT_EQ(files_on(7), (std::map<std::string, uint64_t>{{"2ETUP.EXE", 1948}}));
    EXPECT_EQ(files_on(8), (std::map<std::string, uint64_t>{{"0ETUP.EXE", 1104}}));
}

/* A piece's budget is a limit at every size: the loop takes its largest value for "to the end
 * of the source", so a piece of 4 GiB - 1 bytes, or a large volume whose free space saturated
 * there, would otherwise swallow the rest of a larger source. */
TEST(SplitBudget, StaysALimitAtEverySize)
{
    const uint32_t top = TRANSFER_NO_LIMIT;
    const uint32_t table[] = {500, top, 0};
    const struct {
        const uint32_t *limits;
        uint32_t index, free_bytes, reserve, budget;
    } rows[] = {
        {table, 0, 9, 0, 500},          {table, 1, 9, 0, top - 1},
        {table, 2, top, 0, 0},          {NULL, 0, 1457664, 512, 1457152},
        {NULL, 0, 100, 700, 0},         {NULL, 0, 700, 700, 0},
        {NULL, 0, top, 0, top - 1},     {NULL, 0, top, 1, top - 1},
        {NULL, 0, top - 1, 0, top - 1},
    };
    for (const auto &r : rows)
        EXPECT_EQ(transfer_split_budget(r.limits, r.index, r.free_bytes, r.reserve), r.budget)
            << "index " << r.index << ", free " << r.free_bytes << ", reserve " << r.reserve;
}

TEST_F(Floppies, RoundTripsOverEveryPieceCountAndSeveralDiskSizes)
{
    for (uint32_t n = 1; n <= 10; n++) {
        for (DWORD clusters : {3u, 8u, 21u}) {
            for (uint32_t reserve : {0u, 700u}) {
                SCOPED_TRACE(std::to_string(n) + " pieces, disks of " + std::to_string(clusters) +
                             " clusters, reserve " + std::to_string(reserve));
                fresh_desk();
                uint32_t budget = clusters * 512 - reserve;
                for (uint32_t v = 1; v <= n; v++)
                    desk.clusters[(int)v] = clusters;
                const std::string data = bytes_of((n - 1) * budget + budget / 2 + 1, n);
                ASSERT_TRUE(ws_write_file(src, data));
                g_progress.clear();
                ASSERT_EQ(split("SETUP.EXE", 1, n, "DISK", reserve), STATUS_OK);
                EXPECT_EQ(sum(g_progress), data.size());
                for (uint32_t v = 1; v <= n; v++) {
                    char piece[PATH_CAP] = "SETUP.EXE";
                    if (n > 1) {
                        volume_next_piece_name(piece, 1, 0);
                        for (uint32_t k = 2; k <= v; k++)
                            volume_next_piece_name(piece, 0, k == n);
                    }
                    auto files = files_on((int)v);
                    EXPECT_EQ(files.size(), 1u) << "volume " << v;
                    EXPECT_EQ(files[piece], v < n ? budget : budget / 2 + 1) << piece;
                    EXPECT_EQ(desk.label((int)v), "DISK " + std::to_string(v));
                }
                EXPECT_TRUE(joins_back("SETUP.EXE", data));
            }
        }
    }
}

/* The expected output of a substituting copy, for the resolver of these tests. */
std::string expanded(const std::string &text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); i++) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        size_t close = text.find('%', i + 1);
        out += close == i + 1 ? "%" : "[" + text.substr(i + 1, close - i - 1) + "]";
        i = close;
    }
    return out;
}

TEST_F(Floppies, ATokenCutAtEveryByteBetweenTwoPiecesJoinsAsOneFile)
{
    const std::string text = "Home=%HOME%\r\nRate=100%%\r\n%PATH%;%WINDIR%\\x";
    ASSERT_TRUE(ws_write_file(src, text));
    for (uint32_t cut = 0; cut <= text.size(); cut++) {
        SCOPED_TRACE("cut after " + std::to_string(cut));
        const uint32_t limits[] = {cut, (uint32_t)text.size() - cut};
        fresh_desk();
        ASSERT_EQ(split("TEXT.INI", 1, 2, "DISK", 0, limits), STATUS_OK);
        sim_eject_medium('A');
        ASSERT_EQ(join("TEXT.INI", 1, "DISK", 1), STATUS_OK);
        EXPECT_EQ(joined(), expanded(text));
    }
    /* A middle piece shorter than the token around it, or empty. */
    for (const std::vector<uint32_t> &limits :
         {std::vector<uint32_t>{7, 2, 100}, std::vector<uint32_t>{6, 0, 100}}) {
        fresh_desk();
        ASSERT_EQ(split("TEXT.INI", 1, 3, "DISK", 0, limits.data()), STATUS_OK);
        sim_eject_medium('A');
        ASSERT_EQ(join("TEXT.INI", 1, "DISK", 1), STATUS_OK);
        EXPECT_EQ(joined(), expanded(text));
    }
    /* A set that ends inside a token. */
    ASSERT_TRUE(ws_write_file(src, "x=%HOME"));
    fresh_desk();
    const uint32_t limits[] = {4, 10};
    ASSERT_EQ(split("TEXT.INI", 1, 2, "DISK", 0, limits), STATUS_OK);
    sim_eject_medium('A');
    EXPECT_EQ(join("TEXT.INI", 1, "DISK", 1), STATUS_READ_ERROR);
    EXPECT_EQ(joined(), "x=");
}

TEST_F(Floppies, SubstitutedRoundTripsOverEveryPieceCount)
{
    std::string text;
    for (int i = 0; text.size() < 9000; i++)
        text += "line " + std::to_string(i) + ": %VAR" + std::to_string(i % 7) + "% at 100%%\r\n";
    ASSERT_TRUE(ws_write_file(src, text));
    for (uint32_t n = 1; n <= 10; n++) {
        for (DWORD clusters : {2u, 19u}) {
            SCOPED_TRACE(std::to_string(n) + " pieces, disks of " + std::to_string(clusters) +
                         " clusters");
            fresh_desk();
            /* Disks that hold an n-th of the text, the last the rest. */
            uint32_t budget = (uint32_t)text.size() / n;
            budget = budget < clusters * 512 ? budget : clusters * 512;
            std::vector<uint32_t> limits(n, budget);
            limits[n - 1] = (uint32_t)text.size() - budget * (n - 1);
            for (uint32_t v = 1; v <= n; v++)
                desk.clusters[(int)v] = (limits[v - 1] + 511) / 512 + 1;
            ASSERT_EQ(split("TEXT.INI", 1, n, "DISK", 0, limits.data()), STATUS_OK);
            sim_eject_medium('A');
            ASSERT_EQ(join("TEXT.INI", 1, "DISK", 1), STATUS_OK);
            EXPECT_EQ(joined(), expanded(text));
        }
    }
}

TEST_F(Floppies, ASourceThatOutlastsItsPiecesFailsAndKeepsWhatWasWritten)
{
    const std::string data = bytes_of(2500, 9);
    ASSERT_TRUE(ws_write_file(src, data));
    const uint32_t limits[] = {1000, 1000};
    EXPECT_EQ(split("SETUP.EXE", 1, 2, "DISK", 0, limits), STATUS_WRITE_ERROR);
    EXPECT_EQ(files_on(1), (std::map<std::string, uint64_t>{{"1ETUP.EXE", 1000}}));
    EXPECT_EQ(files_on(2), (std::map<std::string, uint64_t>{{"0ETUP.EXE", 1000}}));
    std::string again;
    ASSERT_TRUE(ws_read_file(src, &again));
    EXPECT_TRUE(again == data);

    /* The source ends exactly with the last piece: whole. */
    const uint32_t exact[] = {1500, 1000};
    fresh_desk();
    EXPECT_EQ(split("SETUP.EXE", 1, 2, "DISK", 0, exact), STATUS_OK);
    /* A piece that begins after the end of the source is written empty. */
    const uint32_t more[] = {2500, 1000};
    fresh_desk();
    EXPECT_EQ(split("SETUP.EXE", 1, 2, "DISK", 0, more), STATUS_OK);
    EXPECT_EQ(files_on(2), (std::map<std::string, uint64_t>{{"0ETUP.EXE", 0}}));
    EXPECT_TRUE(joins_back("SETUP.EXE", data));
}

TEST_F(Floppies, SplitsRefusedBeforeAnythingIsWritten)
{
    ASSERT_TRUE(ws_write_file(src, bytes_of(3000, 10)));
    const struct {
        const char *what;
        const char *name;
        int32_t first;
        uint32_t count;
        status_t rc;
    } rows[] = {
        {"eleven pieces", "SETUP.EXE", 1, 11, STATUS_WRITE_ERROR},
        {"ten pieces when the first is 2", "1ETUP.EXE", 1, 10, STATUS_WRITE_ERROR},
        {"no piece", "SETUP.EXE", 1, 0, STATUS_WRITE_ERROR},
        {"no piece position", "_.EXE", 1, 2, STATUS_WRITE_ERROR},
        {"several pieces from volume 0", "C:\\vxtest\\OUT.EXE", 0, 2, STATUS_FAILED},
        {"volume numbers that run out", "SETUP.EXE", INT32_MAX, 2, STATUS_FAILED},
    };
    for (const auto &row : rows) {
        EXPECT_EQ(split(row.name, row.first, row.count), row.rc) << row.what;
        EXPECT_TRUE(desk.prompts.empty()) << row.what;
        EXPECT_TRUE(desk.disks.empty()) << row.what;
        EXPECT_FALSE(ws_file_exists("C:\\vxtest\\OUT.EXE")) << row.what;
        EXPECT_STREQ(target, row.name) << row.what;
    }
    /* Ten pieces fit, from volume 1 and from the last volume numbers there are. */
    EXPECT_EQ(split("SETUP.EXE", INT32_MAX - 9, 10, "D", 0, NULL), STATUS_OK);
}

TEST_F(Floppies, OnePieceFromVolumeZeroIsAPlainCopyWithALimit)
{
    const std::string data = bytes_of(3000, 11);
    ASSERT_TRUE(ws_write_file(src, data));
    ASSERT_EQ(split("C:\\vxtest\\OUT.EXE", 0, 1), STATUS_OK);
    std::string got;
    ASSERT_TRUE(ws_read_file("C:\\vxtest\\OUT.EXE", &got));
    EXPECT_TRUE(got == data);
    EXPECT_TRUE(desk.prompts.empty());
    const uint32_t limits[] = {2999};
    EXPECT_EQ(split("C:\\vxtest\\OUT.EXE", 0, 1, "", 0, limits), STATUS_WRITE_ERROR);
}

TEST_F(Floppies, ADiskWithLessFreeSpaceThanTheReserveTakesNothing)
{
    const std::string data = bytes_of(12000, 12);
    ASSERT_TRUE(ws_write_file(src, data));
    /* Disk 2 already holds a file that leaves it 512 bytes, below the reserve of 600. */
    desk.clusters[2] = 8;
    ASSERT_TRUE(ws_write_file("C:\\vxtest\\filler", std::string(7 * 512, 'f')));
    fs::copy_file(sim_host_path("C:\\vxtest\\filler"), desk.disk(2) + "/FILLER");
    ASSERT_EQ(split("SETUP.EXE", 1, 3, "DISK", 600), STATUS_OK);
    EXPECT_EQ(files_on(1)["1ETUP.EXE"], 10240u - 600u);
    EXPECT_EQ(files_on(2)["2ETUP.EXE"], 0u);
    EXPECT_EQ(files_on(3)["0ETUP.EXE"], 12000u - (10240u - 600u));
    EXPECT_TRUE(joins_back("SETUP.EXE", data));
}

TEST_F(Floppies, ASetWithAPieceMissingEndsWithNotFound)
{
    const std::string data = bytes_of(25000, 13);
    ASSERT_TRUE(ws_write_file(src, data));
    ASSERT_EQ(split("SETUP.EXE", 1, 3), STATUS_OK);
    fs::remove(desk.disk(2) + "/2ETUP.EXE");
    sim_eject_medium('A');
    desk.prompts.clear();
    EXPECT_EQ(join("SETUP.EXE", 1), STATUS_NOT_FOUND);
    EXPECT_TRUE(joined() == data.substr(0, 10240)) << "what was joined before stays";
    /* Disk 2 was asked for twice: for its numbered piece, then for the last one. */
    EXPECT_EQ(desk.prompts, (std::vector<Prompt>{{1, 0, "A:\\"}, {2, 0, "A:\\"}}));

    /* The last piece missing. */
    fs::remove(desk.disk(3) + "/0ETUP.EXE");
    fs::copy_file(desk.disk(1) + "/1ETUP.EXE", desk.disk(2) + "/2ETUP.EXE");
    sim_eject_medium('A');
    EXPECT_EQ(join("SETUP.EXE", 1), STATUS_NOT_FOUND);
    /* Neither the file nor its first piece on the first disk. */
    fs::remove(desk.disk(1) + "/1ETUP.EXE");
    EXPECT_EQ(join("SETUP.EXE", 1), STATUS_NOT_FOUND);
}

TEST_F(Floppies, AWrongDiskForEverUntilTheUserCancels)
{
    one_piece_set_and_another_disk(9, "OTHER 1");
    for (int i = 0; i < 40; i++)
        desk.script.push_back([](int, char *, int32_t *) {});
    desk.script.push_back([](int, char *, int32_t *cancel) { *cancel = 7; });
    EXPECT_EQ(join("SETUP.EXE", 1), STATUS_CANCELLED);
    ASSERT_EQ(desk.prompts.size(), 41u);
    EXPECT_EQ(desk.prompts[0].wrong, 0);
    for (size_t i = 1; i < desk.prompts.size(); i++)
        EXPECT_EQ(desk.prompts[i].wrong, 1) << i;
    EXPECT_FALSE(ws_file_exists(dst)) << "no target before the source is found";

    /* Writing labels whatever disk is in the drive once the user has answered: the disk
     * offered becomes volume 1, unless it refuses the label. */
    desk.prompts.clear();
    for (int i = 0; i < 3; i++)
        desk.script.push_back([](int, char *, int32_t *) { sim_fault(SIM_VOLUME, 1, false, 0); });
    desk.script.push_back([](int, char *, int32_t *cancel) { *cancel = 1; });
    EXPECT_EQ(split("SETUP.EXE", 1, 1), STATUS_CANCELLED);
    sim_fault_clear();
    EXPECT_EQ(desk.label(9), "OTHER 1");
    EXPECT_EQ(desk.prompts.size(), 4u);
    EXPECT_EQ(desk.prompts[3].wrong, 1);
    desk.prompts.clear();
    desk.script.push_back([](int, char *, int32_t *) {});
    EXPECT_EQ(split("SETUP.EXE", 1, 1), STATUS_OK);
    EXPECT_EQ(desk.label(9), "DISK 1");
}

TEST_F(Floppies, AFullDiskEndsTheSplitWithItsPieceKept)
{
    ASSERT_TRUE(ws_write_file(src, bytes_of(30000, 14)));
    const uint32_t limits[] = {20000, 10000};
    EXPECT_EQ(split("SETUP.EXE", 1, 2, "DISK", 0, limits), STATUS_WRITE_ERROR);
    EXPECT_EQ(files_on(1).count("1ETUP.EXE"), 1u);
    EXPECT_LE(files_on(1)["1ETUP.EXE"], 10240u);
}

TEST_F(Floppies, ADiskTakenOutDuringACopy)
{
    const std::string data = bytes_of(25000, 15);
    ASSERT_TRUE(ws_write_file(src, data));
    ASSERT_EQ(split("SETUP.EXE", 1, 3), STATUS_OK);
    sim_eject_medium('A');
    /* Reading the second piece fails as if its disk had gone. */
    sim_fault(SIM_READ, 3, true, EIO);
    EXPECT_EQ(join("SETUP.EXE", 1), STATUS_READ_ERROR);
    sim_fault_clear();
    EXPECT_TRUE(joined() == data.substr(0, joined().size()));

    /* Writing fails as the disk goes; the disk calls then find no disk, until the user
     * gives up. */
    fresh_desk();
    sim_fault(SIM_WRITE, 1, true, EIO);
    EXPECT_EQ(split("SETUP.EXE", 1, 3), STATUS_WRITE_ERROR);
    sim_fault_clear();
    fresh_desk();
    sim_fault(SIM_VOLUME, 1, true, 0);
    EXPECT_EQ(split("SETUP.EXE", 1, 3), STATUS_CANCELLED);
    sim_fault_clear();
    std::string again;
    ASSERT_TRUE(ws_read_file(src, &again));
    EXPECT_TRUE(again == data);
}

TEST_F(Floppies, LabelsReadForAnEmptyBase)
{
    const struct {
        const char *label;
        const char *base;
        int32_t volume;
    } rows[] = {
        {"SETUP 12", "SETUP", 12},  {"SETUP", "SETUP", 77},     {"", "", 77},
        {"   ", "", 77},            {"  DISK   3  ", "DISK", 3}, {"DISK 3x", "DISK", 3},
        {"DISK x3", "DISK", 77},    {"DISK\t7", "DISK", 7},     {"DISK -4", "DISK", -4},
        {"DISK 1 2", "DISK", 1},    {"12", "12", 77},           {"DISK 4294967296", "DISK", INT32_MAX},
        {"DISK -2147483649", "DISK", INT32_MIN},
    };
    desk.insert('A', 1);
    for (const auto &row : rows) {
        ASSERT_TRUE(sim_set_medium_label(desk.disk(1), row.label));
        char base[PATH_CAP] = "";
        int32_t volume = 77;
        EXPECT_EQ(volume_check_label(base, &volume), STATUS_OK) << row.label;
        EXPECT_STREQ(base, row.base) << row.label;
        EXPECT_EQ(volume, row.volume) << row.label;
    }
    /* The expected label is "base number", also for numbers with a sign. */
    ASSERT_TRUE(sim_set_medium_label(desk.disk(1), "Disk -2147483648"));
    char base[PATH_CAP] = "DISK";
    int32_t volume = INT32_MIN;
    EXPECT_EQ(volume_check_label(base, &volume), STATUS_OK);
    EXPECT_EQ(volume_set_label(std::string(300, 'L').c_str(), 1), STATUS_NOT_FOUND)
        << "a label that does not fit";
    char longer[PATH_CAP];
    memset(longer, 'L', sizeof longer - 1);
    longer[sizeof longer - 1] = '\0';
    volume = 1;
    EXPECT_EQ(volume_check_label(longer, &volume), STATUS_NOT_FOUND);
}

TEST_F(Floppies, WhateverThePromptWritesStaysInsideTheRootBuffer)
{
    ASSERT_TRUE(ws_write_file(src, "data"));
    desk.script.push_back([](int, char *root, int32_t *) { memset(root, 'x', PATH_CAP); });
    desk.script.push_back([&](int volume, char *root, int32_t *) {
        strcpy(root, "a:/\t\n");
        desk.insert('A', volume);
    });
    ASSERT_EQ(split("SETUP.EXE", 1, 1), STATUS_OK);
    ASSERT_EQ(desk.prompts.size(), 2u);
    EXPECT_EQ(desk.prompts[1].root, std::string(PATH_CAP - 1, 'X'));
    EXPECT_EQ(desk.prompts[1].wrong, 0) << "no disk could be read";
    EXPECT_EQ(desk.label(1), "DISK 1");
    /* The cleaned root stays for the next copy: a join finds volume 1 in A: unasked. */
    ASSERT_EQ(join("SETUP.EXE", 1), STATUS_OK);
    EXPECT_EQ(desk.prompts.size(), 2u) << "no prompt: the disk was in the drive named";
    EXPECT_EQ(joined(), "data");
}

/* What a fault of each family may end a copy with (besides success, where the family's
 * failure has a fallback or is not examined). */
std::vector<status_t> fault_statuses(sim_family family)
{
    switch (family) {
    case SIM_MEM: return {STATUS_OK, STATUS_NO_MEMORY};
    case SIM_OPEN: return {STATUS_NOT_FOUND, STATUS_WRITE_ERROR, STATUS_ACCESS_DENIED};
    case SIM_READ: return {STATUS_READ_ERROR};
    case SIM_WRITE: return {STATUS_WRITE_ERROR};
    case SIM_CLOSE: return {STATUS_OK, STATUS_WRITE_ERROR};
    case SIM_DISK: return {STATUS_OK, STATUS_FAILED};
    case SIM_STAMPS: return {STATUS_ACCESS_DENIED};
    case SIM_VOLUME: return {STATUS_OK, STATUS_CANCELLED};
    default: return {STATUS_OK};
    }
}

const sim_family kCopyFamilies[] = {SIM_MEM,   SIM_OPEN, SIM_READ,   SIM_WRITE,
                                    SIM_CLOSE, SIM_DISK, SIM_STAMPS, SIM_VOLUME};

TEST_F(Floppies, FaultSweepOverASplit)
{
    const std::string data = bytes_of(25000, 16);
    for (sim_family family : kCopyFamilies) {
        fault_sweep(
            family,
            [&] {
                fresh_desk();
                ws_write_file(src, data);
            },
            [&] { return split("SETUP.EXE", 1, 3); },
            [&](status_t rc, bool fired) {
                std::vector<status_t> allowed = fired ? fault_statuses(family)
                                                      : std::vector<status_t>{STATUS_OK};
                EXPECT_EQ(std::count(allowed.begin(), allowed.end(), rc), 1) << "status " << rc;
                std::string again;
                EXPECT_TRUE(ws_read_file(src, &again) && again == data);
                if (rc == STATUS_OK) {
                    sim_eject_medium('A');
                    desk.prompts.clear();
                    EXPECT_EQ(join("SETUP.EXE", 1), STATUS_OK);
                    EXPECT_TRUE(joined() == data);
                }
            });
    }
}

TEST_F(Floppies, FaultSweepOverAJoin)
{
    const std::string data = bytes_of(25000, 17);
    ASSERT_TRUE(ws_write_file(src, data));
    ASSERT_EQ(split("SETUP.EXE", 1, 3), STATUS_OK);
    const Desk made = desk;
    for (sim_family family : kCopyFamilies) {
        fault_sweep(
            family,
            [&] {
                desk.prompts.clear();
                desk.script.clear();
                sim_eject_medium('A');
                DeleteFileA(dst.c_str());
            },
            [&] { return join("SETUP.EXE", 1); },
            [&](status_t rc, bool fired) {
                std::vector<status_t> allowed = fired ? fault_statuses(family)
                                                      : std::vector<status_t>{STATUS_OK};
                /* A source piece that cannot be opened reads as a piece that is not there; the
                 * opens that look for an absent piece fail anyway. */
                if (fired && family == SIM_OPEN)
                    allowed = {STATUS_OK, STATUS_NOT_FOUND, STATUS_WRITE_ERROR,
                               STATUS_ACCESS_DENIED};
                EXPECT_EQ(std::count(allowed.begin(), allowed.end(), rc), 1) << "status " << rc;
                for (const auto &d : made.disks)
                    EXPECT_EQ(sim_medium_label(d.second), "DISK " + std::to_string(d.first));
                if (rc == STATUS_OK) {
                    EXPECT_TRUE(joined() == data);
                }
            });
    }
}

TEST_F(Floppies, AllocationFaultSweepOverASplitAndAJoin)
{
    const std::string data = bytes_of(60000, 18);
    ASSERT_TRUE(ws_write_file(src, data));
    for (int which = 0; which < 2; which++) {
        for (unsigned nth = 1;; nth++) {
            SCOPED_TRACE(std::string(which ? "join" : "split") + ", allocation " +
                         std::to_string(nth));
            if (which == 0)
                desk = Desk();
            for (int v = 1; v <= 8; v++)
                desk.clusters[v] = 20;
            sim_eject_medium('A');
            sim_fault(SIM_MEM, nth, false, 0);
            status_t rc = which == 0 ? split("SETUP.EXE", 1, 6) : join("SETUP.EXE", 1);
            bool fired = sim_fault_fired(SIM_MEM) > 0;
            sim_fault_clear();
            EXPECT_EQ(sim_open_files(), 0);
            EXPECT_EQ(sim_live_blocks(), 0);
            EXPECT_TRUE(rc == STATUS_OK || rc == STATUS_NO_MEMORY) << rc;
            if (!fired)
                break;
            ASSERT_LT(nth, 100u);
        }
        if (which == 1) {
            EXPECT_TRUE(joined() == data);
        }
    }
}

} // namespace
