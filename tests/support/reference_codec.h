/* A plain, whole-stream LZW reader and writer, written for clarity only: the oracle that the
 * codec's tests and fuzz targets hold the resumable workers to. Free of any test framework. */
#ifndef TESTS_SUPPORT_REFERENCE_CODEC_H
#define TESTS_SUPPORT_REFERENCE_CODEC_H

#include <stdint.h>

#include <string>
#include <unordered_map>
#include <vector>

#include "lzw/lzw_format.h"
#include "platform/status.h"

namespace lzwt {

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
    bool cut_short = false;         /* stopped once the output passed the most asked for */
};

/* most_out: stop reading once the output is longer (a few codes can stand for megabytes). */
inline reference_result reference_decode(const std::string &stream,
                                         size_t most_out = (size_t)-1)
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
            s += (char)last_byte[c];
        return std::string(s.rbegin(), s.rend());
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
        if (r.out.size() > most_out) {
            r.cut_short = true;
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
        /* The next code is the special case, also once the table is full; but a full
         * table's next code holds no string, so the special case cannot follow it. */
        if (code == 0 || code > last + 1 || (code == last + 1 && previous > last)) {
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
    int padding_bits = 0;           /* low bits of the last byte that carry no code */
};

inline reference_stream reference_encode(const std::string &data, uint32_t max_width)
{
    reference_stream r;
    bit_writer w;
    w.put(max_width, 8);
    const uint32_t highest = lzw_table_limit(max_width) - 1;
    std::unordered_map<uint32_t, uint32_t> table; /* prefix << 8 | byte: the string's code */
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
        auto it = table.find(prefix << 8 | byte);
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
            table[prefix << 8 | current] = ++last;
        }
        if (ended)
            break;
    }
    r.bytes = w.done();
    r.padding_bits = (8 - w.n) % 8;
    return r;
}

} // namespace lzwt

#endif
