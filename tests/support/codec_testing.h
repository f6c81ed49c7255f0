/* Test helpers of the LZW codec: sample inputs, and drivers that run the resumable workers
 * through files with budgets and splits (the reference codec is in reference_codec.h). */
#ifndef TESTS_SUPPORT_CODEC_TESTING_H
#define TESTS_SUPPORT_CODEC_TESTING_H

#include <gtest/gtest.h>

#include <stdint.h>

#include <functional>
#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "lzw/bitfile.h"
#include "lzw/lzw_decoder.h"
#include "lzw/lzw_encoder.h"
#include "lzw/lzw_format.h"
#include "support/reference_codec.h"
#include "support/workstation.h"

namespace lzwt {

/* ---- Bytes ------------------------------------------------------------------------------- */

inline std::string from_hex(const std::string &hex)
{
    std::string out;
    int hi = -1;
    for (char c : hex) {
        int v = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10
              : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
        if (v < 0)
            continue;
        if (hi < 0) {
            hi = v;
        } else {
            out += (char)(hi << 4 | v);
            hi = -1;
        }
    }
    return out;
}

inline std::string to_hex(const std::string &bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : bytes) {
        if (!out.empty())
            out += ' ';
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

/* ---- Sample inputs ----------------------------------------------------------------------- */

enum sample_kind { SAMPLE_TEXT, SAMPLE_EXECUTABLE, SAMPLE_RANDOM, SAMPLE_RUN, SAMPLE_KINDS };

inline const char *sample_name(int kind)
{
    static const char *names[] = {"text", "executable", "random", "run"};
    return names[kind];
}

inline std::string sample(int kind, size_t n, unsigned seed)
{
    std::mt19937 gen(seed);
    std::string s;
    s.reserve(n + 16);
    static const char *words[] = {"the ", "agent ", "copies ", "a ", "file ", "to ", "its ",
                                  "target\r\n", "volume ", "LZW ", "stream ", "of ", "codes, ",
                                  "and ", "reads ", "SETUP.EXE "};
    while (s.size() < n) {
        switch (kind) {
        case SAMPLE_TEXT:
            s += words[gen() % 16];
            break;
        case SAMPLE_EXECUTABLE: { /* opcodes, small offsets, zero padding */
            static const unsigned char ops[] = {0x55, 0x8B, 0xEC, 0x83, 0xC4, 0xE8, 0xFF, 0x75};
            unsigned r = gen();
            s += (char)ops[r % 8];
            s += (char)ops[(r >> 3) % 8];
            if (r & 0x100)
                s += std::string(4, (char)((r >> 12) & 0x1F));
            else
                s += std::string((r >> 9) % 6, '\0');
            break;
        }
        case SAMPLE_RANDOM:
            s += (char)(gen() & 0xFF);
            break;
        default:
            s += std::string(1000, 'Z');
            break;
        }
    }
    s.resize(n);
    return s;
}

/* ---- Files ------------------------------------------------------------------------------- */

inline std::string read_all(const std::string &path)
{
    std::string s;
    EXPECT_TRUE(ws_read_file(path, &s)) << path;
    return s;
}

/* ---- Drivers ----------------------------------------------------------------------------- */

/* The next budget of a call, given the output's byte counter now. */
typedef std::function<uint32_t(uint32_t counter)> budget_fn;

inline budget_fn no_limit()
{
    return [](uint32_t) { return 0xFFFFFFFFu; };
}

inline budget_fn steps_of(uint32_t step)
{
    return [step](uint32_t counter) { return counter + step; };
}

inline budget_fn random_steps(unsigned seed, uint32_t most)
{
    auto gen = std::make_shared<std::mt19937>(seed);
    return [gen, most](uint32_t counter) { return counter + 1 + (*gen)() % most; };
}

struct decode_run {
    status_t status = STATUS_OK;
    std::string out;            /* every output file, joined */
    int32_t phase = 0;          /* the phase after the last call */
    int calls = 0;
};

/* Decode the stream cut into pieces (one input file each), pausing by budget, and with
 * new_outputs a fresh output file at every output pause. */
inline decode_run decode_through_files(const std::string &dir, const std::vector<std::string> &pieces,
                                       budget_fn budget, bool new_outputs = false)
{
    decode_run r;
    lzw_decoder_state st;
    memset(&st, 0, sizeof st);
    int out_serial = 0;
    std::vector<std::string> outputs;
    auto open_out = [&]() {
        outputs.push_back(ws_join(dir, "out" + std::to_string(out_serial++) + ".bin"));
        return bitfile_open_write(outputs.back().c_str(), "", "", "", 0);
    };
    bitfile *out = open_out();
    EXPECT_NE(out, nullptr);
    for (size_t i = 0; i < pieces.size() && r.status == STATUS_OK; i++) {
        std::string name = ws_join(dir, "in" + std::to_string(i) + ".lzw");
        EXPECT_TRUE(ws_write_file(name, pieces[i]));
        bitfile *in = bitfile_open_read(name.c_str(), "", "", "", 1);
        EXPECT_NE(in, nullptr);
        for (;;) {
            uint32_t b = budget(out->byte_counter);
            r.calls++;
            r.status = lzw_decode(in, out, &st, &b);
            if (r.status != STATUS_OK)
                break;
            EXPECT_EQ(b, out->byte_counter);
            if (st.phase == LZW_DECODE_INPUT || st.phase == LZW_DECODE_INPUT_RESET)
                break;
            if (new_outputs) {
                EXPECT_TRUE(bitfile_close(out, 1));
                out = open_out();
            }
            if (r.calls > 10000000) {
                ADD_FAILURE() << "the decoder makes no progress";
                break;
            }
        }
        EXPECT_TRUE(bitfile_close(in, 0));
    }
    r.phase = st.phase;
    EXPECT_TRUE(bitfile_close(out, 1));
    lzw_decoder_table_free(st.table);
    for (const std::string &o : outputs)
        r.out += read_all(o);
    return r;
}

/* Cut stream at the given offsets (ascending, inside the stream). */
inline std::vector<std::string> cut(const std::string &stream, const std::vector<size_t> &at)
{
    std::vector<std::string> pieces;
    size_t from = 0;
    for (size_t a : at) {
        pieces.push_back(stream.substr(from, a - from));
        from = a;
    }
    pieces.push_back(stream.substr(from));
    return pieces;
}

struct encode_run {
    status_t status = STATUS_OK;
    std::string joined;               /* every target, joined */
    std::vector<uint32_t> sizes;      /* each target's size */
    std::vector<uint32_t> budgets;    /* the budget each target was given */
};

/* Encode data into one target per call, target k given budgets(k) (0: no limit). */
inline encode_run encode_through_files(const std::string &dir, const std::string &data,
                                       uint32_t max_width,
                                       std::function<uint32_t(int)> budgets)
{
    encode_run r;
    std::string src = ws_join(dir, "plain.bin");
    EXPECT_TRUE(ws_write_file(src, data));
    lzw_encoder_state *st = lzw_encoder_state_create(max_width);
    EXPECT_NE(st, nullptr);
    bitfile *in = bitfile_open_read(src.c_str(), "", "", "", 0);
    EXPECT_NE(in, nullptr);
    for (int k = 0;; k++) {
        std::string name = ws_join(dir, "part" + std::to_string(k) + ".lzw");
        bitfile *out = bitfile_open_write(name.c_str(), "", "", "", 1);
        EXPECT_NE(out, nullptr);
        uint32_t b = budgets(k);
        r.budgets.push_back(b);
        r.status = lzw_encode(in, out, st, max_width, &b);
        bool last = r.status != STATUS_OK || st->phase == LZW_ENCODE_NEW;
        EXPECT_TRUE(bitfile_close(out, last ? 1 : 0));
        std::string bytes = read_all(name);
        r.sizes.push_back((uint32_t)bytes.size());
        r.joined += bytes;
        if (last)
            break;
        /* Every target but the last takes a code at least, or a reset code. */
        if ((size_t)k > 2 * data.size() + 16) {
            ADD_FAILURE() << "the encoder makes no progress";
            break;
        }
    }
    EXPECT_TRUE(bitfile_close(in, 0));
    lzw_encoder_state_free(st);
    return r;
}

/* ---- A sample on the workstation ----------------------------------------------------------- */

/* A fresh directory holding plain.bin, a sample of text then random bytes, and its stream as
 * the reference encoder writes it at width 13: the input of the codec's fault sweeps. */
class CodecSampleTest : public ::testing::Test {
protected:
    /* The sample's two parts come from seeds first_seed and first_seed + 1. */
    void write_sample(unsigned first_seed)
    {
        dir = ws_fresh();
        data = sample(SAMPLE_TEXT, 150000, first_seed) +
               sample(SAMPLE_RANDOM, 60000, first_seed + 1);
        stream = reference_encode(data, 13).bytes;
        plain = ws_join(dir, "plain.bin");
        ASSERT_TRUE(ws_write_file(plain, data));
    }
    std::string dir, data, stream, plain;
};

} // namespace lzwt

#endif
