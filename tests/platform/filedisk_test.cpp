/* File and disk operations on the simulated workstation: every row of their error tables, the
 * cluster arithmetic, and no handle left open on any path. */
#include <gtest/gtest.h>

#include <string>

#include "platform/disk.h"
#include "platform/file.h"
#include "platform/os.h"
#include "sim/sim.h"
#include "support/workstation.h"

namespace {

class FileDiskTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = ws_fresh();
        a_ = ws_join(dir_, "a.txt");
        b_ = ws_join(dir_, "b.txt");
        ASSERT_TRUE(ws_write_file(a_, "alpha"));
        ASSERT_TRUE(ws_write_file(b_, "beta"));
    }
    std::string dir_, a_, b_;
};

TEST_F(FileDiskTest, DeleteMapsEveryRowAndKeepsTheFileOnFailure)
{
    static const struct {
        DWORD error;
        status_t status;
    } rows[] = {
        {ERROR_FILE_NOT_FOUND, 0},       {ERROR_PATH_NOT_FOUND, 0},    {ERROR_TOO_MANY_OPEN_FILES, 52},
        {ERROR_ACCESS_DENIED, 27},       {ERROR_WRITE_PROTECT, 21},    {ERROR_SHARING_VIOLATION, 53},
        {ERROR_LOCK_VIOLATION, 54},      {ERROR_HANDLE_EOF, 1},        {ERROR_INVALID_NAME, 23},
        {ERROR_FILE_CORRUPT, 50},        {ERROR_DISK_OPERATION_FAILED, 29},
    };
    for (const auto &row : rows) {
        SetUp();
        sim_fault(SIM_DELETE, 1, false, (int)row.error);
        EXPECT_EQ(file_delete(a_.c_str()), row.status) << "error " << row.error;
        EXPECT_EQ(sim_fault_fired(SIM_DELETE), 1u) << "error " << row.error;
        EXPECT_TRUE(ws_file_exists(a_)) << "a failed delete removes nothing, error " << row.error;
    }
}

TEST_F(FileDiskTest, DeleteClearsReadOnlyAndTakesAMissingFileAsDeleted)
{
    ASSERT_EQ(crt_chmod(a_.c_str(), CRT_S_IREAD), 0);
    EXPECT_EQ(file_delete(a_.c_str()), 0);
    EXPECT_FALSE(ws_file_exists(a_));
    EXPECT_EQ(file_delete(a_.c_str()), 0) << "already gone";
    EXPECT_EQ(file_delete(ws_join(dir_, "nodir\\x").c_str()), 0) << "directory missing";
}

TEST_F(FileDiskTest, DeleteOfAHeldFileIsASharingViolationAndKeepsItsProtection)
{
    ASSERT_EQ(crt_chmod(a_.c_str(), CRT_S_IREAD), 0);
    sim_hold_open(a_.c_str());
    EXPECT_EQ(file_delete(a_.c_str()), 53);
    EXPECT_TRUE(ws_file_exists(a_));
    EXPECT_NE(crt_access(a_.c_str(), 2), 0) << "still read-only";
}

TEST_F(FileDiskTest, CopyTimesOpenColumnAndNothingLeftOpen)
{
    static const struct {
        unsigned nth; /* 1: the source's open, 2: the target's */
        DWORD error;
        status_t status;
    } rows[] = {
        {1, ERROR_FILE_NOT_FOUND, 29},      {2, ERROR_PATH_NOT_FOUND, 29},
        {1, ERROR_TOO_MANY_OPEN_FILES, 52}, {2, ERROR_ACCESS_DENIED, 27},
        {1, ERROR_WRITE_PROTECT, 21},       {2, ERROR_SHARING_VIOLATION, 53},
        {1, ERROR_LOCK_VIOLATION, 54},      {2, ERROR_HANDLE_EOF, 1},
        {1, ERROR_INVALID_NAME, 23},        {2, ERROR_FILE_CORRUPT, 50},
        {1, ERROR_NOT_READY, 29},
    };
    for (const auto &row : rows) {
        SetUp();
        sim_fault(SIM_OPEN, row.nth, false, (int)row.error);
        EXPECT_EQ(file_copy_times(a_.c_str(), b_.c_str()), row.status)
            << "open " << row.nth << ", error " << row.error;
        EXPECT_EQ(sim_open_files(), 0) << "open " << row.nth << ", error " << row.error;
    }
}

TEST_F(FileDiskTest, CopyTimesRefusesAReadOnlyTargetAndAMissingSource)
{
    ASSERT_EQ(crt_chmod(b_.c_str(), CRT_S_IREAD), 0);
    EXPECT_EQ(file_copy_times(a_.c_str(), b_.c_str()), 27);
    EXPECT_EQ(file_copy_times(ws_join(dir_, "none").c_str(), a_.c_str()), 29);
    EXPECT_EQ(sim_open_files(), 0);
    ASSERT_EQ(crt_chmod(b_.c_str(), CRT_S_IREAD | CRT_S_IWRITE), 0);
    EXPECT_EQ(file_copy_times(a_.c_str(), b_.c_str()), 0);
    EXPECT_EQ(sim_open_files(), 0);
}

TEST_F(FileDiskTest, ExistsAnswersForFilesDirectoriesAndMissingPaths)
{
    static const struct {
        std::string path;
        truth_t exists;
    } rows[] = {
        {ws_join(dir_, "a.txt"), 1},
        {dir_, 1},
        {ws_join(dir_, "none.txt"), 0},
        {ws_join(dir_, "nodir\\none.txt"), 0},
    };
    for (const auto &row : rows) {
        truth_t exists = 7;
        EXPECT_EQ(file_exists(row.path.c_str(), &exists), 0) << row.path;
        EXPECT_EQ(exists, row.exists) << row.path;
    }
    truth_t untouched = 7;
    EXPECT_EQ(file_exists("\\\\NOSERVER\\share\\x", &untouched), 29) << "EINVAL is not absent";
    EXPECT_EQ(untouched, 7);
}

TEST_F(FileDiskTest, AllocationSizeRoundsUpToWholeClusters)
{
    sim_set_drive_geometry('C', 8, 512, 1000, 2000);
    static const struct {
        uint32_t size, expect;
    } rows[] = {{0, 0}, {1, 4096}, {4096, 4096}, {4097, 8192}, {100000, 102400}};
    for (const auto &row : rows)
        EXPECT_EQ(disk_allocation_size(a_.c_str(), row.size), row.expect) << row.size;
    EXPECT_EQ(disk_allocation_size("\\x", 4097), 4097u) << "an unmeasurable drive leaves it";
}

TEST_F(FileDiskTest, FreeAndClusterBytesTakeTheDriveFromTheFirstCharacter)
{
    sim_set_drive_geometry('C', 8, 512, 1000, 2000);
    const char *paths[] = {"c:\\data\\x", "c:", "C:\\"};
    for (const char *p : paths) {
        uint32_t free_bytes = 0, cluster = 0;
        EXPECT_EQ(disk_free_bytes(p, &free_bytes), 0) << p;
        EXPECT_EQ(free_bytes, 4096000u) << p;
        EXPECT_EQ(disk_cluster_bytes(p, &cluster), 0) << p;
        EXPECT_EQ(cluster, 4096u) << p;
    }
    uint32_t poison = 12345;
    EXPECT_EQ(disk_free_bytes("\\dir\\x", &poison), 29);
    EXPECT_EQ(disk_free_bytes("Q:\\x", &poison), 29) << "no such drive";
    EXPECT_EQ(disk_cluster_bytes("Q:\\x", &poison), 29);
    EXPECT_EQ(poison, 12345u) << "failures leave the count untouched";
}

TEST_F(FileDiskTest, FreeSpaceBeyond32BitsIsTheLargestCount)
{
    /* 4 GiB free exactly: 1048576 clusters of 4096 bytes would wrap to 0. */
    sim_set_drive_geometry('C', 8, 512, 1048576, 2097152);
    uint32_t free_bytes = 0;
    EXPECT_EQ(disk_free_bytes(a_.c_str(), &free_bytes), 0);
    EXPECT_EQ(free_bytes, 4294967295u);
    sim_set_drive_geometry('C', 8, 512, 1048575, 2097152);
    EXPECT_EQ(disk_free_bytes(a_.c_str(), &free_bytes), 0);
    EXPECT_EQ(free_bytes, 4294963200u) << "one cluster less fits";
}

} // namespace
