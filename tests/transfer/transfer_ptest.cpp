/* The plain copy and the move, on the simulation and against the real calls. */
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "platform/os.h"
#include "platform/path.h"
#include "platform/text.h"
#include "support/codec_testing.h"
#include "support/workstation.h"
#include "transfer/transfer.h"

namespace {

std::vector<uint32_t> g_progress;
int g_cancel_after; /* cancel with 8 at this call of the cancel callback; 0 never */
int g_cancel_calls;

void record_progress(int32_t user, uint32_t bytes)
{
    EXPECT_EQ(user, 77);
    g_progress.push_back(bytes);
}

status_t cancel_at(int32_t user)
{
    EXPECT_EQ(user, 77);
    return ++g_cancel_calls == g_cancel_after ? STATUS_CANCELLED : STATUS_OK;
}

std::string bytes_of(size_t n, unsigned seed)
{
    std::mt19937 gen(seed);
    std::string s(n, '\0');
    for (char &c : s)
        c = (char)(gen() & 0xFF);
    return s;
}

status_t copy(const std::string &from, const std::string &to, truth_t append = 0)
{
    transfer_request req = transfer_request_make(from.c_str(), to.c_str(), &TRANSFER_MODE_PLAIN);
    req.append = append;
    req.progress = record_progress;
    req.cancel = cancel_at;
    req.user = 77;
    return transfer_run(&req);
}

class TransferTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = ws_fresh();
        ASSERT_FALSE(dir.empty());
        src = ws_join(dir, "SETUP.EXE");
        dst = ws_join(dir, "copy.exe");
        g_progress.clear();
        g_cancel_after = 0;
        g_cancel_calls = 0;
    }
    std::string dir, src, dst;
};

TEST_F(TransferTest, PlainCopyKeepsEveryByteAcrossBlockBoundaries)
{
    const size_t sizes[] = {0, 1, 383, 49151, 49152, 49153, 98304, 100000, 3 * 49152 + 7};
    for (size_t n : sizes) {
        SCOPED_TRACE("size " + std::to_string(n));
        std::string data = bytes_of(n, (unsigned)n);
        ASSERT_TRUE(ws_write_file(src, data));
        ASSERT_TRUE(ws_write_file(dst, "older and longer contents of the target"));
        g_progress.clear();
        ASSERT_EQ(copy(src, dst), STATUS_OK);
        std::string got;
        ASSERT_TRUE(ws_read_file(dst, &got));
        EXPECT_TRUE(got == data);
        std::string again;
        ASSERT_TRUE(ws_read_file(src, &again));
        EXPECT_TRUE(again == data) << "the source changed";
        /* One call per block, the last one short (0 for a whole number of blocks), then the
         * cluster slack. */
        ASSERT_EQ(g_progress.size(), n / 49152 + 2);
        uint64_t sum = 0;
        for (size_t i = 0; i + 1 < g_progress.size(); i++)
            sum += g_progress[i];
        EXPECT_EQ(sum, n);
    }
}

TEST_F(TransferTest, AppendAddsToTheTargetAndCountsOnlyTheBytesAppended)
{
    ASSERT_TRUE(ws_write_file(src, "tail"));
    ASSERT_TRUE(ws_write_file(dst, "head-"));
    ASSERT_EQ(copy(src, dst, 1), STATUS_OK);
    std::string got;
    ASSERT_TRUE(ws_read_file(dst, &got));
    EXPECT_EQ(got, "head-tail");
    ASSERT_EQ(g_progress.size(), 2u);
    EXPECT_EQ(g_progress[0], 4u);
}

TEST_F(TransferTest, ReadOnlyTargetIsOverwritten)
{
    ASSERT_TRUE(ws_write_file(src, "new"));
    ASSERT_TRUE(ws_write_file(dst, "old"));
    ASSERT_EQ(crt_chmod(dst.c_str(), CRT_S_IREAD), 0);
    EXPECT_EQ(copy(src, dst), STATUS_OK);
    std::string got;
    ASSERT_TRUE(ws_read_file(dst, &got));
    EXPECT_EQ(got, "new");
}

TEST_F(TransferTest, CancelAfterTheFirstBlockLeavesThatBlockInAClosedTarget)
{
    std::string data = bytes_of(100000, 1);
    ASSERT_TRUE(ws_write_file(src, data));
    g_cancel_after = 1;
    EXPECT_EQ(copy(src, dst), STATUS_CANCELLED);
    std::string got;
    ASSERT_TRUE(ws_read_file(dst, &got));
    EXPECT_TRUE(got == data.substr(0, 49152));
    EXPECT_TRUE(DeleteFileA(dst.c_str())) << "the target was left open";
}

TEST_F(TransferTest, FailuresToOpenAndRefusedModes)
{
    ASSERT_TRUE(ws_write_file(src, "abc"));
    ASSERT_TRUE(ws_write_file(dst, "keep"));
    char label[1] = "";
    struct {
        const char *what;
        status_t rc;
    } rows[] = {
        {"missing source", copy(ws_join(dir, "none.exe"), dst)},
        {"target directory missing", copy(src, ws_join(dir, "no\\such.exe"))},
        {"decompress without a compressed file",
         transfer_file(src.c_str(), dst.c_str(), 0, 1, 0, 0, 0, 0, 0, label, "", NULL, NULL, NULL,
                       0, 0, 0, NULL, NULL)},
        {"split", transfer_file(src.c_str(), dst.c_str(), 0, 1, 1, 0, 1, 2, 0, label, "", NULL,
                                NULL, NULL, 0, 0, 0, NULL, NULL)},
        {"compress", transfer_single(src.c_str(), dst.c_str(), 0, 0, 1, 0, 0, label, "", NULL,
                                     NULL, NULL, 0, 0, 0, NULL)},
        {"a volume that cannot be read, and nobody to ask for it",
         (text_copy_fit(volume_drive_root(), PATH_CAP, "Q:\\"),
          transfer_single(src.c_str(), dst.c_str(), 1, 0, 0, 0, 0, label, "", NULL, NULL, NULL,
                          0, 0, 0, NULL))},
    };
    const status_t expected[] = {STATUS_NOT_FOUND, STATUS_WRITE_ERROR, STATUS_NOT_FOUND,
                                 STATUS_FAILED,    STATUS_FAILED,      STATUS_FAILED};
    ASSERT_TRUE(text_copy_fit(volume_drive_root(), PATH_CAP, "A:\\"));
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; i++)
        EXPECT_EQ(rows[i].rc, expected[i]) << rows[i].what;
    std::string got;
    ASSERT_TRUE(ws_read_file(dst, &got));
    EXPECT_EQ(got, "keep") << "a refused copy touched the target";
}

status_t upper_token(int32_t context1, int32_t context2, const char *token, char *buf, uint16_t,
                     int32_t, int32_t, const char *, const char *)
{
    EXPECT_EQ(context1, 3);
    EXPECT_EQ(context2, 4);
    strcpy(buf, strcmp(token, "%NAME%") == 0 ? "world" : "?");
    return STATUS_OK;
}

/* One request drives every mode: what its record does is what the copy gives; a split asked
 * for in the request writes its one piece without touching the caller's name. */
TEST_F(TransferTest, OneRequestDrivesEveryModeRecord)
{
    ASSERT_TRUE(ws_write_file(src, "hello %NAME%"));
    ASSERT_TRUE(ws_write_file(ws_join(dir, "_PACKED.EXE"),
                              lzwt::reference_encode("expanded bytes", 12).bytes));
    const std::string packed_name = ws_join(dir, "PACKED.EXE");
    struct {
        const char *what;
        const transfer_mode *mode;
        truth_t split;
        status_t rc;
        const char *bytes; /* the target's bytes afterwards; null: no target made */
    } rows[] = {
        {"plain", &TRANSFER_MODE_PLAIN, 0, STATUS_OK, "hello %NAME%"},
        {"substituting", &TRANSFER_MODE_SUBSTITUTING, 0, STATUS_OK, "hello world"},
        {"expanding", &TRANSFER_MODE_EXPANDING, 0, STATUS_OK, "expanded bytes"},
        {"compressing", &TRANSFER_MODE_COMPRESSING, 0, STATUS_FAILED, NULL},
        {"plain split into one piece", &TRANSFER_MODE_PLAIN, 1, STATUS_OK, "hello %NAME%"},
        {"compressing split", &TRANSFER_MODE_COMPRESSING, 1, STATUS_FAILED, NULL},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.what);
        (void)DeleteFileA(dst.c_str());
        std::string target = dst;
        transfer_request req = transfer_request_make(
            r.mode == &TRANSFER_MODE_EXPANDING ? packed_name.c_str() : src.c_str(),
            target.c_str(), r.mode);
        req.split = r.split;
        req.piece_count = 1;
        req.context1 = 3;
        req.context2 = 4;
        req.resolver = upper_token;
        EXPECT_EQ(transfer_run(&req), r.rc);
        EXPECT_EQ(target, dst) << "the caller's name was written";
        std::string got;
        EXPECT_EQ(ws_read_file(dst, &got), r.bytes != NULL);
        if (r.bytes != NULL) {
            EXPECT_EQ(got, r.bytes);
        }
    }
}

TEST_F(TransferTest, CopyCarriesTheTimeStamps)
{
    ASSERT_TRUE(ws_write_file(src, "abc"));
    const FILETIME t = {0x12345670u, 0x01C00000u};
    const FILETIME set[3] = {t, t, t};
    ASSERT_TRUE(ws_write_stamps(src, set));
    ASSERT_EQ(copy(src, dst), STATUS_OK);
    FILETIME got[3] = {};
    ASSERT_TRUE(ws_read_stamps(dst, got));
    EXPECT_EQ(got[2].dwLowDateTime, t.dwLowDateTime);
    EXPECT_EQ(got[2].dwHighDateTime, t.dwHighDateTime);
}

TEST_F(TransferTest, MoveRenamesReplacesOrRefusesAMissingSource)
{
    ASSERT_TRUE(ws_write_file(src, "first"));
    /* A plain rename reports the size raised to whole clusters, once. */
    EXPECT_EQ(file_move_or_copy(src.c_str(), dst.c_str(), 0, 5, record_progress, NULL, 77),
              STATUS_OK);
    ASSERT_EQ(g_progress.size(), 1u);
    EXPECT_GE(g_progress[0], 5u);
    EXPECT_FALSE(ws_file_exists(src));

    /* Onto an existing target: replaced, without progress. */
    ASSERT_TRUE(ws_write_file(src, "second"));
    g_progress.clear();
    EXPECT_EQ(file_move_or_copy(src.c_str(), dst.c_str(), 0, 6, record_progress, NULL, 77),
              STATUS_OK);
    EXPECT_TRUE(g_progress.empty());
    std::string got;
    ASSERT_TRUE(ws_read_file(dst, &got));
    EXPECT_EQ(got, "second");
    EXPECT_FALSE(ws_file_exists(src));

    EXPECT_EQ(file_move_or_copy(src.c_str(), dst.c_str(), 0, 0, NULL, NULL, 0),
              STATUS_NOT_FOUND);
    ASSERT_TRUE(ws_read_file(dst, &got));
    EXPECT_EQ(got, "second");
}

} // namespace
