/* The LZW decoder: the format's vectors, invalid streams, and pauses at every budget and cut. */
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "lzw/lzw_decoder.h"
#include "support/codec_testing.h"
#include "support/workstation.h"

namespace {

using namespace lzwt;

const char *const ABCDEFGH = "0D 21 91 08 A4 62 39 20 92 4A";
const char *const A36 = "0D 21 C0 A0 70 48 2C 1A 0F 08";

class DecoderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = ws_fresh();
        ASSERT_FALSE(dir.empty());
        memset(&st, 0, sizeof st);
        in = out = NULL;
    }
    void TearDown() override
    {
        bitfile_close(in, 0);
        bitfile_close(out, 1);
        lzw_decoder_table_free(st.table);
        in = out = NULL;
        st.table = NULL;
    }
    /* A fresh input file holding bytes. */
    void open_in(const std::string &bytes, const char *name = "in.lzw")
    {
        bitfile_close(in, 0);
        std::string path = ws_join(dir, name);
        ASSERT_TRUE(ws_write_file(path, bytes));
        in = bitfile_open_read(path.c_str(), "", "", "", 1);
        ASSERT_NE(in, nullptr);
    }
    void open_out()
    {
        out_path = ws_join(dir, "out.bin");
        out = bitfile_open_write(out_path.c_str(), "", "", "", 0);
        ASSERT_NE(out, nullptr);
    }
    /* Close the output and give its bytes. */
    std::string output()
    {
        EXPECT_TRUE(bitfile_close(out, 1));
        out = NULL;
        return read_all(out_path);
    }
    std::string dir, out_path;
    lzw_decoder_state st;
    bitfile *in, *out;
};

TEST_F(DecoderTest, FormatVectors)
{
    /* A stream with header 9: its table stops at 510 and the codes stay 9 bits wide. */
    bit_writer w9;
    w9.put(9, 8);
    w9.put('x' + 2, 9);
    for (int i = 0; i < 300; i++)
        w9.put('a' + 2 + i % 20, 9);
    /* A reset: the next code is read at 9 bits and adds no string. */
    bit_writer reset;
    reset.put(13, 8);
    reset.put('A' + 2, 9);
    reset.put('B' + 2, 9);
    reset.put(1, 9);
    reset.put('C' + 2, 9);
    reset.put(258, 9); /* unassigned again after the reset: the special case of C */
    struct {
        const char *what;
        std::string stream;
        std::string out;
        int32_t phase;
    } rows[] = {
        {"codes 67 to 74 at 9 bits", from_hex(ABCDEFGH), "ABCDEFGH", LZW_DECODE_INPUT},
        {"every code after the first the special case", from_hex(A36), std::string(36, 'A'),
         LZW_DECODE_INPUT},
        {"exactly three bytes: the first code's byte", from_hex("0D 21 91"), "A",
         LZW_DECODE_INPUT},
        {"header 9", w9.done(), reference_decode(w9.done()).out, LZW_DECODE_INPUT},
        {"reset", reset.done(), "ABCCC", LZW_DECODE_INPUT},
    };
    for (auto &row : rows) {
        SCOPED_TRACE(row.what);
        SetUp();
        open_in(row.stream);
        open_out();
        uint32_t budget = 0xFFFFFFFFu;
        ASSERT_EQ(lzw_decode(in, out, &st, &budget), STATUS_OK);
        EXPECT_EQ(st.phase, row.phase);
        EXPECT_EQ(budget, (uint32_t)row.out.size());
        EXPECT_EQ(output(), row.out);
        TearDown();
    }
    EXPECT_EQ(reference_decode(w9.done()).out.size(), 301u) << "the reference differs";
}

TEST_F(DecoderTest, HeaderNineStopsTheTableAt510)
{
    bit_writer w;
    w.put(9, 8);
    w.put(2, 9);
    for (int i = 0; i < 400; i++)
        w.put(2 + i % 256, 9);
    open_in(w.done());
    open_out();
    uint32_t budget = 0xFFFFFFFFu;
    ASSERT_EQ(lzw_decode(in, out, &st, &budget), STATUS_OK);
    EXPECT_EQ(st.table->last_code, 510);
    EXPECT_EQ(st.table->code_width, 9);
    EXPECT_EQ(budget, 401u);
}

TEST_F(DecoderTest, BudgetPausesAndResumes)
{
    open_in(from_hex(ABCDEFGH));
    open_out();
    uint32_t budget = 3;
    ASSERT_EQ(lzw_decode(in, out, &st, &budget), STATUS_OK);
    EXPECT_EQ(budget, 3u);
    EXPECT_EQ(st.phase, LZW_DECODE_WRITE);
    budget = 8;
    ASSERT_EQ(lzw_decode(in, out, &st, &budget), STATUS_OK);
    EXPECT_EQ(budget, 8u);
    EXPECT_EQ(st.phase, LZW_DECODE_INPUT);
    EXPECT_EQ(output(), "ABCDEFGH");
}

TEST_F(DecoderTest, BudgetBelowTheCounterStillWritesTheFirstByte)
{
    open_in(from_hex(ABCDEFGH));
    open_out();
    uint32_t budget = 0;
    ASSERT_EQ(lzw_decode(in, out, &st, &budget), STATUS_OK);
    EXPECT_EQ(budget, 1u);
    EXPECT_EQ(st.phase, LZW_DECODE_WRITE);
    /* A resumed call tests the budget before every byte, the first included. */
    budget = 1;
    ASSERT_EQ(lzw_decode(in, out, &st, &budget), STATUS_OK);
    EXPECT_EQ(budget, 1u);
    EXPECT_EQ(st.phase, LZW_DECODE_WRITE);
    budget = 2;
    ASSERT_EQ(lzw_decode(in, out, &st, &budget), STATUS_OK);
    EXPECT_EQ(budget, 2u);
    EXPECT_EQ(output(), "AB");
}

TEST_F(DecoderTest, InputCutInsideACode)
{
    std::string stream = from_hex(ABCDEFGH);
    open_in(stream.substr(0, 5), "in1.lzw");
    open_out();
    uint32_t budget = 0xFFFFFFFFu;
    ASSERT_EQ(lzw_decode(in, out, &st, &budget), STATUS_OK);
    EXPECT_EQ(budget, 3u);
    EXPECT_EQ(st.phase, LZW_DECODE_INPUT);
    /* 40 bits: the header and three codes take 35, five bits of the fourth wait. */
    EXPECT_EQ(31 - st.input.fill_position, 5);
    EXPECT_EQ(st.input.accumulator >> 27, 0x46u >> 4) << "the top five bits of code 70";
    open_in(stream.substr(5), "in2.lzw");
    budget = 0xFFFFFFFFu;
    ASSERT_EQ(lzw_decode(in, out, &st, &budget), STATUS_OK);
    EXPECT_EQ(output(), "ABCDEFGH");
}

TEST_F(DecoderTest, InputEndingAfterAResetResumesWithAFreshTable)
{
    bit_writer w;
    w.put(13, 8);
    w.put('A' + 2, 9);
    w.put('B' + 2, 9);
    w.put(258, 9);
    w.put(1, 9);
    w.put('Z' + 2, 9);
    w.put(258, 9);
    std::string whole = w.done();
    ASSERT_EQ(reference_decode(whole).out, "ABABZZZ");
    /* The reset code ends at bit 44: a cut after 5 bytes falls inside it, after 6 bytes
     * between it and the fresh table's first code. */
    for (size_t at = 5; at <= 6; at++) {
        SCOPED_TRACE("cut after byte " + std::to_string(at));
        SetUp();
        open_in(whole.substr(0, at), "in1.lzw");
        open_out();
        uint32_t budget = 0xFFFFFFFFu;
        ASSERT_EQ(lzw_decode(in, out, &st, &budget), STATUS_OK);
        EXPECT_EQ(budget, 4u);
        EXPECT_EQ(st.phase, at == 5 ? LZW_DECODE_INPUT : LZW_DECODE_INPUT_RESET);
        open_in(whole.substr(at), "in2.lzw");
        /* A budget at the counter: the fresh table's byte waits for room. */
        budget = 4;
        ASSERT_EQ(lzw_decode(in, out, &st, &budget), STATUS_OK);
        EXPECT_EQ(st.phase, LZW_DECODE_WRITE);
        EXPECT_EQ(st.table->last_code, 257);
        budget = 0xFFFFFFFFu;
        ASSERT_EQ(lzw_decode(in, out, &st, &budget), STATUS_OK);
        EXPECT_EQ(output(), "ABABZZZ");
        TearDown();
    }
}

TEST_F(DecoderTest, ShortInputsAndInvalidStreams)
{
    auto codes = [](uint32_t header, std::vector<uint32_t> list) {
        bit_writer w;
        w.put(header, 8);
        int width = 9;
        for (uint32_t c : list)
            w.put(c, width);
        return w.done();
    };
    /* A full table of header 9 (last code 510), then its unassigned next code. */
    std::vector<uint32_t> full = {2};
    for (int i = 0; i < 253; i++)
        full.push_back(2 + i % 256);
    std::vector<uint32_t> full_then_next_twice = full;
    full_then_next_twice.push_back(511);
    full_then_next_twice.push_back(511);
    std::vector<uint32_t> full_then_last = full;
    full_then_last.push_back(510);
    struct {
        const char *what;
        std::string stream;
        status_t status;
    } rows[] = {
        {"empty", "", STATUS_READ_ERROR},
        {"header only", from_hex("0D"), STATUS_READ_ERROR},
        {"two bytes", from_hex("0D 21"), STATUS_READ_ERROR},
        {"header width 19", codes(19, {67, 68}), STATUS_FILE_CORRUPT},
        {"header width 255", codes(255, {67, 68}), STATUS_FILE_CORRUPT},
        {"code 0 first", codes(13, {0, 67}), STATUS_FILE_CORRUPT},
        {"reset code first", codes(13, {1, 67}), STATUS_FILE_CORRUPT},
        {"string code first", codes(13, {258, 67}), STATUS_FILE_CORRUPT},
        {"code 0 later", codes(13, {67, 68, 0}), STATUS_FILE_CORRUPT},
        {"two above the last code", codes(13, {67, 259}), STATUS_FILE_CORRUPT},
        {"far above the last code", codes(13, {67, 68, 511}), STATUS_FILE_CORRUPT},
        {"reset then reset", codes(13, {67, 1, 1}), STATUS_FILE_CORRUPT},
        {"reset then a string code", codes(13, {67, 68, 1, 258}), STATUS_FILE_CORRUPT},
        {"reset then code 0", codes(13, {67, 1, 0}), STATUS_FILE_CORRUPT},
        {"the next code of a full table twice", codes(9, full_then_next_twice),
         STATUS_FILE_CORRUPT},
        {"the last code of a full table", codes(9, full_then_last), STATUS_OK},
        {"a full table", codes(9, full), STATUS_OK},
    };
    for (auto &row : rows) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(reference_decode(row.stream).status, row.status) << "the reference differs";
        SetUp();
        open_in(row.stream);
        open_out();
        uint32_t budget = 0xFFFFFFFFu;
        EXPECT_EQ(lzw_decode(in, out, &st, &budget), row.status);
        if (row.status != STATUS_OK) {
            EXPECT_EQ(budget, 0xFFFFFFFFu) << "a failure changed the budget";
            /* The stream cannot go on. */
            EXPECT_EQ(lzw_decode(in, out, &st, &budget), STATUS_FAILED);
        }
        TearDown();
    }
}

TEST_F(DecoderTest, StateFromElsewhereIsRefused)
{
    open_in(from_hex(ABCDEFGH));
    open_out();
    uint32_t budget = 0xFFFFFFFFu;
    st.phase = LZW_DECODE_INPUT; /* but no table */
    EXPECT_EQ(lzw_decode(in, out, &st, &budget), STATUS_FAILED);
    memset(&st, 0, sizeof st);
    st.phase = 99;
    EXPECT_EQ(lzw_decode(in, out, &st, &budget), STATUS_FAILED);
    EXPECT_EQ(budget, 0xFFFFFFFFu);
}

/* Streams of every header width decode as the reference reads them. */
TEST_F(DecoderTest, EveryHeaderWidthDecodes)
{
    std::string data = sample(SAMPLE_TEXT, 30000, 3) + sample(SAMPLE_RANDOM, 20000, 4);
    for (uint32_t width = 0; width <= 18; width++) {
        SCOPED_TRACE("width " + std::to_string(width));
        std::string stream = reference_encode(data, width).bytes;
        decode_run r = decode_through_files(dir, {stream}, no_limit());
        ASSERT_EQ(r.status, STATUS_OK);
        EXPECT_TRUE(r.out == data);
        EXPECT_EQ(r.phase, LZW_DECODE_INPUT);
    }
}

/* Old writers whose tables went one code further send a full table's next code: it is the
 * special case, the previous string and its own first byte again, and the table stays full.
 * The stream ends there, so that the code is the very last thing decoded; read whole, a byte a
 * call, and cut inside that last code. */
TEST_F(DecoderTest, FullTablesNextCodeIsTheSpecialCase)
{
    for (uint32_t header : {9u, 0u, 10u, 13u}) {
        SCOPED_TRACE("header " + std::to_string(header));
        const uint32_t limit = lzw_table_limit(header);
        bit_writer w;
        std::string want;
        uint32_t last = 257, code = 0;
        int width = 9;
        w.put(header, 8);
        /* Single bytes until the table is full: each after the first adds a string. */
        for (uint32_t i = 0; last < limit - 1 || i == 0; i++) {
            code = 2 + (i * 7) % 256;
            w.put(code, width);
            want += (char)(code - 2);
            if (i == 0)
                continue;
            last++;
            if (widens_at(last))
                width++;
        }
        ASSERT_EQ(last, limit - 1);
        w.put(limit, width);
        want += std::string(2, (char)(code - 2));
        const std::string stream = w.done();
        EXPECT_TRUE(reference_decode(stream).out == want) << "the reference differs";

        decode_run whole = decode_through_files(dir, {stream}, no_limit());
        EXPECT_EQ(whole.status, STATUS_OK);
        EXPECT_EQ(whole.phase, LZW_DECODE_INPUT);
        EXPECT_TRUE(whole.out == want);
        decode_run bytewise = decode_through_files(dir, {stream}, steps_of(1));
        EXPECT_EQ(bytewise.status, STATUS_OK);
        EXPECT_TRUE(bytewise.out == want);
        decode_run cut_last = decode_through_files(dir, cut(stream, {stream.size() - 1}),
                                                   no_limit());
        EXPECT_EQ(cut_last.status, STATUS_OK);
        EXPECT_TRUE(cut_last.out == want);

        /* The same code again stands for a string no table holds. */
        bit_writer twice = w;
        twice.put(limit, width);
        decode_run refused = decode_through_files(dir, {twice.done()}, no_limit());
        EXPECT_EQ(refused.status, STATUS_FILE_CORRUPT);
        EXPECT_EQ(reference_decode(twice.done()).status, STATUS_FILE_CORRUPT);
    }
}

/* ---- Resumption: every budget and every cut gives the bytes of one call ----------------- */

struct stream_case {
    std::string what;
    std::string stream;
    std::string data; /* the reference's reading of the stream */
};

/* Streams from the reference writer over each kind of input, small and larger, with narrow
 * tables that fill and reset often; and one that ends exactly as the table fills. */
std::vector<stream_case> resumption_cases(size_t small, size_t large)
{
    std::vector<stream_case> cases;
    for (int kind = 0; kind < SAMPLE_KINDS; kind++) {
        for (uint32_t width : {9u, 13u}) {
            size_t n = width == 9 ? small : large;
            std::string data = sample(kind, n, (unsigned)(kind * 31 + width));
            cases.push_back({std::string(sample_name(kind)) + " at width " +
                                 std::to_string(width),
                             reference_encode(data, width).bytes, data});
        }
    }
    std::string data = sample(SAMPLE_RANDOM, 4000, 77);
    reference_stream full = reference_encode(data, 9);
    data.resize(full.match_ends[full.first_full - 1]);
    cases.push_back({"ends as the table fills", reference_encode(data, 9).bytes, data});
    return cases;
}

TEST_F(DecoderTest, ReferenceEndsWithAResetWhereTheTableFills)
{
    std::string data = sample(SAMPLE_RANDOM, 4000, 77);
    reference_stream full = reference_encode(data, 9);
    ASSERT_GT(full.first_full, 0u);
    data.resize(full.match_ends[full.first_full - 1]);
    reference_result r = reference_decode(reference_encode(data, 9).bytes);
    ASSERT_FALSE(r.codes.empty());
    EXPECT_EQ(r.codes.back(), 1u);
    EXPECT_TRUE(r.ended_after_reset);
    decode_run d = decode_through_files(dir, {reference_encode(data, 9).bytes}, no_limit());
    EXPECT_EQ(d.phase, LZW_DECODE_INPUT_RESET);
    EXPECT_TRUE(d.out == data);
}

TEST_F(DecoderTest, EveryBudgetGivesTheBytesOfOneCall)
{
    for (const stream_case &c : resumption_cases(1200, 1200)) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(reference_decode(c.stream).out == c.data);
        /* A first call paused at each budget, the rest in one call. */
        for (uint32_t first = 1; first <= c.data.size(); first += 1 + first / 32) {
            bool asked = false;
            decode_run r = decode_through_files(
                dir, {c.stream},
                [&](uint32_t counter) {
                    if (asked)
                        return 0xFFFFFFFFu;
                    asked = true;
                    return counter + first;
                });
            ASSERT_EQ(r.status, STATUS_OK) << "first budget " << first;
            ASSERT_TRUE(r.out == c.data) << "first budget " << first;
        }
        /* Steady steps, with a fresh output file at every pause for some. */
        for (uint32_t step : {1u, 2u, 3u, 5u, 64u, 255u, 256u, 257u, 4099u}) {
            bool new_outputs = step == 3 || step == 257;
            decode_run r = decode_through_files(dir, {c.stream}, steps_of(step), new_outputs);
            ASSERT_EQ(r.status, STATUS_OK) << "step " << step;
            ASSERT_TRUE(r.out == c.data) << "step " << step;
        }
    }
}

TEST_F(DecoderTest, EveryCutOfTheStreamGivesTheBytesOfOneCall)
{
    for (const stream_case &c : resumption_cases(400, 400)) {
        SCOPED_TRACE(c.what);
        /* The header and the first code must come in one file: a stream begins there. */
        for (size_t at = 1; at < 3; at++) {
            decode_run r = decode_through_files(dir, cut(c.stream, {at}), no_limit());
            ASSERT_EQ(r.status, STATUS_READ_ERROR) << "cut at " << at;
        }
        for (size_t at = 3; at < c.stream.size(); at++) {
            decode_run r = decode_through_files(dir, cut(c.stream, {at}), no_limit());
            ASSERT_EQ(r.status, STATUS_OK) << "cut at " << at;
            ASSERT_TRUE(r.out == c.data) << "cut at " << at;
        }
        /* One byte per file after the first three, with small budgets on top. */
        std::vector<size_t> every;
        for (size_t at = 3; at < c.stream.size(); at++)
            every.push_back(at);
        decode_run r = decode_through_files(dir, cut(c.stream, every), random_steps(9, 7));
        ASSERT_EQ(r.status, STATUS_OK);
        ASSERT_TRUE(r.out == c.data);
    }
}

TEST_F(DecoderTest, RandomCutsAndBudgetsOnLargerStreams)
{
    std::mt19937 gen(11);
    for (const stream_case &c : resumption_cases(30000, 120000)) {
        SCOPED_TRACE(c.what);
        for (int trial = 0; trial < 6; trial++) {
            std::vector<size_t> at;
            size_t pieces = gen() % 8;
            for (size_t i = 0; i < pieces; i++)
                at.push_back(3 + gen() % (c.stream.size() - 3));
            std::sort(at.begin(), at.end());
            at.erase(std::unique(at.begin(), at.end()), at.end());
            budget_fn budget = trial % 3 == 0 ? no_limit() : random_steps(trial, trial * 1000);
            decode_run r = decode_through_files(dir, cut(c.stream, at), budget, trial % 2 == 1);
            ASSERT_EQ(r.status, STATUS_OK) << "trial " << trial;
            ASSERT_TRUE(r.out == c.data) << "trial " << trial;
        }
    }
}

} // namespace
