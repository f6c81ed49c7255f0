/* Test helpers of the LZW codec: a plain reference decoder and encoder, sample inputs, and
 * drivers that run the resumable workers through files with budgets and splits. */
#ifndef TESTS_LZW_CODEC_TESTING_H
#define TESTS_LZW_CODEC_TESTING_H

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

/* Codes packed most significant bit first, the last byte padded with zero bits. */
struct bit_writer {
    std::string bytes;
    uint32_t acc = 0;
    int n = 0;
    void put(uint32_t value, int width)
    {
        for (int i = width - 1; i >= 0; i--) {
            acc = acc << 1 | ((value >> i) & 1);
            if (++n == 8) {
                bytes += (char)acc;
                acc = 0;
                n = 0;
            }
        }
    }
    std::string done() const
    {
        return n == 0 ? bytes : bytes + (char)(acc << (8 - n));
    }
};

/* ---- Reference codec: plain, whole-stream, written for clarity ---------------------------- */

inline bool widens_at(uint32_t code)
{
    return code == 511 || code == 1023 || code == 2047 || code == 4095 || code == 8191 ||
           code == 16383 || code == 32767;
}

/* What a reader makes of a whole stream. */
struct reference_result {
    status_t status = STATUS_OK;    /* 20, 50 or 0 (the input ended) */
    std::string out;
    std::vector<uint32_t> codes;    /* the codes read, resets included */
    std::vector<int> widths;        /* the width each was read at */
    bool ended_after_reset = false; /* the input ended where a fresh table's first code was due */
};

inline reference_result reference_decode(const std::string &stream)
{
    reference_result r;
    size_t bit = 0;
    auto read = [&](int width, uint32_t *value) {
        if (bit + (size_t)width > stream.size() * 8)
            return false;
        uint32_t v = 0;
        for (int i = 0; i < width; i++, bit++)
            v = v << 1 | (((unsigned char)stream[bit / 8] >> (7 - bit % 8)) & 1);
        *value = v;
        return true;
    };
    uint32_t header;
    if (!read(8, &header)) {
        r.status = STATUS_READ_ERROR;
        return r;
    }
    const uint32_t limit = lzw_table_limit(header);
    if (limit == 0) {
        r.status = STATUS_FILE_CORRUPT;
        return r;
    }
    std::vector<uint32_t> prefix(limit + 1, 0);
    std::vector<unsigned char> last_byte(limit + 1, 0);
    for (uint32_t c = 2; c <= 257; c++)
        last_byte[c] = (unsigned char)(c - 2);
    auto string_of = [&](uint32_t code) {
        std::string s;
        for (uint32_t c = code; c != 0; c = prefix[c])
            s.insert(s.begin(), (char)last_byte[c]);
        return s;
    };
    uint32_t last = 257, previous = 0, code;
    int width = 9;
    bool fresh = true; /* a single byte's code must come next */
    for (;;) {
        if (!read(width, &code)) {
            if (fresh && r.codes.empty()) {
                r.status = STATUS_READ_ERROR;
            }
            r.ended_after_reset = fresh && !r.codes.empty();
            return r;
        }
        r.codes.push_back(code);
        r.widths.push_back(width);
        if (fresh) {
            if (code < 2 || code > 257) {
                r.status = STATUS_FILE_CORRUPT;
                return r;
            }
            r.out += string_of(code);
            previous = code;
            fresh = false;
            continue;
        }
        if (code == 1) {
            last = 257;
            width = 9;
            fresh = true;
            continue;
        }
        if (code == 0 || code > last + 1 || (code == last + 1 && last + 1 >= limit)) {
            r.status = STATUS_FILE_CORRUPT;
            return r;
        }
        std::string s = code <= last ? string_of(code) : string_of(previous);
        if (code > last)
            s += s[0];
        r.out += s;
        if (last + 1 < limit) {
            last++;
            prefix[last] = previous;
            last_byte[last] = (unsigned char)s[0];
            if (widens_at(last))
                width++;
        }
        previous = code;
    }
}

/* The stream a writer makes of data: greedy longest matches, a reset code when the table is
 * full, the codes assigned in order up to highest (the reader's limit minus one). */
struct reference_stream {
    std::string bytes;
    std::vector<size_t> match_ends; /* for each code written, where its match ended */
    size_t first_full = 0;          /* index of the code after which the table was full, +1 */
};

inline reference_stream reference_encode(const std::string &data, uint32_t max_width)
{
    reference_stream r;
    bit_writer w;
    w.put(max_width, 8);
    const uint32_t highest = lzw_table_limit(max_width) - 1;
    std::map<std::pair<uint32_t, unsigned char>, uint32_t> table;
    uint32_t last = 257;
    auto width = [&] {
        int n = 9;
        while (n < 16 && last > (1u << n) - 1)
            n++;
        return n;
    };
    auto find = [&](uint32_t prefix, unsigned char byte) -> uint32_t {
        if (prefix == 0)
            return byte + 2u;
        auto it = table.find({prefix, byte});
        return it == table.end() ? 0 : it->second;
    };
    size_t i = 0;
    if (data.empty())
        return r;
    unsigned char current = (unsigned char)data[i++];
    bool ended = false;
    while (true) {
        uint32_t prefix = 0, code;
        while ((code = find(prefix, current)) != 0) {
            prefix = code;
            if (i == data.size()) {
                ended = true;
                break;
            }
            current = (unsigned char)data[i++];
        }
        w.put(prefix, width());
        r.match_ends.push_back(ended ? i : i - 1);
        if (last >= highest) {
            if (r.first_full == 0)
                r.first_full = r.match_ends.size();
            w.put(1, width());
            table.clear();
            last = 257;
        } else {
            table[{prefix, current}] = ++last;
        }
        if (ended)
            break;
    }
    r.bytes = w.done();
    return r;
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
        if (k > 10000000) {
            ADD_FAILURE() << "the encoder makes no progress";
            break;
        }
    }
    EXPECT_TRUE(bitfile_close(in, 0));
    lzw_encoder_state_free(st);
    return r;
}

} // namespace lzwt

#endif
