/* Bit-stream files: packing, pending bits, reads that run out, on the simulation and for real. */
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "lzw/bitfile.h"
#include "support/codec_testing.h"
#include "platform/mem.h"
#include "platform/os.h"
#include "support/workstation.h"

namespace {

using lzwt::from_hex;
using lzwt::read_all;
using lzwt::to_hex;

class BitfileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = ws_fresh();
        ASSERT_FALSE(dir.empty());
        path = ws_join(dir, "bits.lzw");
    }
    std::string dir, path;
};

struct code {
    uint32_t value;
    int width;
};

/* Write codes into a fresh file, close it with flush, and give the file's bytes. */
std::string write_codes(const std::string &path, const std::vector<code> &codes, truth_t compressed,
                        truth_t flush)
{
    bitfile *bf = bitfile_open_write(path.c_str(), "", "", "", compressed);
    EXPECT_NE(bf, nullptr);
    if (bf == NULL)
        return "<no file>";
    for (const code &c : codes)
        EXPECT_TRUE(bitfile_write_bits(bf, c.value, c.width));
    EXPECT_TRUE(bitfile_close(bf, flush));
    return read_all(path);
}

TEST_F(BitfileTest, CodesArePackedMostSignificantBitFirst)
{
    struct {
        const char *what;
        std::vector<code> codes;
        truth_t compressed, flush;
        const char *bytes;
    } rows[] = {
        {"three codes filling three bytes", {{13, 8}, {258, 9}, {5, 7}}, 1, 1, "0D 81 05"},
        {"flushed: the pending bit and seven of padding", {{13, 8}, {258, 9}}, 1, 1, "0D 81 00"},
        {"not flushed: the pending bit stays out", {{13, 8}, {258, 9}}, 1, 0, "0D 81"},
        {"the plain side never flushes", {{13, 8}, {258, 9}}, 0, 1, "0D 81"},
        {"sixteen bits across three bytes", {{1, 4}, {0xABCD, 16}, {0xF, 4}}, 1, 1, "1A BC DF"},
        {"one bit at a time", {{1, 1}, {0, 1}, {1, 1}, {1, 1}, {0, 1}, {0, 1}, {0, 1}, {1, 1}},
         1, 1, "B1"},
        {"nothing", {}, 1, 1, ""},
    };
    for (auto &row : rows) {
        SCOPED_TRACE(row.what);
        std::string got = write_codes(path, row.codes, row.compressed, row.flush);
        std::string want = from_hex(row.bytes);
        ASSERT_EQ(got.size(), want.size()) << to_hex(got);
        /* The padding bits of a flushed last byte mean nothing: compare the bits written. */
        int bits = 0;
        for (const code &c : row.codes)
            bits += c.width;
        for (size_t i = 0; i < got.size(); i++) {
            int defined = bits - (int)i * 8 >= 8 ? 8 : bits - (int)i * 8;
            unsigned mask = (0xFF00u >> defined) & 0xFF;
            EXPECT_EQ((unsigned char)got[i] & mask, (unsigned char)want[i] & mask)
                << "byte " << i << " of " << to_hex(got);
        }
    }
}

TEST_F(BitfileTest, ReadsGiveBackWhatWasWritten)
{
    ASSERT_TRUE(ws_write_file(path, from_hex("0D 81 05")));
    bitfile *bf = bitfile_open_read(path.c_str(), "", "", "", 1);
    ASSERT_NE(bf, nullptr);
    uint16_t v = 0;
    EXPECT_TRUE(bitfile_read_bits(bf, &v, 8));
    EXPECT_EQ(v, 13);
    EXPECT_TRUE(bitfile_read_bits(bf, &v, 9));
    EXPECT_EQ(v, 258);
    EXPECT_TRUE(bitfile_read_bits(bf, &v, 7));
    EXPECT_EQ(v, 5);
    v = 77;
    EXPECT_FALSE(bitfile_read_bits(bf, &v, 1));
    EXPECT_EQ(v, 77) << "a failed read stored a value";
    EXPECT_EQ(bf->byte_counter, 3u);
    EXPECT_TRUE(bitfile_close(bf, 1));
}

TEST_F(BitfileTest, ReadThatRunsOutKeepsTheFetchedBits)
{
    ASSERT_TRUE(ws_write_file(path, from_hex("A5")));
    bitfile *bf = bitfile_open_read(path.c_str(), "", "", "", 1);
    ASSERT_NE(bf, nullptr);
    uint16_t v = 0;
    EXPECT_FALSE(bitfile_read_bits(bf, &v, 9));
    EXPECT_EQ(bf->fill_position, 23);
    EXPECT_EQ(bf->accumulator >> 24, 0xA5u);
    /* A second try fetches nothing more and changes nothing. */
    EXPECT_FALSE(bitfile_read_bits(bf, &v, 9));
    EXPECT_EQ(bf->fill_position, 23);
    EXPECT_EQ(bf->byte_counter, 1u);

    /* The bit state carried into the next file of the stream completes the code. */
    bitfile_bits bits;
    bitfile_save_bits(bf, &bits);
    EXPECT_TRUE(bitfile_close(bf, 0));
    ASSERT_TRUE(ws_write_file(path, from_hex("80")));
    bf = bitfile_open_read(path.c_str(), "", "", "", 1);
    ASSERT_NE(bf, nullptr);
    bitfile_load_bits(bf, &bits);
    EXPECT_TRUE(bitfile_read_bits(bf, &v, 9));
    EXPECT_EQ(v, 0x14Bu);
    EXPECT_TRUE(bitfile_close(bf, 0));
}

TEST_F(BitfileTest, PendingBitsTravelToTheNextFile)
{
    /* 13 (8 bits) and 258 (9 bits) cut after 0D 81: the last bit of 258 goes with the state. */
    bitfile *bf = bitfile_open_write(path.c_str(), "", "", "", 1);
    ASSERT_NE(bf, nullptr);
    ASSERT_TRUE(bitfile_write_bits(bf, 13, 8));
    ASSERT_TRUE(bitfile_write_bits(bf, 258, 9));
    bitfile_bits bits;
    bitfile_save_bits(bf, &bits);
    EXPECT_EQ(bits.write_position, 30);
    EXPECT_TRUE(bitfile_close(bf, 0));
    EXPECT_EQ(to_hex(read_all(path)), "0D 81");

    std::string next = ws_join(dir, "next.lzw");
    bf = bitfile_open_write(next.c_str(), "", "", "", 1);
    ASSERT_NE(bf, nullptr);
    bitfile_load_bits(bf, &bits);
    ASSERT_TRUE(bitfile_write_bits(bf, 5, 7));
    EXPECT_TRUE(bitfile_close(bf, 1));
    EXPECT_EQ(to_hex(read_all(next)), "05");
}

TEST_F(BitfileTest, ClosingAReadRecordWritesNothing)
{
    ASSERT_TRUE(ws_write_file(path, from_hex("0D 81 05")));
    bitfile *bf = bitfile_open_read(path.c_str(), "", "", "", 1);
    ASSERT_NE(bf, nullptr);
    uint16_t v;
    ASSERT_TRUE(bitfile_read_bits(bf, &v, 5));
    EXPECT_TRUE(bitfile_close(bf, 1));
    EXPECT_EQ(to_hex(read_all(path)), "0D 81 05");
    EXPECT_TRUE(bitfile_close(NULL, 1));
}

TEST_F(BitfileTest, OpenComposesThePathAndFailsWithoutAFile)
{
    ASSERT_TRUE(ws_write_file(ws_join(dir, "_SETUP.EXE"), "x"));
    bitfile *bf = bitfile_open_read(dir.c_str(), "", "_SETUP", "EXE", 1);
    ASSERT_NE(bf, nullptr);
    EXPECT_EQ(bf->buffer_size, BITFILE_BUFFER_MAX);
    EXPECT_EQ(bf->write_position, 31);
    EXPECT_EQ(bf->fill_position, 31);
    EXPECT_TRUE(bitfile_close(bf, 0));

    EXPECT_EQ(bitfile_open_read(dir.c_str(), "", "MISSING", "EXE", 1), nullptr);
    EXPECT_EQ(bitfile_open_write(ws_join(dir, "no\\such\\dir").c_str(), "", "x", "", 0), nullptr);
    /* A path too long for 260 characters names no file. */
    std::string longname(300, 'a');
    EXPECT_EQ(bitfile_open_write(dir.c_str(), "", longname.c_str(), "", 0), nullptr);
}

/* Codes of every width at every bit offset, across several block buffers. */
TEST_F(BitfileTest, ManyCodesRoundTripAcrossBlocks)
{
    std::mt19937 gen(5);
    std::vector<code> codes;
    for (int i = 0; i < 60000; i++) {
        int width = 1 + (int)(gen() % 16);
        codes.push_back({(uint32_t)(gen() & ((1u << width) - 1)), width});
    }
    std::string bytes = write_codes(path, codes, 1, 1);
    bitfile *bf = bitfile_open_read(path.c_str(), "", "", "", 1);
    ASSERT_NE(bf, nullptr);
    for (size_t i = 0; i < codes.size(); i++) {
        uint16_t v;
        ASSERT_TRUE(bitfile_read_bits(bf, &v, codes[i].width)) << "code " << i;
        ASSERT_EQ(v, codes[i].value) << "code " << i;
    }
    EXPECT_EQ(bf->byte_counter, (uint32_t)bytes.size());
    EXPECT_TRUE(bitfile_close(bf, 0));

    /* Bytes through the same buffer. */
    bf = bitfile_open_read(path.c_str(), "", "", "", 0);
    ASSERT_NE(bf, nullptr);
    std::string back;
    uint8_t byte;
    while (bitfile_read_byte(bf, &byte))
        back += (char)byte;
    EXPECT_TRUE(back == bytes);
    EXPECT_EQ(bf->byte_counter, (uint32_t)bytes.size());
    EXPECT_TRUE(bitfile_close(bf, 0));
}

TEST_F(BitfileTest, DrainTradingKeepsTheWrittenBlockAndTakesTheSpare)
{
    bitfile *bf = bitfile_open_write(path.c_str(), "", "", "", 0);
    ASSERT_NE(bf, nullptr);
    const uint32_t size = bf->buffer_size;
    std::string first;
    for (uint32_t i = 0; i < size; i++) {
        first += (char)(i * 7 + 3);
        ASSERT_TRUE(bitfile_put_byte(bf, (uint8_t)first.back()));
    }

    /* A spare smaller than the buffer: nothing is written or traded. */
    uint8_t *small = (uint8_t *)mem_alloc(size - 1);
    uint32_t small_size = size - 1;
    uint8_t *const buffer = bf->buffer;
    EXPECT_FALSE(bitfile_drain_trading(bf, &small, &small_size));
    EXPECT_EQ(bf->buffer, buffer);
    EXPECT_EQ(bf->buffer_position, size);
    EXPECT_EQ(small_size, size - 1);
    mem_free(small);

    uint32_t spare_size = size + 16;
    uint8_t *spare = (uint8_t *)mem_alloc(spare_size);
    uint8_t *const given = spare;
    ASSERT_TRUE(bitfile_drain_trading(bf, &spare, &spare_size));
    EXPECT_EQ(spare, buffer) << "the written block comes back";
    EXPECT_EQ(spare_size, size);
    EXPECT_TRUE(std::string((const char *)spare, size) == first);
    EXPECT_EQ(bf->buffer, given);
    EXPECT_EQ(bf->buffer_position, 0u);

    /* The file goes on in the traded block, and each block is freed by its new owner. */
    ASSERT_TRUE(bitfile_put_byte(bf, 'Z'));
    EXPECT_TRUE(bitfile_close(bf, 1));
    mem_free(spare);
    EXPECT_TRUE(ws_content(path) == first + "Z");
}

} // namespace
