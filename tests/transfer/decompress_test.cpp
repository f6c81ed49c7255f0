/* The decompressing copy on the simulation: full disks, faults, the move across drives. */
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/codec_testing.h"
#include "platform/os.h"
#include "sim/sim.h"
#include "support/fault_sweep.h"
#include "support/workstation.h"
#include "transfer/transfer.h"

namespace {

using namespace lzwt;

status_t decompress(const std::string &from, const std::string &to)
{
    transfer_request req =
        transfer_request_make(from.c_str(), to.c_str(), &TRANSFER_MODE_EXPANDING);
    return transfer_run(&req);
}

class DecompressSimTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = ws_fresh();
        setup = ws_join(dir, "SETUP.EXE");
        packed = ws_join(dir, "_SETUP.EXE");
        sim_add_drive('D', DRIVE_FIXED, sim_make_temp_dir().c_str());
        /* 50000 bytes: one full output block and a tail that the close writes. */
        data = sample(SAMPLE_TEXT, 50000, 4);
        stream = reference_encode(data, 13).bytes;
        ASSERT_TRUE(ws_write_file(packed, stream));
        ASSERT_TRUE(ws_write_file(setup, "plain name"));
    }
    std::string dir, setup, packed, data, stream;
};

TEST_F(DecompressSimTest, TargetThatLosesItsEndIsAFailedCopyAndTheMoveKeepsItsSource)
{
    /* D: holds 12 clusters of 4096 bytes: the first block fits, the tail does not. */
    sim_set_drive_geometry('D', 8, 512, 12, 100);
    EXPECT_EQ(decompress(setup, "D:\\out.exe"), STATUS_WRITE_ERROR);

    sim_set_rename_cross_device(true);
    EXPECT_EQ(file_move_or_copy(setup.c_str(), "D:\\out.exe", 1, 0, NULL, NULL, 0),
              STATUS_WRITE_ERROR);
    EXPECT_EQ(read_all(setup), "plain name");
    EXPECT_TRUE(read_all(packed) == stream);

    /* With room, the move across drives expands the compressed file and deletes the source
     * it was given. */
    sim_set_drive_geometry('D', 8, 512, 1000, 2000);
    EXPECT_EQ(file_move_or_copy(setup.c_str(), "D:\\out.exe", 1, 0, NULL, NULL, 0), STATUS_OK);
    EXPECT_TRUE(read_all("D:\\out.exe") == data);
    EXPECT_FALSE(ws_file_exists(setup));
}

TEST_F(DecompressSimTest, FaultSweepReportsEveryFailureAndNeverChangesTheSource)
{
    const std::string out = "D:\\out.exe";
    const sim_family families[] = {SIM_MEM, SIM_OPEN, SIM_READ, SIM_WRITE, SIM_CLOSE, SIM_STAMPS};
    for (sim_family family : families) {
        fault_sweep(
            family, [] {}, [&] { return decompress(setup, out); },
            [&](status_t rc, bool fired) {
                EXPECT_TRUE(read_all(packed) == stream);
                EXPECT_EQ(read_all(setup), "plain name");
                std::vector<status_t> allowed = {STATUS_OK};
                /* Under memory pressure smaller buffers copy as well, and a bit stream file
                 * that cannot be had is a source (22) or target (21) that cannot be opened. */
                if (fired && family == SIM_MEM)
                    allowed = {STATUS_OK, STATUS_NO_MEMORY, STATUS_NOT_FOUND, STATUS_WRITE_ERROR};
                else if (fired && family == SIM_OPEN) /* the source, the target, the stamps */
                    allowed = {STATUS_NOT_FOUND, STATUS_WRITE_ERROR, STATUS_ACCESS_DENIED};
                else if (fired && family == SIM_READ)
                    allowed = {STATUS_READ_ERROR};
                else if (fired && family == SIM_WRITE)
                    allowed = {STATUS_WRITE_ERROR};
                else if (fired && family == SIM_CLOSE) /* a source only read says nothing */
                    allowed = {STATUS_OK, STATUS_WRITE_ERROR};
                else if (fired && family == SIM_STAMPS)
                    allowed = {STATUS_ACCESS_DENIED, STATUS_FAILED, STATUS_WRITE_ERROR,
                               STATUS_NOT_FOUND};
                EXPECT_EQ(std::count(allowed.begin(), allowed.end(), rc), 1) << "status " << rc;
                if (rc == STATUS_OK) {
                    EXPECT_TRUE(read_all(out) == data);
                }
            });
    }
}

TEST_F(DecompressSimTest, DecoderStateAndTableAreReleasedOnEveryPath)
{
    /* A width-16 table is 256 KiB: refused above 100000 bytes, after the target opened. */
    bit_writer w;
    w.put(16, 8);
    w.put(67, 9);
    ASSERT_TRUE(ws_write_file(packed, w.done()));
    sim_fault_mem_above(100000);
    EXPECT_EQ(decompress(setup, "D:\\out.exe"), STATUS_NO_MEMORY);
    sim_fault_clear();
    EXPECT_EQ(sim_live_blocks(), 0);
    EXPECT_EQ(sim_open_files(), 0);
    EXPECT_EQ(decompress(setup, "D:\\out.exe"), STATUS_OK);
    EXPECT_EQ(read_all("D:\\out.exe"), "A");
    EXPECT_EQ(sim_live_blocks(), 0);
}

} // namespace
