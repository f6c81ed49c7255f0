/* The decompressing copy, on the simulation and against the real calls. */
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/codec_testing.h"
#include "platform/os.h"
#include "support/workstation.h"
#include "transfer/transfer.h"

namespace {

using namespace lzwt;

std::vector<uint32_t> g_progress;
int g_cancels;
status_t g_cancel_result;

void record_progress(int32_t user, uint32_t bytes)
{
    EXPECT_EQ(user, 41);
    g_progress.push_back(bytes);
}

status_t count_cancel(int32_t user)
{
    EXPECT_EQ(user, 41);
    g_cancels++;
    return g_cancel_result;
}

status_t decompress(const std::string &from, const std::string &to)
{
    transfer_request req =
        transfer_request_make(from.c_str(), to.c_str(), &TRANSFER_MODE_EXPANDING);
    req.progress = record_progress;
    req.cancel = count_cancel;
    req.user = 41;
    return transfer_run(&req);
}

class DecompressTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = ws_fresh();
        ASSERT_FALSE(dir.empty());
        setup = ws_join(dir, "SETUP.EXE");
        packed = ws_join(dir, "_SETUP.EXE");
        target = ws_join(dir, "out.exe");
        g_progress.clear();
        g_cancels = 0;
        g_cancel_result = STATUS_OK;
    }
    std::string dir, setup, packed, target;
};

TEST_F(DecompressTest, ReadsTheCompressedNameAndWritesThePlainBytes)
{
    const std::string data = sample(SAMPLE_EXECUTABLE, 120000, 6);
    ASSERT_TRUE(ws_write_file(packed, reference_encode(data, 13).bytes));
    ASSERT_TRUE(ws_write_file(setup, "the plain file is not read"));
    ASSERT_TRUE(ws_write_file(target, "older and longer contents of the target, replaced"));
    ASSERT_EQ(decompress(setup, target), STATUS_OK);
    EXPECT_TRUE(read_all(target) == data);
    /* One worker call: the bytes written, then the slack to whole clusters. */
    ASSERT_EQ(g_progress.size(), 2u);
    EXPECT_EQ(g_progress[0], data.size());
    EXPECT_EQ((g_progress[0] + g_progress[1]) % 512, 0u);
    EXPECT_EQ(g_cancels, 1);
    EXPECT_EQ(read_all(setup), "the plain file is not read");
}

TEST_F(DecompressTest, ShortNamesGainAnUnderscoreLongOnesLoseTheirFirstLetter)
{
    const struct {
        const char *source;
        const char *compressed;
    } rows[] = {
        {"A.TXT", "_A.TXT"},
        {"LONGNAME.DLL", "_ONGNAME.DLL"},
        {"NOEXT", "_NOEXT"},
    };
    for (auto &row : rows) {
        SCOPED_TRACE(row.source);
        ASSERT_TRUE(ws_write_file(ws_join(dir, row.compressed),
                                  reference_encode(row.source, 13).bytes));
        ASSERT_EQ(decompress(ws_join(dir, row.source), target), STATUS_OK);
        EXPECT_EQ(read_all(target), row.source);
    }
}

TEST_F(DecompressTest, TimeStampsComeFromTheCompressedFile)
{
    ASSERT_TRUE(ws_write_file(packed, reference_encode("stamped", 13).bytes));
    ASSERT_TRUE(ws_write_file(setup, "x"));
    const FILETIME t = {0x12345670u, 0x01C00000u};
    const FILETIME set[3] = {t, t, t};
    ASSERT_TRUE(ws_write_stamps(packed, set));
    ASSERT_EQ(decompress(setup, target), STATUS_OK);
    FILETIME got[3] = {};
    ASSERT_TRUE(ws_read_stamps(target, got));
    EXPECT_EQ(got[2].dwLowDateTime, t.dwLowDateTime);
    EXPECT_EQ(got[2].dwHighDateTime, t.dwHighDateTime);
}

TEST_F(DecompressTest, FailuresKeepTheSourceAndReportTheirCause)
{
    bit_writer invalid;
    invalid.put(13, 8);
    invalid.put(67, 9);
    invalid.put(300, 9);
    const struct {
        const char *what;
        bool packed_exists;
        std::string stream;
        status_t status;
    } rows[] = {
        {"no compressed file, only the plain one", false, "", STATUS_NOT_FOUND},
        {"an empty compressed file", true, "", STATUS_READ_ERROR},
        {"two bytes", true, from_hex("0D 21"), STATUS_READ_ERROR},
        {"a code beyond the table", true, invalid.done(), STATUS_FILE_CORRUPT},
        {"a header width above 18", true, from_hex("13 21 91"), STATUS_FILE_CORRUPT},
    };
    for (auto &row : rows) {
        SCOPED_TRACE(row.what);
        DeleteFileA(packed.c_str());
        if (row.packed_exists) {
            ASSERT_TRUE(ws_write_file(packed, row.stream));
        }
        ASSERT_TRUE(ws_write_file(setup, "plain"));
        EXPECT_EQ(decompress(setup, target), row.status);
        EXPECT_EQ(read_all(setup), "plain");
        if (row.packed_exists) {
            EXPECT_TRUE(read_all(packed) == row.stream);
            EXPECT_TRUE(DeleteFileA(packed.c_str())) << "the source was left open";
        }
        EXPECT_TRUE(!ws_file_exists(target) || DeleteFileA(target.c_str()))
            << "the target was left open";
    }
}

TEST_F(DecompressTest, CancelEndsTheCopyAfterTheWorker)
{
    ASSERT_TRUE(ws_write_file(packed, reference_encode(std::string(5000, 'q'), 13).bytes));
    g_cancel_result = STATUS_CANCELLED;
    EXPECT_EQ(decompress(setup, target), STATUS_CANCELLED);
    EXPECT_EQ(g_cancels, 1);
    EXPECT_EQ(g_progress, (std::vector<uint32_t>{5000}));
}

TEST_F(DecompressTest, SplitWithCodecStillCompressesAndIsRefused)
{
    ASSERT_TRUE(ws_write_file(setup, "abc"));
    char label[1] = "";
    EXPECT_EQ(transfer_file(setup.c_str(), target.c_str(), 0, 1, 1, 0, 1, 2, 0, label, "", NULL,
                            NULL, NULL, 0, 0, 0, NULL, NULL),
              STATUS_FAILED);
    EXPECT_FALSE(ws_file_exists(target));
}

TEST_F(DecompressTest, MoveWithTheCodecFlagRenamesWhenItCan)
{
    /* A rename leaves the bytes as they are: only the fallback copy expands. */
    ASSERT_TRUE(ws_write_file(setup, "plain bytes"));
    EXPECT_EQ(file_move_or_copy(setup.c_str(), target.c_str(), 1, 11, NULL, NULL, 0), STATUS_OK);
    EXPECT_EQ(read_all(target), "plain bytes");
    EXPECT_FALSE(ws_file_exists(setup));
}

} // namespace
