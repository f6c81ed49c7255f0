/* The console disk prompt that vxpack.exe gives, run against the simulated removable drive A:
 * with the engine's own volume prompt: what a split may label, what it must not, and what the
 * prompt tells the user. */
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "sim/sim.h"
#include "transfer/volume.h"
#include "volumes_console.h"

namespace fs = std::filesystem;

namespace {

/* The user's answers, one per prompt line read, and what the prompt wrote. */
std::vector<std::string> answers;
size_t answered = 0;
FILE *said = NULL;

bool scripted_line(std::string *line)
{
    if (answered >= answers.size())
        return false;
    *line = answers[answered++];
    return true;
}

void prompt_by_script(int32_t, char *drive_root, const void *context, int32_t volume,
                      const char *, int32_t *cancel, int32_t)
{
    vxpack::console_prompt((vxpack::pack_volumes *)context, drive_root, volume, cancel,
                           vxpack::console_io{scripted_line, said});
}

class ConsolePrompt : public ::testing::Test {
protected:
    fs::path dir;
    void SetUp() override
    {
        char tmpl[] = "/tmp/vxpack-console.XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        sim_reset();
        sim_add_drive('A', DRIVE_REMOVABLE, NULL);
        said = tmpfile();
        answered = 0;
        snprintf(volume_drive_root(), 260, "A:\\");
    }
    void TearDown() override
    {
        sim_reset();
        fclose(said);
        fs::remove_all(dir);
    }
    /* A disk in A: with a label (empty: none) and files. */
    std::string insert(const std::string &name, const std::string &label,
                       const std::vector<std::string> &files)
    {
        fs::path p = dir / name;
        fs::create_directories(p);
        if (!label.empty())
            sim_set_medium_label(p.string(), label.c_str());
        for (const std::string &f : files)
            std::ofstream(p / f) << "bytes";
        sim_eject_medium('A');
        sim_insert_medium('A', p.c_str(), 1, 512, 2847);
        return p.string();
    }
    std::string output()
    {
        std::string text;
        rewind(said);
        char buf[512];
        while (fgets(buf, sizeof buf, said) != NULL)
            text += buf;
        return text;
    }
    /* The engine's prompt for volume n of DISK, writing as a split does. */
    status_t ask(vxpack::pack_volumes *v, int32_t n, const std::vector<std::string> &script)
    {
        answers = script;
        answered = 0;
        char base[260] = "DISK";
        return volume_prompt(base, v, n, 1, prompt_by_script, 0, 0);
    }
};

TEST_F(ConsolePrompt, EnterWithoutChangingTheDiskNeverRelabelsOne)
{
    struct row {
        const char *what;
        std::string label;
        std::vector<std::string> files;
        bool quiet;
        std::vector<std::string> script;
        status_t result;
        std::string label_after;
        std::string told;
    } rows[] = {
        {"a blank disk is labelled", "", {}, false, {""}, STATUS_OK, "DISK 2",
         "is not labelled and holds no files"},
        {"this set's first disk keeps its label", "DISK 1", {"1ETUP.EXE"}, false,
         {"", "", "Y", "Q"}, STATUS_CANCELLED, "DISK 1",
         "It is DISK 1 of this set: it keeps its label."},
        {"another set's disk: Enter asks again", "BACKUP 3", {"NOTES.TXT"}, false,
         {"", "Q"}, STATUS_CANCELLED, "BACKUP 3",
         "is labelled \"BACKUP 3\" and holds NOTES.TXT"},
        {"another set's disk: Y relabels it", "BACKUP 3", {"NOTES.TXT"}, false, {"Y"},
         STATUS_OK, "DISK 2", "Type Y to label it DISK 2"},
        {"files on an unlabelled disk are asked about", "", {"A.TXT", "B.TXT"}, false,
         {"", "Q"}, STATUS_CANCELLED, "", "holds A.TXT, B.TXT"},
        {"--quiet refuses, naming what is there", "BACKUP 3", {"NOTES.TXT"}, true, {"Y"},
         STATUS_CANCELLED, "BACKUP 3", ""},
    };
    for (const row &r : rows) {
        SCOPED_TRACE(r.what);
        fseek(said, 0, SEEK_SET);
        ftruncate(fileno(said), 0);
        std::string disk = insert(std::string("d") + std::to_string(&r - rows), r.label,
                                  r.files);
        vxpack::pack_volumes v{"", "A:", 0, true, "DISK", ""};
        v.quiet = r.quiet;
        EXPECT_EQ(ask(&v, 2, r.script), r.result);
        EXPECT_EQ(sim_medium_label(disk), r.label_after);
        EXPECT_NE(output().find(r.told), std::string::npos) << output();
        if (r.quiet) {
            EXPECT_NE(v.failure.find("labelled \"BACKUP 3\" and holds NOTES.TXT"),
                      std::string::npos) << v.failure;
            EXPECT_EQ(answered, 0u);
        }
    }
}

TEST_F(ConsolePrompt, TheFirstPromptSaysWhatIsInTheDrive)
{
    insert("other", "PHOTOS", {"IMG1.JPG"});
    vxpack::pack_volumes v{"", "A:", 0, false, "DISK", ""};
    answers = {"Q"};
    char base[260] = "DISK";
    EXPECT_EQ(volume_prompt(base, &v, 1, 0, prompt_by_script, 0, 0), STATUS_CANCELLED);
    std::string text = output();
    size_t told = text.find("The disk in drive A: is labelled \"PHOTOS\" and holds IMG1.JPG.");
    size_t asked = text.find("Insert the disk labelled DISK 1 in drive A:");
    ASSERT_NE(told, std::string::npos) << text;
    EXPECT_LT(told, asked);
}

TEST_F(ConsolePrompt, ADriveTypedInASplitIsLookedAtBeforeItIsLabelled)
{
    std::string a = insert("a", "", {});
    fs::create_directories(dir / "b");
    sim_set_medium_label((dir / "b").string(), "KEEP ME");
    std::ofstream(dir / "b" / "X.TXT") << "x";
    sim_add_drive('B', DRIVE_REMOVABLE, NULL);
    sim_insert_medium('B', (dir / "b").c_str(), 1, 512, 2847);
    vxpack::pack_volumes v{"", "A:", 0, true, "DISK", ""};
    EXPECT_EQ(ask(&v, 1, {"B:", "Q"}), STATUS_CANCELLED);
    EXPECT_EQ(sim_medium_label((dir / "b").string()), "KEEP ME");
    EXPECT_NE(output().find("drive B: is labelled \"KEEP ME\""), std::string::npos) << output();
}

} // namespace
