/* A desk of simulated floppy disks and a user at the disk prompt, for the tests of splits and
 * joins over removable volumes. */
#ifndef TESTS_TRANSFER_FLOPPIES_H
#define TESTS_TRANSFER_FLOPPIES_H

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

namespace floppies {

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
inline std::ostream &operator<<(std::ostream &os, const Prompt &p)
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

inline Desk *g_desk;

inline void user_prompt(int32_t user, char *root, const void *context, int32_t volume,
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

inline std::vector<uint32_t> g_progress;
inline void record_progress(int32_t user, uint32_t bytes)
{
    EXPECT_EQ(user, 31);
    g_progress.push_back(bytes);
}

inline std::string bytes_of(size_t n, unsigned seed)
{
    std::mt19937 gen(seed);
    std::string s(n, '\0');
    for (char &c : s)
        c = (char)(gen() & 0xFF);
    return s;
}

inline uint64_t sum(const std::vector<uint32_t> &v)
{
    uint64_t s = 0;
    for (uint32_t x : v)
        s += x;
    return s;
}

inline status_t resolve(int32_t, int32_t, const char *token, char *buf, uint16_t, int32_t, int32_t,
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
        return transfer_split(src.c_str(), target, first, count, reserve, 0, 0,
                              split_decompress, label_base, "prompt context", user_prompt,
                              record_progress, NULL, 31, limits, counter);
    }
    status_t join(const char *name, int32_t first, const char *base = "DISK",
                  truth_t substitute = 0, truth_t decompress = 0)
    {
        EXPECT_TRUE(text_copy_fit(label_base, PATH_CAP, base));
        return transfer_single(name, dst.c_str(), first, 0, 0, decompress, substitute,
                               label_base, "prompt context", user_prompt, record_progress, NULL,
                               31, 0, 0, resolve);
    }
    /* "data" as a set of one piece on volume 1, and in the drive another disk, of that
     * volume number and label. */
    void one_piece_set_and_another_disk(int volume, const char *label)
    {
        ASSERT_TRUE(ws_write_file(src, "data"));
        ASSERT_EQ(split("SETUP.EXE", 1, 1), STATUS_OK);
        desk.insert('A', volume);
        ASSERT_TRUE(SetVolumeLabelA("A:\\", label));
        desk.prompts.clear();
    }
    /* A fresh desk, and the drive empty. */
    void fresh_desk()
    {
        desk = Desk();
        sim_eject_medium('A');
    }
    /* Join name back from volume 1, starting with the drive empty: true when that succeeds
     * and gives data. */
    bool joins_back(const char *name, const std::string &data, truth_t decompress = 0)
    {
        sim_eject_medium('A');
        status_t rc = join(name, 1, "DISK", 0, decompress);
        EXPECT_EQ(rc, STATUS_OK) << name;
        return rc == STATUS_OK && joined() == data;
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
    truth_t split_decompress = 0; /* split expands the source's compressed name */
    char target[PATH_CAP];
    char label_base[PATH_CAP];
};

} // namespace floppies

#endif
