/* Compressed files over removable volumes: a compressed file split as it is and joined with
 * decompression, codes cut at every byte between two pieces, long names, decompressing
 * splits, and faults in a decompressing join. */
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/codec_testing.h"
#include "support/fault_sweep.h"
#include "transfer/floppies.h"

namespace {

using namespace floppies;

/* Piece budgets for size bytes in count pieces: even ones, or small ones and a large last. */
std::vector<uint32_t> budgets(uint32_t size, uint32_t count, bool even)
{
    std::vector<uint32_t> out;
    uint32_t left = size;
    for (uint32_t i = 0; i + 1 < count; i++) {
        uint32_t b = even ? size / count : (uint32_t)(97 * (i + 1)) % (size / count + 1);
        out.push_back(b);
        left -= b;
    }
    out.push_back(left);
    return out;
}

class CompressedFloppies : public Floppies {
protected:
    void SetUp() override
    {
        Floppies::SetUp();
        packed = ws_join(dir, "_SETUP.EXE");
    }
    /* Write data's LZW stream as the compressed file, the source of the splits. */
    void pack(const std::string &data, uint32_t max_width)
    {
        stream = lzwt::reference_encode(data, max_width).bytes;
        ASSERT_TRUE(ws_write_file(packed, stream));
        src = packed;
    }
    std::string packed, stream;
};

TEST_F(CompressedFloppies, ACompressedFileSplitAsItIsJoinsWithDecompression)
{
    const std::string data = lzwt::sample(lzwt::SAMPLE_EXECUTABLE, 60000, 1);
    pack(data, 13);
    for (uint32_t n = 1; n <= 10; n++) {
        for (bool even : {true, false}) {
            SCOPED_TRACE(std::to_string(n) + (even ? " even pieces" : " uneven pieces"));
            fresh_desk();
            for (uint32_t v = 1; v <= n; v++)
                desk.clusters[(int)v] = 200;
            std::vector<uint32_t> limits = budgets((uint32_t)stream.size(), n, even);
            ASSERT_EQ(split("_SETUP.EXE", 1, n, "DISK", 0, limits.data()), STATUS_OK);
            if (n > 1) {
                EXPECT_EQ(files_on(1).count("_1ETUP.EXE"), 1u);
                EXPECT_EQ(files_on((int)n).count("_0ETUP.EXE"), 1u);
            } else {
                EXPECT_EQ(files_on(1).count("_SETUP.EXE"), 1u);
            }
            sim_eject_medium('A');
            g_progress.clear();
            ASSERT_EQ(join("SETUP.EXE", 1, "DISK", 0, 1), STATUS_OK);
            EXPECT_TRUE(joined() == data);
            EXPECT_GE(sum(g_progress), data.size());
        }
    }
    /* Disks filled to their free space, less a reserve. */
    fresh_desk();
    ASSERT_EQ(split("_SETUP.EXE", 1, 10, "DISK", 300), STATUS_OK);
    EXPECT_TRUE(joins_back("SETUP.EXE", data, 1));
}

TEST_F(CompressedFloppies, ACodeCutAtEveryByteBetweenTwoPiecesJoinsAsOneStream)
{
    /* Width 9: the table fills and resets often, so cuts fall after reset codes too. */
    const std::string data = lzwt::sample(lzwt::SAMPLE_TEXT, 2500, 2);
    pack(data, 9);
    for (uint32_t cut = 0; cut <= stream.size(); cut++) {
        SCOPED_TRACE("cut after byte " + std::to_string(cut));
        const uint32_t limits[] = {cut, (uint32_t)stream.size() - cut};
        fresh_desk();
        ASSERT_EQ(split("_SETUP.EXE", 1, 2, "DISK", 0, limits), STATUS_OK);
        sim_eject_medium('A');
        ASSERT_EQ(join("SETUP.EXE", 1, "DISK", 0, 1), STATUS_OK);
        ASSERT_TRUE(joined() == data);
    }
}

TEST_F(CompressedFloppies, PiecesShorterThanTheStreamsStartAreGatheredFirst)
{
    const std::string data = lzwt::sample(lzwt::SAMPLE_TEXT, 3000, 6);
    pack(data, 13);
    const uint32_t size = (uint32_t)stream.size();
    for (const std::vector<uint32_t> &limits :
         {std::vector<uint32_t>{1, 1, size - 2}, std::vector<uint32_t>{0, 0, size},
          std::vector<uint32_t>{2, 0, 0, size - 2}, std::vector<uint32_t>{0, 3, size - 3}}) {
        fresh_desk();
        ASSERT_EQ(split("_SETUP.EXE", 1, (uint32_t)limits.size(), "DISK", 0, limits.data()),
                  STATUS_OK);
        sim_eject_medium('A');
        ASSERT_EQ(join("SETUP.EXE", 1, "DISK", 0, 1), STATUS_OK) << limits[0] << limits[1];
        EXPECT_TRUE(joined() == data);
    }
    /* A set that holds less than a stream's start, whole or in pieces, is no stream. */
    ASSERT_TRUE(ws_write_file(packed, stream.substr(0, 2)));
    const uint32_t two[] = {1, 1};
    fresh_desk();
    ASSERT_EQ(split("_SETUP.EXE", 1, 2, "DISK", 0, two), STATUS_OK);
    sim_eject_medium('A');
    EXPECT_EQ(join("SETUP.EXE", 1, "DISK", 0, 1), STATUS_READ_ERROR);
    fresh_desk();
    ASSERT_EQ(split("_SETUP.EXE", 1, 1), STATUS_OK);
    sim_eject_medium('A');
    EXPECT_EQ(join("SETUP.EXE", 1, "DISK", 0, 1), STATUS_READ_ERROR);
}

TEST_F(CompressedFloppies, LongNamesAreThePiecesOfTheCompressedName)
{
    const std::string data = lzwt::sample(lzwt::SAMPLE_TEXT, 30000, 3);
    const struct {
        const char *plain, *compressed, *pieces[3];
    } rows[] = {
        {"LONGFILENAME.DLL", "_ONGFILENAME.DLL",
         {"_1NGFILENAME.DLL", "_2NGFILENAME.DLL", "_0NGFILENAME.DLL"}},
        {"ABCDEFGH.DLL", "_BCDEFGH.DLL", {"_1CDEFGH.DLL", "_2CDEFGH.DLL", "_0CDEFGH.DLL"}},
        {"ABCDEFG.DLL", "_ABCDEFG.DLL", {"_1BCDEFG.DLL", "_2BCDEFG.DLL", "_0BCDEFG.DLL"}},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.plain);
        packed = ws_join(dir, row.compressed);
        pack(data, 13);
        const std::vector<uint32_t> limits = budgets((uint32_t)stream.size(), 3, true);
        fresh_desk();
        ASSERT_EQ(split(row.compressed, 1, 3, "DISK", 0, limits.data()), STATUS_OK);
        for (int v = 1; v <= 3; v++)
            EXPECT_EQ(files_on(v).count(row.pieces[v - 1]), 1u) << v;
        sim_eject_medium('A');
        ASSERT_EQ(join(row.plain, 1, "DISK", 0, 1), STATUS_OK);
        EXPECT_TRUE(joined() == data);

        /* One piece: the compressed file under its own name. */
        fresh_desk();
        ASSERT_EQ(split(row.compressed, 1, 1), STATUS_OK);
        sim_eject_medium('A');
        ASSERT_EQ(join(row.plain, 1, "DISK", 0, 1), STATUS_OK);
        EXPECT_TRUE(joined() == data);
    }
}

TEST_F(CompressedFloppies, ADecompressingSplitWritesTheExpansion)
{
    const std::string data = lzwt::sample(lzwt::SAMPLE_RUN, 25000, 4);
    pack(data, 13);
    src = ws_join(dir, "SETUP.EXE"); /* read as _SETUP.EXE */
    split_decompress = 1;
    ASSERT_EQ(split("SETUP.EXE", 1, 3), STATUS_OK);
    EXPECT_EQ(files_on(1), (std::map<std::string, uint64_t>{{"1ETUP.EXE", 10240}}));
    EXPECT_EQ(files_on(3), (std::map<std::string, uint64_t>{{"0ETUP.EXE", 25000 - 20480}}));
    EXPECT_TRUE(joins_back("SETUP.EXE", data));

    /* An expansion that outlasts its pieces is no set. */
    desk = Desk();
    desk.clusters[1] = desk.clusters[2] = 100;
    sim_eject_medium('A');
    const uint32_t limits[] = {10000, 10000};
    EXPECT_EQ(split("SETUP.EXE", 1, 2, "DISK", 0, limits), STATUS_WRITE_ERROR);
    /* One that ends exactly with them is. */
    const uint32_t exact[] = {10000, 15000};
    desk = Desk();
    desk.clusters[1] = desk.clusters[2] = 100;
    sim_eject_medium('A');
    EXPECT_EQ(split("SETUP.EXE", 1, 2, "DISK", 0, exact), STATUS_OK);
}

TEST_F(CompressedFloppies, FaultSweepOverADecompressingJoin)
{
    const std::string data = lzwt::sample(lzwt::SAMPLE_TEXT, 40000, 5);
    pack(data, 13);
    const std::vector<uint32_t> limits = budgets((uint32_t)stream.size(), 3, true);
    ASSERT_EQ(split("_SETUP.EXE", 1, 3, "DISK", 0, limits.data()), STATUS_OK);
    const sim_family families[] = {SIM_MEM, SIM_OPEN, SIM_READ, SIM_WRITE, SIM_CLOSE, SIM_STAMPS};
    for (sim_family family : families) {
        fault_sweep(
            family,
            [&] {
                desk.prompts.clear();
                sim_eject_medium('A');
                DeleteFileA(dst.c_str());
            },
            [&] { return join("SETUP.EXE", 1, "DISK", 0, 1); },
            [&](status_t rc, bool fired) {
                if (rc == STATUS_OK) {
                    EXPECT_TRUE(joined() == data);
                    return;
                }
                EXPECT_TRUE(fired);
                const std::vector<status_t> allowed = {
                    STATUS_NO_MEMORY, STATUS_NOT_FOUND,     STATUS_WRITE_ERROR,
                    STATUS_READ_ERROR, STATUS_ACCESS_DENIED};
                EXPECT_EQ(std::count(allowed.begin(), allowed.end(), rc), 1) << "status " << rc;
            });
    }
}

} // namespace
