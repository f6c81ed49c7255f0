/* Conformance of the volume label calls, on the simulation and under Wine, on a removable drive
 * with a medium and on one without. */
#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "platform/os.h"
#include "support/conformance.h"
#include "support/workstation.h"

namespace {

const ws_difference LABEL_SEEN_AT_ONCE = {
    "a volume label read back after it was set", WS_WINDOWS,
    "measured: Wine reads a drive's label when its server starts, so a new label shows only "
    "after a restart; Windows shows it at once"};

class VolumeCalls : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(ws_fresh().empty());
        ws_drives drives;
        if (!ws_removable_drives(&drives))
            GTEST_SKIP() << "no removable drives A: (labelled " WS_MEDIUM_LABEL "), B:, F:";
        full = drives.labelled;
        empty = drives.empty;
    }
    std::string full, empty;
};

std::string label_of(const std::string &root)
{
    char label[MAX_PATH];
    if (!GetVolumeInformationA(root.c_str(), label, sizeof label, NULL, NULL, NULL, NULL, 0))
        return "<fails>";
    return label;
}

TEST_F(VolumeCalls, ReadsTheLabelOfTheMediumWithEveryOutputOrOnlyTheLabel)
{
    char label[MAX_PATH], fs[32];
    DWORD serial = 0, max_component = 0, flags = 0;
    ASSERT_TRUE(GetVolumeInformationA(full.c_str(), label, sizeof label, &serial, &max_component,
                                      &flags, fs, sizeof fs));
    EXPECT_STREQ(label, WS_MEDIUM_LABEL);
    EXPECT_EQ(max_component, 255u);
    for (const char *root : {"A:\\", "A:", "a:\\"})
        EXPECT_EQ(label_of(root), WS_MEDIUM_LABEL) << root;

    /* An exact fit, and one byte short: nothing written then. */
    memset(label, '#', sizeof label);
    EXPECT_TRUE(GetVolumeInformationA(full.c_str(), label, sizeof WS_MEDIUM_LABEL, NULL, NULL,
                                      NULL, NULL, 0));
    EXPECT_STREQ(label, WS_MEDIUM_LABEL);
    memset(label, '#', sizeof label);
    SetLastError(0);
    BOOL short_ok = GetVolumeInformationA(full.c_str(), label, sizeof WS_MEDIUM_LABEL - 1, NULL,
                                          NULL, NULL, NULL, 0);
    EXPECT_FALSE(short_ok);
    EXPECT_EQ(GetLastError(), 24u) << "ERROR_BAD_LENGTH";
}

TEST_F(VolumeCalls, SetLabelTakesOnTheMedium)
{
    EXPECT_TRUE(SetVolumeLabelA(full.c_str(), "DISK 7"));
    std::string seen = label_of(full);
    EXPECT_TRUE(SetVolumeLabelA("A:", WS_MEDIUM_LABEL)) << "the label is put back";
    EXPECT_EQ(seen, ws_expected(LABEL_SEEN_AT_ONCE, std::string("DISK 7"),
                                std::string(WS_MEDIUM_LABEL)));
    EXPECT_EQ(label_of(full), WS_MEDIUM_LABEL);
}

TEST_F(VolumeCalls, DrivesWithoutMediumOrLetter)
{
    SetLastError(0);
    BOOL read_empty = GetVolumeInformationA(empty.c_str(), NULL, 0, NULL, NULL, NULL, NULL, 0);
    DWORD read_error = GetLastError();
    SetLastError(0);
    BOOL set_empty = SetVolumeLabelA(empty.c_str(), "DISK 1");
    DWORD set_error = GetLastError();
    if (ws_side_here(WS_EMPTY_DRIVE) == WS_WINE) {
        EXPECT_TRUE(read_empty);
        EXPECT_EQ(label_of(empty), "");
        EXPECT_FALSE(set_empty);
        EXPECT_EQ(set_error, (DWORD)ERROR_FILE_NOT_FOUND);
    } else {
        EXPECT_FALSE(read_empty);
        EXPECT_EQ(read_error, (DWORD)ERROR_NOT_READY);
        EXPECT_FALSE(set_empty);
        EXPECT_EQ(set_error, (DWORD)ERROR_NOT_READY);
    }

    SetLastError(0);
    EXPECT_FALSE(GetVolumeInformationA("Q:\\", NULL, 0, NULL, NULL, NULL, NULL, 0));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_PATH_NOT_FOUND);
    SetLastError(0);
    EXPECT_FALSE(SetVolumeLabelA("Q:\\", "DISK 1"));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_NOT_READY);
}

} // namespace
