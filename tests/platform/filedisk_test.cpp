/* File and disk operations on the simulated workstation: every row of their error tables, the
 * cluster arithmetic, and no handle left open on any path. */
#include <gtest/gtest.h>

#include <string>

#include "platform/disk.h"
#include "platform/file.h"
#include "platform/os.h"
#include "sim/sim.h"
#include "support/rows.h"
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
    void TearDown() override
    {
        EXPECT_EQ(sim_open_files(), 0) << "a file was left open";
        EXPECT_EQ(sim_live_blocks(), 0) << "heap blocks left behind";
    }
    std::string dir_, a_, b_;
};

/* Each row of a table is its own test on a fresh workstation, with its own leak check. */
template <typename Row>
class FileDiskRows : public FileDiskTest, public ::testing::WithParamInterface<Row> {
};

struct delete_row {
    const char *name;
    DWORD error;
    status_t status;
};
const delete_row DELETE_ROWS[] = {
    {"ERROR_FILE_NOT_FOUND", ERROR_FILE_NOT_FOUND, 0},
    {"ERROR_PATH_NOT_FOUND", ERROR_PATH_NOT_FOUND, 0},
    {"ERROR_TOO_MANY_OPEN_FILES", ERROR_TOO_MANY_OPEN_FILES, 52},
    {"ERROR_ACCESS_DENIED", ERROR_ACCESS_DENIED, 27},
    {"ERROR_WRITE_PROTECT", ERROR_WRITE_PROTECT, 21},
    {"ERROR_SHARING_VIOLATION", ERROR_SHARING_VIOLATION, 53},
    {"ERROR_LOCK_VIOLATION", ERROR_LOCK_VIOLATION, 54},
    {"ERROR_HANDLE_EOF", ERROR_HANDLE_EOF, 1},
    {"ERROR_INVALID_NAME", ERROR_INVALID_NAME, 23},
    {"ERROR_FILE_CORRUPT", ERROR_FILE_CORRUPT, 50},
    {"ERROR_DISK_OPERATION_FAILED", ERROR_DISK_OPERATION_FAILED, 29},
};
class DeleteError : public FileDiskRows<delete_row> {
};
TEST_P(DeleteError, MapsItsRowAndKeepsTheFile)
{
    sim_fault(SIM_DELETE, 1, false, (int)GetParam().error);
    EXPECT_EQ(file_delete(a_.c_str()), GetParam().status);
    EXPECT_EQ(sim_fault_fired(SIM_DELETE), 1u);
    EXPECT_TRUE(ws_file_exists(a_)) << "a failed delete removes nothing";
}
VX_ROWS(DeleteError, DELETE_ROWS);

struct copy_times_row {
    const char *name;
    unsigned nth; /* the open (1: the source's, 2: the target's) or stamp call that fails */
    DWORD error;
    status_t status;
};
const copy_times_row COPY_OPEN_ROWS[] = {
    {"source ERROR_FILE_NOT_FOUND", 1, ERROR_FILE_NOT_FOUND, 29},
    {"target ERROR_PATH_NOT_FOUND", 2, ERROR_PATH_NOT_FOUND, 29},
    {"source ERROR_TOO_MANY_OPEN_FILES", 1, ERROR_TOO_MANY_OPEN_FILES, 52},
    {"target ERROR_ACCESS_DENIED", 2, ERROR_ACCESS_DENIED, 27},
    {"source ERROR_WRITE_PROTECT", 1, ERROR_WRITE_PROTECT, 21},
    {"target ERROR_SHARING_VIOLATION", 2, ERROR_SHARING_VIOLATION, 53},
    {"source ERROR_LOCK_VIOLATION", 1, ERROR_LOCK_VIOLATION, 54},
    {"target ERROR_HANDLE_EOF", 2, ERROR_HANDLE_EOF, 1},
    {"source ERROR_INVALID_NAME", 1, ERROR_INVALID_NAME, 23},
    {"target ERROR_FILE_CORRUPT", 2, ERROR_FILE_CORRUPT, 50},
    {"source ERROR_NOT_READY", 1, ERROR_NOT_READY, 29},
};
class CopyTimesOpenFault : public FileDiskRows<copy_times_row> {
};
TEST_P(CopyTimesOpenFault, MapsItsRowAndLeavesNothingOpen)
{
    const copy_times_row &row = GetParam();
    sim_fault(SIM_OPEN, row.nth, false, (int)row.error);
    EXPECT_EQ(file_copy_times(a_.c_str(), b_.c_str()), row.status);
}
VX_ROWS(CopyTimesOpenFault, COPY_OPEN_ROWS);

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

/* 1: reading the source's stamps fails, 2: writing the target's. */
const copy_times_row COPY_STAMP_ROWS[] = {
    {"read ERROR_FILE_NOT_FOUND", 1, ERROR_FILE_NOT_FOUND, 29},
    {"write ERROR_FILE_NOT_FOUND", 2, ERROR_FILE_NOT_FOUND, 29},
    {"read ERROR_PATH_NOT_FOUND", 1, ERROR_PATH_NOT_FOUND, 29},
    {"write ERROR_PATH_NOT_FOUND", 2, ERROR_PATH_NOT_FOUND, 29},
    {"read ERROR_TOO_MANY_OPEN_FILES", 1, ERROR_TOO_MANY_OPEN_FILES, 29},
    {"write ERROR_TOO_MANY_OPEN_FILES", 2, ERROR_TOO_MANY_OPEN_FILES, 29},
    {"read ERROR_ACCESS_DENIED", 1, ERROR_ACCESS_DENIED, 27},
    {"write ERROR_ACCESS_DENIED", 2, ERROR_ACCESS_DENIED, 27},
    {"read ERROR_WRITE_PROTECT", 1, ERROR_WRITE_PROTECT, 29},
    {"write ERROR_WRITE_PROTECT", 2, ERROR_WRITE_PROTECT, 21},
    {"read ERROR_SHARING_VIOLATION", 1, ERROR_SHARING_VIOLATION, 29},
    {"write ERROR_SHARING_VIOLATION", 2, ERROR_SHARING_VIOLATION, 29},
    {"read ERROR_LOCK_VIOLATION", 1, ERROR_LOCK_VIOLATION, 29},
    {"write ERROR_LOCK_VIOLATION", 2, ERROR_LOCK_VIOLATION, 29},
    {"read ERROR_HANDLE_EOF", 1, ERROR_HANDLE_EOF, 1},
    {"write ERROR_HANDLE_EOF", 2, ERROR_HANDLE_EOF, 1},
    {"read ERROR_INVALID_NAME", 1, ERROR_INVALID_NAME, 29},
    {"write ERROR_INVALID_NAME", 2, ERROR_INVALID_NAME, 29},
    {"read ERROR_FILE_CORRUPT", 1, ERROR_FILE_CORRUPT, 29},
    {"write ERROR_FILE_CORRUPT", 2, ERROR_FILE_CORRUPT, 29},
    {"read ERROR_NOT_READY", 1, ERROR_NOT_READY, 29},
    {"write ERROR_NOT_READY", 2, ERROR_NOT_READY, 29},
};
class CopyTimesStampFault : public FileDiskRows<copy_times_row> {
};
TEST_P(CopyTimesStampFault, MapsItsRowAndLeavesNothingOpen)
{
    const copy_times_row &row = GetParam();
    sim_fault(SIM_STAMPS, row.nth, false, (int)row.error);
    EXPECT_EQ(file_copy_times(a_.c_str(), b_.c_str()), row.status);
    EXPECT_EQ(sim_fault_fired(SIM_STAMPS), 1u);
}
VX_ROWS(CopyTimesStampFault, COPY_STAMP_ROWS);

/* Fail every call of every family file_copy_times uses, one at a time: the documented status,
 * both handles closed; a failed close changes nothing. */
TEST_F(FileDiskTest, CopyTimesFaultSweep)
{
    static const struct {
        sim_family family;
        const char *name;
        status_t status; /* with the family's usual error */
    } families[] = {
        {SIM_OPEN, "open", 27},
        {SIM_STAMPS, "stamps", 27},
        {SIM_CLOSE, "close", 0},
        {SIM_MEM, "heap", 0},
    };
    for (const auto &f : families) {
        unsigned n;
        for (n = 1; n < 10; n++) {
            SetUp();
            sim_fault(f.family, n, false, 0);
            status_t rc = file_copy_times(a_.c_str(), b_.c_str());
            EXPECT_EQ(sim_open_files(), 0) << f.name << " call " << n;
            EXPECT_EQ(sim_live_blocks(), 0) << f.name << " call " << n;
            if (sim_fault_fired(f.family) == 0) {
                EXPECT_EQ(rc, 0) << f.name << " call " << n;
                break;
            }
            EXPECT_EQ(rc, f.status) << f.name << " call " << n;
        }
        EXPECT_LT(n, 10u) << f.name;
    }
}

TEST_F(FileDiskTest, DiskTableEveryRow)
{
    static const struct {
        DWORD error;
        status_t status;
    } rows[] = {
        {ERROR_NOT_DOS_DISK, 23},         {ERROR_DRIVE_LOCKED, 56},
        {ERROR_DISK_RECALIBRATE_FAILED, 51}, {ERROR_DISK_OPERATION_FAILED, 29},
        {ERROR_FILE_CORRUPT, 50},         {ERROR_NOT_READY, 29},
        {ERROR_PATH_NOT_FOUND, 29},       {ERROR_ACCESS_DENIED, 29},
    };
    for (const auto &row : rows) {
        uint32_t free_bytes = 777, cluster = 777;
        sim_fault(SIM_DISK, 1, false, (int)row.error);
        EXPECT_EQ(disk_free_bytes(a_.c_str(), &free_bytes), row.status) << "error " << row.error;
        sim_fault(SIM_DISK, 1, false, (int)row.error);
        EXPECT_EQ(disk_cluster_bytes(a_.c_str(), &cluster), row.status) << "error " << row.error;
        EXPECT_EQ(free_bytes, 777u) << "error " << row.error;
        EXPECT_EQ(cluster, 777u) << "error " << row.error;
        sim_fault(SIM_DISK, 1, false, (int)row.error);
        EXPECT_EQ(disk_allocation_size(a_.c_str(), 4097), 4097u) << "error " << row.error;
    }
}

TEST_F(FileDiskTest, OddGeometries)
{
    static const struct {
        const char *row;
        DWORD sectors, bytes, free;
        status_t cluster_rc;
        uint32_t cluster;
        uint32_t free_bytes;
        uint32_t raised_4097; /* disk_allocation_size of 4097 bytes */
    } rows[] = {
        {"no free clusters", 8, 512, 0, 0, 4096, 0, 8192},
        {"sector-sized clusters", 1, 512, 3, 0, 512, 1536, 4608},
        {"empty cluster", 0, 512, 100, 29, 0, 0, 4097},
        {"cluster past 32 bits", 0x10000, 0x10000, 1, 29, 0, 4294967295u, 4097},
        {"cluster past 32 bits, none free", 0x10000, 0x10000, 0, 29, 0, 0, 4097},
        {"free space product past 64 bits", 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 29, 0,
         4294967295u, 4097},
    };
    for (const auto &r : rows) {
        sim_set_drive_geometry('C', r.sectors, r.bytes, r.free, 0xFFFFFFFFu);
        uint32_t cluster = 777, free_bytes = 777;
        EXPECT_EQ(disk_cluster_bytes("C:", &cluster), r.cluster_rc) << r.row;
        EXPECT_EQ(cluster, r.cluster_rc == 0 ? r.cluster : 777u) << r.row;
        EXPECT_EQ(disk_free_bytes("C:", &free_bytes), 0) << r.row;
        EXPECT_EQ(free_bytes, r.free_bytes) << r.row;
        EXPECT_EQ(disk_allocation_size("C:", 4097), r.raised_4097) << r.row;
    }
    uint32_t count = 0;
    EXPECT_EQ(disk_free_bytes(NULL, &count), 29);
    EXPECT_EQ(disk_free_bytes("", &count), 29);
    EXPECT_EQ(disk_free_bytes("C:", NULL), 29);
    EXPECT_EQ(disk_cluster_bytes("C:", NULL), 29);
}

TEST_F(FileDiskTest, AllocationSizeNearTheTopOf32Bits)
{
    sim_set_drive_geometry('C', 8, 512, 1000, 2000);
    EXPECT_EQ(disk_allocation_size("C:", 4294963200u), 4294963200u) << "a whole cluster count";
    EXPECT_EQ(disk_allocation_size("C:", 4294963201u), 4294967295u)
        << "the last cluster ends past 32 bits";
    EXPECT_EQ(disk_allocation_size("C:", 4294967295u), 4294967295u);
}

TEST_F(FileDiskTest, NullArguments)
{
    truth_t exists = 7;
    EXPECT_EQ(file_exists(NULL, &exists), 29);
    EXPECT_EQ(file_exists(a_.c_str(), NULL), 29);
    EXPECT_EQ(exists, 7);
    EXPECT_EQ(file_delete(NULL), 29);
    EXPECT_EQ(file_copy_times(NULL, b_.c_str()), 29);
    EXPECT_EQ(file_copy_times(a_.c_str(), NULL), 29);
}

TEST_F(FileDiskTest, ExistsFailuresAreNotAnswers)
{
    std::string share_dir = sim_make_temp_dir();
    sim_add_share("SERVER1", "SECRET", share_dir.c_str());
    sim_deny_share("SERVER1", "SECRET");
    static const struct {
        const char *row;
        std::string path;
        status_t status;
    } rows[] = {
        {"denied share (EACCES)", "\\\\SERVER1\\SECRET\\x", 27},
        {"unknown server (EINVAL)", "\\\\NOSERVER\\share\\x", 29},
        {"invalid name", ws_join(dir_, "a<b"), 29},
    };
    for (const auto &row : rows) {
        truth_t exists = 7;
        EXPECT_EQ(file_exists(row.path.c_str(), &exists), row.status) << row.row;
        EXPECT_EQ(exists, 7) << row.row << ": untouched";
    }
}

} // namespace
