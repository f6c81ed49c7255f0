/* The LZW encoder: the format's vectors, its table, full targets, and round trips. */
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "lzw/lzw_encoder.h"
#include "support/codec_testing.h"
#include "support/workstation.h"

namespace {

using namespace lzwt;

class EncoderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = ws_fresh();
        ASSERT_FALSE(dir.empty());
    }
    std::string dir;
};

/* Equal in every bit the stream defines: the padding of the last byte is undefined. */
::testing::AssertionResult same_stream(const std::string &got, const std::string &want,
                                       int padding_bits)
{
    if (got.size() != want.size())
        return ::testing::AssertionFailure() << to_hex(got) << " is not " << to_hex(want);
    if (got.empty())
        return ::testing::AssertionSuccess();
    size_t last = got.size() - 1;
    unsigned mask = (0xFFu << padding_bits) & 0xFF;
    if (got.compare(0, last, want, 0, last) != 0 ||
        ((unsigned char)got[last] & mask) != ((unsigned char)want[last] & mask))
        return ::testing::AssertionFailure() << to_hex(got) << " is not " << to_hex(want);
    return ::testing::AssertionSuccess();
}

TEST_F(EncoderTest, FormatVectors)
{
    struct {
        const char *what;
        std::string data;
        const char *stream;
        int padding_bits;
    } rows[] = {
        {"eight letters", "ABCDEFGH", "0D 21 91 08 A4 62 39 20 92 4A", 0},
        {"36 letters A", std::string(36, 'A'), "0D 21 C0 A0 70 48 2C 1A 0F 08", 0},
        {"ABABABA: codes 67, 68, 258, 260", "ABABABA", "0D 21 91 20 50 40", 4},
        {"one byte", "A", "0D 21 80", 7},
    };
    for (auto &row : rows) {
        SCOPED_TRACE(row.what);
        encode_run r = encode_through_files(dir, row.data, 13, [](int) { return 0u; });
        ASSERT_EQ(r.status, STATUS_OK);
        EXPECT_TRUE(same_stream(r.joined, from_hex(row.stream), row.padding_bits));
        EXPECT_TRUE(same_stream(reference_encode(row.data, 13).bytes, from_hex(row.stream),
                                row.padding_bits))
            << "the reference differs";
    }
}

TEST_F(EncoderTest, FullTargetPausesAndTheNextTargetContinuesTheBits)
{
    encode_run r = encode_through_files(dir, "ABCDEFGH", 13, [](int k) { return k == 0 ? 5u : 8u; });
    ASSERT_EQ(r.status, STATUS_OK);
    ASSERT_EQ(r.sizes.size(), 2u);
    EXPECT_EQ(to_hex(r.joined.substr(0, r.sizes[0])), "0D 21 91");
    EXPECT_EQ(to_hex(r.joined.substr(r.sizes[0])), "08 A4 62 39 20 92 4A");

    /* The same by hand: the phase, the pending bits and the budgets returned. */
    std::string src = ws_join(dir, "abc.txt");
    ASSERT_TRUE(ws_write_file(src, "ABCDEFGH"));
    lzw_encoder_state *st = lzw_encoder_state_create(13);
    ASSERT_NE(st, nullptr);
    bitfile *in = bitfile_open_read(src.c_str(), "", "", "", 0);
    bitfile *out = bitfile_open_write(ws_join(dir, "a.lzw").c_str(), "", "", "", 1);
    ASSERT_TRUE(in != NULL && out != NULL);
    uint32_t budget = 5;
    ASSERT_EQ(lzw_encode(in, out, st, 13, &budget), STATUS_OK);
    EXPECT_EQ(budget, 3u);
    EXPECT_EQ(st->phase, LZW_ENCODE_CODE);
    EXPECT_EQ(st->output.write_position, 29) << "two bits pending";
    EXPECT_TRUE(bitfile_close(out, 0));
    out = bitfile_open_write(ws_join(dir, "b.lzw").c_str(), "", "", "", 1);
    ASSERT_NE(out, nullptr);
    budget = 8;
    ASSERT_EQ(lzw_encode(in, out, st, 13, &budget), STATUS_OK);
    EXPECT_EQ(budget, 7u);
    EXPECT_EQ(st->phase, LZW_ENCODE_NEW);
    EXPECT_TRUE(bitfile_close(out, 1));
    EXPECT_TRUE(bitfile_close(in, 0));
    lzw_encoder_state_free(st);
}

TEST_F(EncoderTest, BudgetsOfZeroAndOneNeverPause)
{
    std::string data = sample(SAMPLE_TEXT, 5000, 1);
    for (uint32_t budget : {0u, 1u}) {
        encode_run r = encode_through_files(dir, data, 13, [budget](int) { return budget; });
        ASSERT_EQ(r.status, STATUS_OK);
        EXPECT_EQ(r.sizes.size(), 1u) << "budget " << budget;
        EXPECT_TRUE(r.joined == reference_encode(data, 13).bytes);
    }
}

TEST_F(EncoderTest, EmptyInputIsRefusedAfterTheHeader)
{
    encode_run r = encode_through_files(dir, "", 13, [](int) { return 0u; });
    EXPECT_EQ(r.status, STATUS_READ_ERROR);
    EXPECT_EQ(to_hex(r.joined), "0D");
}

TEST_F(EncoderTest, FullTableWritesAResetAtItsWidth)
{
    /* Random bytes fill a table of 8190 codes long before 40000 bytes end. */
    std::string data = sample(SAMPLE_RANDOM, 40000, 2);
    encode_run r = encode_through_files(dir, data, 13, [](int) { return 0u; });
    ASSERT_EQ(r.status, STATUS_OK);
    reference_result read = reference_decode(r.joined);
    ASSERT_EQ(read.status, STATUS_OK);
    EXPECT_TRUE(read.out == data);
    size_t reset = 0;
    while (reset < read.codes.size() && read.codes[reset] != 1)
        reset++;
    ASSERT_LT(reset + 1, read.codes.size()) << "no reset code";
    /* The first code assigns nothing; each later one assigns the next code from 258: the
     * table holds 8190 after 7934 codes. */
    EXPECT_EQ(reset, 7934u);
    EXPECT_EQ(read.widths[reset], 13);
    EXPECT_EQ(read.widths[reset + 1], 9);
    EXPECT_GE(read.codes[reset + 1], 2u);
    EXPECT_LE(read.codes[reset + 1], 257u);
}

TEST_F(EncoderTest, TableOperations)
{
    lzw_encoder_table *t = lzw_encoder_table_create(1024, 300);
    ASSERT_NE(t, nullptr);
    for (uint32_t b = 0; b < 256; b++)
        EXPECT_EQ(lzw_encoder_table_find(t, 0, (uint8_t)b), b + 2);
    EXPECT_EQ(lzw_encoder_table_find(t, 67, 'B'), 0);
    EXPECT_EQ(lzw_encoder_code_width(t), 9);
    for (uint32_t c = 258; c <= 300; c++)
        ASSERT_TRUE(lzw_encoder_table_add(t, (uint16_t)(c - 1), (uint8_t)c));
    EXPECT_FALSE(lzw_encoder_table_add(t, 5, 5)) << "past the highest code";
    EXPECT_EQ(t->last_code, 300);
    for (uint32_t c = 258; c <= 300; c++)
        EXPECT_EQ(lzw_encoder_table_find(t, (uint16_t)(c - 1), (uint8_t)c), c);
    lzw_encoder_table_reset(t);
    EXPECT_EQ(t->last_code, 257);
    EXPECT_EQ(lzw_encoder_table_find(t, 299, (uint8_t)300), 0);
    lzw_encoder_table_free(t);

    /* Widths from the last code: 512 and up is 10 bits, and so on to 16. */
    t = lzw_encoder_table_create(131072, 65534);
    ASSERT_NE(t, nullptr);
    const struct {
        uint16_t last;
        int width;
    } widths[] = {{257, 9},    {511, 9},    {512, 10},   {1023, 10},  {1024, 11},
                  {4096, 13},  {8191, 13},  {8192, 14},  {32767, 15}, {32768, 16},
                  {65534, 16}};
    for (auto &w : widths) {
        t->last_code = w.last;
        EXPECT_EQ(lzw_encoder_code_width(t), w.width) << "last code " << w.last;
    }
    lzw_encoder_table_free(t);

    /* Bounds: a power of two of slots above every code, codes a reader knows. */
    EXPECT_EQ(lzw_encoder_table_create(20000, 8190), nullptr) << "no power of two";
    EXPECT_EQ(lzw_encoder_table_create(8192, 8192), nullptr) << "no slot above 8192";
    EXPECT_EQ(lzw_encoder_table_create(131072, 65535), nullptr);
    EXPECT_EQ(lzw_encoder_table_create(1024, 257), nullptr);
    EXPECT_EQ(lzw_encoder_table_create(0, 8190), nullptr);
    EXPECT_EQ(lzw_encoder_table_create(1u << 25, 8190), nullptr);
    lzw_encoder_table *tight = lzw_encoder_table_create(8192, 8191);
    ASSERT_NE(tight, nullptr) << "one slot more than codes is enough";
    for (uint32_t c = 258; c <= 8191; c++)
        ASSERT_TRUE(lzw_encoder_table_add(tight, (uint16_t)(c - 1), (uint8_t)c));
    for (uint32_t c = 258; c <= 8191; c++)
        ASSERT_EQ(lzw_encoder_table_find(tight, (uint16_t)(c - 1), (uint8_t)c), c);
    EXPECT_EQ(lzw_encoder_table_find(tight, 8191, 1), 0) << "the probe ends at the empty slot";
    lzw_encoder_table_free(tight);
    EXPECT_EQ(lzw_encoder_state_create(19), nullptr);
}

TEST_F(EncoderTest, WidthTheTableWasNotMadeForIsRefused)
{
    std::string src = ws_join(dir, "plain.txt");
    ASSERT_TRUE(ws_write_file(src, "ABC"));
    lzw_encoder_state *st = lzw_encoder_state_create(16);
    ASSERT_NE(st, nullptr);
    bitfile *in = bitfile_open_read(src.c_str(), "", "", "", 0);
    bitfile *out = bitfile_open_write(ws_join(dir, "x.lzw").c_str(), "", "", "", 1);
    ASSERT_TRUE(in != NULL && out != NULL);
    uint32_t budget = 0;
    EXPECT_EQ(lzw_encode(in, out, st, 13, &budget), STATUS_FAILED);
    EXPECT_EQ(lzw_encode(in, out, st, 19, &budget), STATUS_FAILED);
    EXPECT_EQ(budget, 0u);
    EXPECT_TRUE(bitfile_close(out, 1));
    EXPECT_TRUE(bitfile_close(in, 0));
    lzw_encoder_state_free(st);
}

/* The writer's codes are the reference's, whatever the table's size and shift. */
TEST_F(EncoderTest, EveryHeaderWidthRoundTrips)
{
    std::string data = sample(SAMPLE_EXECUTABLE, 40000, 3) + sample(SAMPLE_RANDOM, 30000, 4) +
                       sample(SAMPLE_RUN, 20000, 0);
    for (uint32_t width = 0; width <= 18; width++) {
        SCOPED_TRACE("width " + std::to_string(width));
        encode_run r = encode_through_files(dir, data, width, [](int) { return 0u; });
        ASSERT_EQ(r.status, STATUS_OK);
        EXPECT_TRUE(r.joined == reference_encode(data, width).bytes);
        decode_run d = decode_through_files(dir, {r.joined}, no_limit());
        ASSERT_EQ(d.status, STATUS_OK);
        EXPECT_TRUE(d.out == data);
    }
}

TEST_F(EncoderTest, StateStartsEachStreamAfresh)
{
    std::string data = sample(SAMPLE_TEXT, 20000, 8);
    std::string src = ws_join(dir, "plain.txt");
    ASSERT_TRUE(ws_write_file(src, data));
    lzw_encoder_state *st = lzw_encoder_state_create(13);
    ASSERT_NE(st, nullptr);
    for (int round = 0; round < 2; round++) {
        bitfile *in = bitfile_open_read(src.c_str(), "", "", "", 0);
        std::string name = ws_join(dir, "s" + std::to_string(round) + ".lzw");
        bitfile *out = bitfile_open_write(name.c_str(), "", "", "", 1);
        ASSERT_TRUE(in != NULL && out != NULL);
        uint32_t budget = 0;
        ASSERT_EQ(lzw_encode(in, out, st, 13, &budget), STATUS_OK);
        EXPECT_TRUE(bitfile_close(out, 1));
        EXPECT_TRUE(bitfile_close(in, 0));
        EXPECT_TRUE(read_all(name) == reference_encode(data, 13).bytes) << "round " << round;
    }
    lzw_encoder_state_free(st);
}

/* ---- Resumption: the targets of any budgets, joined, are the one-target stream ---------- */

TEST_F(EncoderTest, TargetsOfAnyBudgetsJoinToTheOneTargetStream)
{
    for (int kind = 0; kind < SAMPLE_KINDS; kind++) {
        for (uint32_t width : {9u, 13u}) {
            SCOPED_TRACE(std::string(sample_name(kind)) + " at width " + std::to_string(width));
            std::string data = sample(kind, 1200, (unsigned)kind);
            const std::string whole = reference_encode(data, width).bytes;
            /* The first target of every budget (densely where pauses are near the header),
             * the rest in one. */
            for (uint32_t first = 2; first <= whole.size() + 2; first += 1 + first / 32) {
                encode_run r = encode_through_files(dir, data, width,
                                                    [first](int k) { return k == 0 ? first : 0u; });
                ASSERT_EQ(r.status, STATUS_OK);
                ASSERT_TRUE(r.joined == whole) << "first budget " << first;
                EXPECT_LE(r.sizes[0], first) << "first budget " << first;
            }
            /* Every target the same budget. */
            for (uint32_t budget : {3u, 4u, 5u, 17u, 300u}) {
                encode_run r = encode_through_files(dir, data, width,
                                                    [budget](int) { return budget; });
                ASSERT_EQ(r.status, STATUS_OK);
                ASSERT_TRUE(r.joined == whole) << "budget " << budget;
                for (size_t k = 0; k < r.sizes.size(); k++)
                    EXPECT_LE(r.sizes[k], budget) << "target " << k << " of budget " << budget;
            }
        }
    }
}

TEST_F(EncoderTest, PauseBeforeAResetKeepsTheStream)
{
    /* A narrow table, so that some pause falls right before a reset code. */
    std::string data = sample(SAMPLE_RANDOM, 1500, 12);
    const std::string whole = reference_encode(data, 9).bytes;
    bool paused_before_reset = false;
    for (uint32_t budget = 3; budget < 24; budget++) {
        std::string src = ws_join(dir, "plain.bin");
        ASSERT_TRUE(ws_write_file(src, data));
        lzw_encoder_state *st = lzw_encoder_state_create(9);
        ASSERT_NE(st, nullptr);
        bitfile *in = bitfile_open_read(src.c_str(), "", "", "", 0);
        ASSERT_NE(in, nullptr);
        std::string joined;
        for (int k = 0;; k++) {
            std::string name = ws_join(dir, "t.lzw");
            bitfile *out = bitfile_open_write(name.c_str(), "", "", "", 1);
            ASSERT_NE(out, nullptr);
            uint32_t b = budget;
            ASSERT_EQ(lzw_encode(in, out, st, 9, &b), STATUS_OK);
            paused_before_reset |= st->phase == LZW_ENCODE_RESET;
            bool last = st->phase == LZW_ENCODE_NEW;
            EXPECT_TRUE(bitfile_close(out, last));
            joined += read_all(name);
            if (last)
                break;
        }
        EXPECT_TRUE(bitfile_close(in, 0));
        lzw_encoder_state_free(st);
        ASSERT_TRUE(joined == whole) << "budget " << budget;
    }
    EXPECT_TRUE(paused_before_reset);
}

TEST_F(EncoderTest, PauseAtTheEndOfTheInputWritesNoExtraCode)
{
    /* The input ends inside the last match; the pause comes before its code. Resumed, the
     * stream ends with that code, not with another copy of the last byte. */
    for (uint32_t budget = 3; budget <= 12; budget++) {
        encode_run r = encode_through_files(dir, "ABCDEFGH", 13, [budget](int) { return budget; });
        ASSERT_EQ(r.status, STATUS_OK);
        EXPECT_TRUE(same_stream(r.joined, from_hex("0D 21 91 08 A4 62 39 20 92 4A"), 0))
            << "budget " << budget;
        EXPECT_EQ(reference_decode(r.joined).out, "ABCDEFGH") << "budget " << budget;
    }
}

TEST_F(EncoderTest, TargetsOfTwoBytesStillMakeProgress)
{
    /* A target of two bytes is full as soon as it is opened: a resumed pause writes what it
     * waited for without the test, also the reset code of a full table, or the encoder would
     * pause in every target for ever. */
    std::string data = sample(SAMPLE_RANDOM, 700, 21);
    const std::string whole = reference_encode(data, 9).bytes;
    encode_run r = encode_through_files(dir, data, 9, [](int) { return 2u; });
    ASSERT_EQ(r.status, STATUS_OK);
    EXPECT_TRUE(r.joined == whole);
    /* Each holds whole bytes of one code; the last may add its partial byte. */
    for (size_t k = 0; k + 1 < r.sizes.size(); k++)
        ASSERT_LE(r.sizes[k], 2u) << "target " << k;
    EXPECT_LE(r.sizes.back(), 3u);
}

TEST_F(EncoderTest, InputEndingAsTheTableFillsEndsWithAResetInAnyTargets)
{
    /* The last match fills the table: its code, then the reset code, end the stream, also
     * when a pause falls between the two. */
    std::string data = sample(SAMPLE_RANDOM, 1500, 77);
    reference_stream full = reference_encode(data, 9);
    ASSERT_GT(full.first_full, 0u);
    data.resize(full.match_ends[full.first_full - 1]);
    const std::string whole = reference_encode(data, 9).bytes;
    reference_result read = reference_decode(whole);
    ASSERT_EQ(read.codes.back(), 1u);
    ASSERT_TRUE(read.out == data);
    for (uint32_t budget = 0; budget <= 40; budget++) {
        encode_run r = encode_through_files(dir, data, 9, [budget](int) { return budget; });
        ASSERT_EQ(r.status, STATUS_OK);
        ASSERT_TRUE(r.joined == whole) << "budget " << budget;
    }
    /* One target up to the last code's pause, the rest in the next. */
    for (uint32_t first = (uint32_t)whole.size() - 4; first <= whole.size() + 2; first++) {
        encode_run r = encode_through_files(dir, data, 9,
                                            [first](int k) { return k == 0 ? first : 0u; });
        ASSERT_EQ(r.status, STATUS_OK);
        ASSERT_TRUE(r.joined == whole) << "first budget " << first;
    }
}

} // namespace
