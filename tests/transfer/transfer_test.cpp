/* The plain copy and the move on the simulation: progress, memory, faults, full disks. */
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "platform/os.h"
#include "sim/sim.h"
#include "support/fault_sweep.h"
#include "support/workstation.h"
#include "transfer/transfer.h"

namespace {

std::vector<uint32_t> g_progress;

void record_progress(int32_t, uint32_t bytes)
{
    g_progress.push_back(bytes);
}

std::string bytes_of(size_t n)
{
    std::mt19937 gen((unsigned)n);
    std::string s(n, '\0');
    for (char &c : s)
        c = (char)(gen() & 0xFF);
    return s;
}

status_t copy(const std::string &from, const std::string &to)
{
    transfer_request req = transfer_request_make(from.c_str(), to.c_str(), &TRANSFER_MODE_PLAIN);
    req.progress = record_progress;
    return transfer_run(&req);
}

std::string contents(const std::string &path)
{
    std::string s;
    return ws_read_file(path, &s) ? s : std::string("<absent>");
}

class TransferSimTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = ws_fresh();
        src = ws_join(dir, "src.bin");
        dst = ws_join(dir, "dst.bin");
        g_progress.clear();
    }
    std::string dir, src, dst;
};

TEST_F(TransferSimTest, ProgressAddsUpToTheSpaceOnTheTargetDrive)
{
    struct {
        size_t size;
        DWORD sectors_per_cluster;
        std::vector<uint32_t> calls;
    } rows[] = {
        {100000, 8, {49152, 49152, 1696, 2400}},
        {98304, 8, {49152, 49152, 0, 0}},
        {0, 8, {0, 0}},
        {1, 8, {1, 4095}},
        {4096, 8, {4096, 0}},
        {100000, 64, {49152, 49152, 1696, 31072}}, /* 32 KiB clusters */
    };
    for (auto &row : rows) {
        SCOPED_TRACE(std::to_string(row.size) + " bytes, clusters of " +
                     std::to_string(row.sectors_per_cluster) + " sectors");
        sim_set_drive_geometry('C', row.sectors_per_cluster, 512, 100000, 200000);
        ASSERT_TRUE(ws_write_file(src, bytes_of(row.size)));
        g_progress.clear();
        ASSERT_EQ(copy(src, dst), STATUS_OK);
        EXPECT_EQ(g_progress, row.calls);
    }
}

TEST_F(TransferSimTest, BlockShrinksUnderMemoryPressure)
{
    ASSERT_TRUE(ws_write_file(src, bytes_of(30000)));
    sim_fault_mem_above(20000); /* 49152 and 24576 fail: 12288 */
    ASSERT_EQ(copy(src, dst), STATUS_OK);
    EXPECT_EQ(g_progress, (std::vector<uint32_t>{12288, 12288, 5424, 2768}));
    EXPECT_TRUE(contents(dst) == contents(src));

    sim_fault_mem_above(383); /* not even 384 bytes */
    ASSERT_TRUE(ws_write_file(dst, "untouched"));
    EXPECT_EQ(copy(src, dst), STATUS_NO_MEMORY);
    EXPECT_EQ(contents(dst), "untouched");
    EXPECT_EQ(sim_live_blocks(), 0);
}

const sim_family kFamilies[] = {SIM_MEM,    SIM_OPEN,   SIM_READ,     SIM_WRITE,  SIM_CLOSE,
                                SIM_RENAME, SIM_DELETE, SIM_REGISTRY, SIM_PROFILE};

TEST_F(TransferSimTest, CopyFaultSweepReportsEveryFailureAndNeverChangesTheSource)
{
    const std::string data = bytes_of(100000);
    for (sim_family family : kFamilies) {
        fault_sweep(
            family, [&] { ws_write_file(src, data); }, [&] { return copy(src, dst); },
            [&](status_t rc, bool fired) {
                EXPECT_EQ(contents(src), data);
                std::vector<status_t> allowed;
                if (family == SIM_MEM) /* a smaller block copies as well */
                    allowed = {STATUS_OK, STATUS_NO_MEMORY};
                else if (family == SIM_OPEN) /* the source, the target, the stamps' _lopen */
                    allowed = {STATUS_NOT_FOUND, STATUS_WRITE_ERROR, STATUS_ACCESS_DENIED};
                else if (family == SIM_READ)
                    allowed = {STATUS_READ_ERROR};
                else if (family == SIM_WRITE)
                    allowed = {STATUS_WRITE_ERROR};
                else if (family == SIM_CLOSE) /* the closes of what was only read say nothing */
                    allowed = {STATUS_OK, STATUS_WRITE_ERROR};
                if (!fired || family > SIM_CLOSE)
                    allowed = {STATUS_OK};
                EXPECT_EQ(std::count(allowed.begin(), allowed.end(), rc), 1) << "status " << rc;
                if (rc == STATUS_OK) {
                    EXPECT_TRUE(contents(dst) == data);
                }
            });
    }
}

TEST_F(TransferSimTest, MoveFaultSweepNeverLosesTheFile)
{
    const std::string data = bytes_of(60000);
    sim_add_drive('D', DRIVE_FIXED, sim_make_temp_dir().c_str());
    struct {
        const char *target;
        bool target_exists;
        bool cross_device; /* the runtime's rename fails with EXDEV: the copy is reached */
    } rows[] = {
        {"C:\\vxtest\\dst.bin", false, false},
        {"C:\\vxtest\\dst.bin", true, false},
        {"D:\\dst.bin", false, true},
        {"D:\\dst.bin", true, true},
    };
    for (auto &row : rows) {
        SCOPED_TRACE(std::string(row.target) + (row.target_exists ? ", existing" : ", new") +
                     (row.cross_device ? ", across devices" : ""));
        sim_set_rename_cross_device(row.cross_device);
        auto reset = [&] {
            ws_write_file(src, data);
            if (row.target_exists)
                ws_write_file(row.target, "old");
            else
                DeleteFileA(row.target);
        };
        for (sim_family family : kFamilies) {
            fault_sweep(
                family, reset,
                [&] { return file_move_or_copy(src.c_str(), row.target, 0, 0, NULL, NULL, 0); },
                [&](status_t rc, bool) {
                    if (rc == STATUS_OK) {
                        EXPECT_TRUE(contents(row.target) == data);
                        /* A source that cannot be deleted after a whole copy stays. */
                        if (family != SIM_DELETE) {
                            EXPECT_FALSE(ws_file_exists(src));
                        }
                    } else {
                        /* The source goes only after a whole copy. */
                        EXPECT_TRUE(contents(src) == data) << "status " << rc;
                    }
                });
        }
    }
}

TEST_F(TransferSimTest, CopyThatLosesItsEndFailsAndTheMoveKeepsItsSource)
{
    sim_add_drive('D', DRIVE_FIXED, sim_make_temp_dir().c_str());
    const std::string data = bytes_of(50000);
    ASSERT_TRUE(ws_write_file(src, data));
    sim_set_rename_cross_device(true);

    /* D: holds 12 clusters of 4096 bytes: the first block fits, the tail does not, and the
     * tail is written by the final close. */
    sim_set_drive_geometry('D', 8, 512, 12, 100);
    EXPECT_EQ(file_move_or_copy(src.c_str(), "D:\\dst.bin", 0, 0, NULL, NULL, 0),
              STATUS_WRITE_ERROR);
    EXPECT_TRUE(contents(src) == data);

    /* A close that fails is a failed copy too: the source closes first, then the target. */
    sim_set_drive_geometry('D', 8, 512, 1000, 2000);
    sim_fault(SIM_CLOSE, 2, false, 0);
    EXPECT_EQ(file_move_or_copy(src.c_str(), "D:\\dst.bin", 0, 0, NULL, NULL, 0),
              STATUS_WRITE_ERROR);
    EXPECT_EQ(sim_fault_fired(SIM_CLOSE), 1u);
    EXPECT_TRUE(contents(src) == data);

    sim_fault_clear();
    g_progress.clear();
    EXPECT_EQ(file_move_or_copy(src.c_str(), "D:\\dst.bin", 0, 0, record_progress, NULL, 0),
              STATUS_OK);
    EXPECT_TRUE(contents("D:\\dst.bin") == data);
    EXPECT_FALSE(ws_file_exists(src));
    EXPECT_EQ(g_progress, (std::vector<uint32_t>{49152, 848, 3248}));
}

} // namespace
