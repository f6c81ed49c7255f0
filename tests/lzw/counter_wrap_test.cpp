/* The files' 32-bit byte counters wrap after 4 GiB of a stream: reading, decoding and encoding
 * go on across the wrap exactly as before it. The counters start just short of the wrap, so
 * that a small file crosses it. */
#include <gtest/gtest.h>

#include <string>

#include "lzw/bitfile.h"
#include "support/codec_testing.h"
#include "lzw/lzw_decoder.h"
#include "lzw/lzw_encoder.h"
#include "support/reference_codec.h"
#include "support/workstation.h"

namespace {

using namespace lzwt;

/* Where the counters start: the wrap in the first byte, in the first block, past it (a block
 * is 48 KiB), and at its very end. */
const uint32_t kStarts[] = {0xFFFFFFFFu, 0xFFFFFF00u, 0xFFFF0000u, 0xFFFFFFFFu - 49151u};

class CounterWrapTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = ws_fresh();
        ASSERT_FALSE(dir.empty());
        /* Longer than two blocks, of every kind the codec meets. */
        plain = sample(SAMPLE_TEXT, 60000, 7) + sample(SAMPLE_EXECUTABLE, 40000, 8) +
                sample(SAMPLE_RANDOM, 20000, 9) + sample(SAMPLE_RUN, 30000, 10);
    }
    std::string dir, plain;

    /* The stream of plain, its input counter started at start. */
    std::string encode_from(uint32_t start)
    {
        const std::string path = ws_join(dir, "plain.bin");
        const std::string zpath = ws_join(dir, "stream.lzw");
        EXPECT_TRUE(ws_write_file(path, plain));
        bitfile *in = bitfile_open_read(path.c_str(), "", "", "", 0);
        bitfile *out = bitfile_open_write(zpath.c_str(), "", "", "", 1);
        lzw_encoder_state *st = lzw_encoder_state_create(13);
        if (in == NULL || out == NULL || st == NULL) {
            ADD_FAILURE() << "no files or no state";
            return "";
        }
        in->byte_counter = start;
        uint32_t budget = 0;
        EXPECT_EQ(lzw_encode(in, out, st, 13, &budget), STATUS_OK);
        EXPECT_EQ(st->phase, LZW_ENCODE_NEW);
        EXPECT_EQ(in->byte_counter, start + (uint32_t)plain.size());
        lzw_encoder_state_free(st);
        (void)bitfile_close(in, 0);
        EXPECT_TRUE(bitfile_close(out, 1));
        return read_all(zpath);
    }
};

TEST_F(CounterWrapTest, BytesReadAcrossTheWrapAreTheFile)
{
    const std::string path = ws_join(dir, "plain.bin");
    ASSERT_TRUE(ws_write_file(path, plain));
    for (uint32_t start : kStarts) {
        SCOPED_TRACE("counter from " + std::to_string(start));
        bitfile *in = bitfile_open_read(path.c_str(), "", "", "", 0);
        ASSERT_NE(in, nullptr);
        in->byte_counter = start;
        std::string got;
        uint8_t byte;
        while (bitfile_read_byte(in, &byte))
            got += (char)byte;
        EXPECT_EQ(in->byte_counter, start + (uint32_t)plain.size());
        (void)bitfile_close(in, 0);
        ASSERT_EQ(got.size(), plain.size());
        EXPECT_TRUE(got == plain);
    }
}

TEST_F(CounterWrapTest, StreamDecodesAcrossTheWrap)
{
    const std::string zpath = ws_join(dir, "stream.lzw");
    const std::string opath = ws_join(dir, "out.bin");
    ASSERT_TRUE(ws_write_file(zpath, reference_encode(plain, 13).bytes));
    for (uint32_t start : kStarts) {
        SCOPED_TRACE("input counter from " + std::to_string(start));
        bitfile *in = bitfile_open_read(zpath.c_str(), "", "", "", 1);
        bitfile *out = bitfile_open_write(opath.c_str(), "", "", "", 0);
        ASSERT_NE(in, nullptr);
        ASSERT_NE(out, nullptr);
        in->byte_counter = start;
        lzw_decoder_state st = {};
        uint32_t budget = 0xFFFFFFFFu;
        EXPECT_EQ(lzw_decode(in, out, &st, &budget), STATUS_OK);
        EXPECT_EQ(budget, (uint32_t)plain.size());
        lzw_decoder_table_free(st.table);
        (void)bitfile_close(in, 0);
        EXPECT_TRUE(bitfile_close(out, 0));
        EXPECT_TRUE(read_all(opath) == plain) << "the output is not the input";
    }
}

TEST_F(CounterWrapTest, StreamEncodedAcrossTheWrapIsTheSame)
{
    const std::string want = encode_from(0);
    ASSERT_EQ(reference_decode(want).out, plain) << "no stream of this input";
    for (uint32_t start : kStarts) {
        SCOPED_TRACE("input counter from " + std::to_string(start));
        EXPECT_TRUE(encode_from(start) == want) << "not the stream of the input";
    }
}

} // namespace
