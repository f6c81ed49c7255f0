/* File and disk operations against real files: the same tests on the simulation and, under
 * Wine, against the real calls. */
#include <gtest/gtest.h>

#include <string>

#include "platform/disk.h"
#include "platform/file.h"
#include "platform/os.h"
#include "support/conformance.h"
#include "support/workstation.h"

namespace {

const ws_difference CREATION_TIME = {
    "the creation time a file is given", WS_WINDOWS,
    "measured: Wine on Linux keeps no creation time of its own, it follows the last write"};

class FilePortable : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = ws_fresh();
        ASSERT_FALSE(dir_.empty()) << "no scratch directory";
        a_ = ws_join(dir_, "a.txt");
        b_ = ws_join(dir_, "b.txt");
        ASSERT_TRUE(ws_write_file(a_, "alpha"));
        ASSERT_TRUE(ws_write_file(b_, "beta"));
    }
    void TearDown() override
    {
        crt_chmod(a_.c_str(), CRT_S_IREAD | CRT_S_IWRITE);
        crt_chmod(b_.c_str(), CRT_S_IREAD | CRT_S_IWRITE);
    }
    std::string dir_, a_, b_;
};

uint64_t stamp(const FILETIME &ft)
{
    return ((uint64_t)ft.dwHighDateTime << 32) | ft.dwLowDateTime;
}

TEST_F(FilePortable, ExistsForFilesDirectoriesAndMissingPaths)
{
    ASSERT_TRUE(ws_write_file(ws_join(dir_, "ro.txt"), "r"));
    ASSERT_EQ(crt_chmod(ws_join(dir_, "ro.txt").c_str(), CRT_S_IREAD), 0);
    static const struct {
        const char *row;
        const char *name; /* below the scratch directory; null: the directory itself */
        truth_t exists;
    } rows[] = {
        {"file", "a.txt", 1},
        {"file in other case", "A.TXT", 1},
        {"read-only file", "ro.txt", 1},
        {"directory", NULL, 1},
        {"directory with trailing backslash", "", 1},
        {"missing file", "none.txt", 0},
        {"missing directory on the way", "nodir\\none.txt", 0},
        {"file used as a directory", "a.txt\\x", 0},
    };
    for (const auto &r : rows) {
        std::string path = r.name == NULL ? dir_ : ws_join(dir_, r.name);
        truth_t exists = 7;
        EXPECT_EQ(file_exists(path.c_str(), &exists), 0) << r.row;
        EXPECT_EQ(exists, r.exists) << r.row;
    }
    crt_chmod(ws_join(dir_, "ro.txt").c_str(), CRT_S_IREAD | CRT_S_IWRITE);
}

TEST_F(FilePortable, DeleteReadOnlyMissingAndHeld)
{
    ASSERT_EQ(crt_chmod(a_.c_str(), CRT_S_IREAD), 0);
    ASSERT_NE(crt_access(a_.c_str(), 2), 0) << "the file is read-only";
    EXPECT_EQ(file_delete(a_.c_str()), 0);
    EXPECT_FALSE(ws_file_exists(a_));

    EXPECT_EQ(file_delete(a_.c_str()), 0) << "a file that is not there counts as deleted";
    EXPECT_EQ(file_delete(ws_join(dir_, "nodir\\x").c_str()), 0) << "nor its directory";
    EXPECT_EQ(file_delete(dir_.c_str()), 27) << "a directory is not deleted";
    EXPECT_TRUE(ws_file_exists(dir_));

    /* an open stream does not share delete access; the read-only attribute cleared for the
     * attempt comes back */
    ASSERT_EQ(crt_chmod(b_.c_str(), CRT_S_IREAD), 0);
    FILE *held = crt_fopen(b_.c_str(), "rb");
    ASSERT_NE(held, (FILE *)NULL);
    EXPECT_EQ(file_delete(b_.c_str()), STATUS_SHARING_VIOLATION);
    EXPECT_TRUE(ws_file_exists(b_));
    EXPECT_NE(crt_access(b_.c_str(), 2), 0) << "still read-only";
    fclose(held);
    EXPECT_EQ(file_delete(b_.c_str()), 0);
    EXPECT_FALSE(ws_file_exists(b_));
}

TEST_F(FilePortable, CopyTimesCarriesTheStamps)
{
    /* distinct stamps, 100 ns units in 2015-2016 */
    const FILETIME set[3] = {{0x11111111u, 0x01D00000u},
                             {0x22222222u, 0x01D10000u},
                             {0x33333333u, 0x01D20000u}};
    ASSERT_TRUE(ws_write_stamps(a_, set));
    ASSERT_EQ(file_copy_times(a_.c_str(), b_.c_str()), 0);
    FILETIME got[3];
    ASSERT_TRUE(ws_read_stamps(b_, got));
    EXPECT_EQ(stamp(got[2]), stamp(set[2])) << "last write";
    EXPECT_EQ(stamp(got[1]), stamp(set[1])) << "last access";
    EXPECT_EQ(stamp(got[0]), ws_expected(CREATION_TIME, stamp(set[0]), stamp(set[2])))
        << "creation";
    std::string bytes;
    ASSERT_TRUE(ws_read_file(b_, &bytes));
    EXPECT_EQ(bytes, "beta") << "only the stamps change";
}

TEST_F(FilePortable, CopyTimesFailuresLeaveTheTarget)
{
    FILETIME before[3];
    ASSERT_TRUE(ws_read_stamps(b_, before));
    const FILETIME set[3] = {{1u, 0x01D00000u}, {2u, 0x01D00000u}, {3u, 0x01D00000u}};
    ASSERT_TRUE(ws_write_stamps(a_, set));

    ASSERT_EQ(crt_chmod(b_.c_str(), CRT_S_IREAD), 0);
    EXPECT_EQ(file_copy_times(a_.c_str(), b_.c_str()), 27) << "read-only target";
    FILETIME after[3];
    ASSERT_TRUE(ws_read_stamps(b_, after));
    for (int i = 0; i < 3; i++)
        EXPECT_EQ(stamp(after[i]), stamp(before[i])) << "stamp " << i << " unchanged";

    EXPECT_EQ(file_copy_times(ws_join(dir_, "none").c_str(), a_.c_str()), 29) << "no source";
    EXPECT_EQ(file_copy_times(a_.c_str(), ws_join(dir_, "none").c_str()), 29) << "no target";
    EXPECT_EQ(file_copy_times(a_.c_str(), dir_.c_str()), 27) << "a directory target";

    /* nothing stays open: both files can be deleted at once */
    EXPECT_EQ(file_delete(a_.c_str()), 0);
    EXPECT_EQ(file_delete(b_.c_str()), 0);
}

TEST_F(FilePortable, AllocationSizeOnTheScratchDrive)
{
    uint32_t cluster = 0;
    ASSERT_EQ(disk_cluster_bytes(a_.c_str(), &cluster), 0);
    ASSERT_GT(cluster, 0u);
    EXPECT_EQ(disk_allocation_size(a_.c_str(), 0), 0u) << "0 bytes";
    EXPECT_EQ(disk_allocation_size(a_.c_str(), 1), cluster) << "1 byte";
    EXPECT_EQ(disk_allocation_size(a_.c_str(), cluster - 1), cluster) << "one short";
    EXPECT_EQ(disk_allocation_size(a_.c_str(), cluster), cluster) << "exactly one";
    EXPECT_EQ(disk_allocation_size(a_.c_str(), cluster + 1), 2 * cluster) << "one over";
    EXPECT_EQ(disk_allocation_size(a_.c_str(), 24 * cluster + 7), 25 * cluster) << "many";
    /* the drive is named by the first character only */
    std::string root = a_.substr(0, 2);
    EXPECT_EQ(disk_allocation_size(root.c_str(), cluster + 1), 2 * cluster) << root;
    EXPECT_EQ(disk_allocation_size("\\x", cluster + 1), cluster + 1) << "no drive letter";

    uint32_t free_bytes = 0;
    EXPECT_EQ(disk_free_bytes(a_.c_str(), &free_bytes), 0);
    EXPECT_GT(free_bytes, 0u) << "the scratch drive has room";
    uint32_t untouched = 12345;
    EXPECT_NE(disk_free_bytes("\\x", &untouched), 0);
    EXPECT_EQ(untouched, 12345u);
}

} // namespace
