/* Splits and joins over simulated floppy disks, with a user who answers the disk prompts:
 * names, labels, prompts, budgets, round trips, the mends, bad sets and platform faults. */
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "platform/os.h"
#include "platform/path.h"
#include "platform/text.h"
#include "sim/sim.h"
#include "support/workstation.h"
#include "transfer/transfer.h"

namespace {

namespace fs = std::filesystem;

/* One call of the disk prompt as the user saw it. */
struct Prompt {
    int volume;
    int wrong;
    std::string root;
    bool operator==(const Prompt &o) const
    {
        return volume == o.volume && wrong == o.wrong && root == o.root;
    }
};
std::ostream &operator<<(std::ostream &os, const Prompt &p)
{
    return os << "{" << p.volume << ", wrong " << p.wrong << ", " << p.root << "}";
}

/* The user at the prompt: by default puts in the disk of the volume asked for (a blank one
 * the first time), and gives up after a number of calls for one volume. A script, when set,
 * answers the next calls instead. */
typedef std::function<void(int volume, char *root, int32_t *cancel)> Answer;

struct Desk {
    std::map<int, std::string> disks; /* volume number -> the folder of its disk */
    std::map<int, DWORD> clusters;    /* a disk's size in 512-byte clusters (default 20) */
    std::vector<Prompt> prompts;
    std::deque<Answer> script;
    int give_up_after = 6;

    std::string disk(int volume)
    {
        auto it = disks.find(volume);
        if (it == disks.end())
            it = disks.emplace(volume, sim_make_temp_dir()).first;
        return it->second;
    }
    void insert(char drive, int volume)
    {
        DWORD n = clusters.count(volume) ? clusters[volume] : 20;
        ASSERT_TRUE(sim_insert_medium(drive, disk(volume).c_str(), 1, 512, n));
    }
    std::string label(int volume)
    {
        return sim_medium_label(disk(volume));
    }
};

Desk *g_desk;

void user_prompt(int32_t user, char *root, const void *context, int32_t volume,
                 const char *platform, int32_t *cancel, int32_t wrong)
{
    EXPECT_EQ(user, 31);
    EXPECT_STREQ((const char *)context, "prompt context");
    EXPECT_STREQ(platform, "Windows 32");
    EXPECT_EQ(*cancel, 0);
    Desk &d = *g_desk;
    d.prompts.push_back(Prompt{volume, wrong, root});
    if (!d.script.empty()) {
        Answer a = d.script.front();
        d.script.pop_front();
        a(volume, root, cancel);
        return;
    }
    int asked = (int)std::count_if(d.prompts.begin(), d.prompts.end(),
                                   [&](const Prompt &p) { return p.volume == volume; });
    if (asked > d.give_up_after) {
        *cancel = 1;
        return;
    }
    d.insert(root[0], volume);
}

std::vector<uint32_t> g_progress;
void record_progress(int32_t user, uint32_t bytes)
{
    EXPECT_EQ(user, 31);
    g_progress.push_back(bytes);
}

std::string bytes_of(size_t n, unsigned seed)
{
    std::mt19937 gen(seed);
    std::string s(n, '\0');
    for (char &c : s)
        c = (char)(gen() & 0xFF);
    return s;
}

uint64_t sum(const std::vector<uint32_t> &v)
{
    uint64_t s = 0;
    for (uint32_t x : v)
        s += x;
    return s;
}

status_t resolve(int32_t, int32_t, const char *token, char *buf, uint16_t, int32_t, int32_t,
                 const char *, const char *)
{
    std::string v = std::string("[") + (token + 1);
    v.back() = ']';
    memcpy(buf, v.c_str(), v.size() + 1);
    return STATUS_OK;
}

class Floppies : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = ws_fresh();
        sim_add_drive('A', DRIVE_REMOVABLE, NULL);
        ASSERT_TRUE(text_copy_fit(volume_drive_root(), PATH_CAP, "A:\\"));
        g_desk = &desk;
        g_progress.clear();
        src = ws_join(dir, "SETUP.EXE");
        dst = ws_join(dir, "JOINED.EXE");
    }
    void TearDown() override
    {
        g_desk = NULL;
        EXPECT_EQ(sim_open_files(), 0);
        EXPECT_EQ(sim_live_blocks(), 0);
    }

    status_t split(const char *name, int32_t first, uint32_t count, const char *base = "DISK",
                   uint32_t reserve = 0, const uint32_t *limits = NULL, uint32_t *counter = NULL)
    {
        EXPECT_TRUE(text_copy_fit(target, PATH_CAP, name));
        EXPECT_TRUE(text_copy_fit(label_base, PATH_CAP, base));
        return transfer_split(src.c_str(), target, first, count, reserve, 0, 0, 0, label_base,
                              "prompt context", user_prompt, record_progress, NULL, 31, limits,
                              counter);
    }
    status_t join(const char *name, int32_t first, const char *base = "DISK",
                  truth_t substitute = 0)
    {
        EXPECT_TRUE(text_copy_fit(label_base, PATH_CAP, base));
        return transfer_single(name, dst.c_str(), first, 0, 0, 0, substitute, label_base,
                               "prompt context", user_prompt, record_progress, NULL, 31, 0, 0,
                               resolve);
    }
    std::string joined()
    {
        std::string s;
        return ws_read_file(dst, &s) ? s : "<absent>";
    }
    /* The files of a disk, by name, with their sizes. */
    std::map<std::string, uint64_t> files_on(int volume)
    {
        std::map<std::string, uint64_t> out;
        for (const auto &e : fs::directory_iterator(desk.disk(volume)))
            if (e.path().filename() != SIM_LABEL_FILE)
                out[e.path().filename().string()] = e.file_size();
        return out;
    }

    Desk desk;
    std::string dir, src, dst;
    char target[PATH_CAP];
    char label_base[PATH_CAP];
};

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
    EXPECT_STREQ(volume_drive_root(), "B:\\");
    EXPECT_EQ(desk.prompts, (std::vector<Prompt>{{1, 0, "A:\\"}, {2, 0, "B:\\"}}));
    EXPECT_EQ(desk.label(2), "DISK 2");

    /* The next copy starts on B:, where volume 2 still is. */
    desk.prompts.clear();
    ASSERT_EQ(join("SETUP.EXE", 1), STATUS_OK);
    EXPECT_EQ(desk.prompts, (std::vector<Prompt>{{1, 0, "B:\\"}, {2, 0, "B:\\"}}));
    EXPECT_STREQ(volume_drive_root(), "B:\\");
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
    ASSERT_TRUE(ws_write_file(src, "data"));
    ASSERT_EQ(split("SETUP.EXE", 1, 1), STATUS_OK);
    desk.insert('A', 5);
    ASSERT_TRUE(SetVolumeLabelA("A:\\", "DISK 5"));
    desk.prompts.clear();
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

} // namespace
