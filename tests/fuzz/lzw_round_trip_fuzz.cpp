// libFuzzer target: the LZW encoder over arbitrary bytes, through the decoder and back. The
// first three bytes choose the header width (0 to 18), the block buffer sizes and the targets'
// budgets; the rest is the plain input. The targets of any budgets, none passing its budget,
// must join into the plain whole-stream writer's stream, and the decoder, paused by budgets of
// its own, must give the input back.
#include <stdint.h>
#include <stdlib.h>

#include <string>

#include "lzw/lzw_decoder.h"
#include "lzw/lzw_encoder.h"
#include "support/reference_codec.h"
#include "memory_bitfile.h"

struct fuzz_encoded {
    status_t rc;
    std::string joined;
};

// Encode plain into one target per call; target k gets the budget next_budget() gives.
template <typename Budget>
static fuzz_encoded fuzz_encode(const std::string &plain, uint32_t width, uint32_t in_buffer,
                                uint32_t out_buffer, Budget next_budget)
{
    fuzz_encoded r = {STATUS_OK, std::string()};
    lzw_encoder_state *st = lzw_encoder_state_create(width);
    if (st == NULL)
        abort();
    bitfile *in = fuzz_bitfile_read(plain, in_buffer, 0);
    for (size_t targets = 1;; targets++) {
        fuzz_sink sink;
        bitfile *out = sink.open(out_buffer, 1);
        const uint32_t asked = next_budget();
        uint32_t budget = asked;
        r.rc = lzw_encode(in, out, st, width, &budget);
        if (r.rc != STATUS_OK && budget != asked)
            abort(); // a failure leaves the budget as it was
        if (r.rc == STATUS_OK && budget != out->byte_counter)
            abort();
        const bool last = r.rc != STATUS_OK || st->phase == LZW_ENCODE_NEW;
        if (!bitfile_close(out, last))
            abort();
        const std::string bytes = sink.take();
        // Budgets 0 and 1 never fill a target; the final partial byte may take the last one.
        // A target of 2 is full when opened and takes one code untested: the last such
        // target may need a third byte for its partial one.
        if (asked >= 2 && bytes.size() > asked + (asked == 2 && last))
            abort();
        r.joined += bytes;
        if (last)
            break;
        // Every target but the last holds part of a code at least.
        if (targets > plain.size() * 2 + 2)
            abort();
    }
    bitfile_close(in, 0);
    lzw_encoder_state_free(st);
    return r;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 3)
        return 0;
    fuzz_forget_calls();
    const uint32_t width = data[0] % 19;
    const uint32_t in_buffer = fuzz_buffer_size(data[1]);
    const uint32_t out_buffer = fuzz_buffer_size(data[1] >> 3);
    const std::string plain((const char *)data + 3, size - 3);

    // One target, or targets of 2 to 2 + 63 bytes, or of any size up to 16 KiB.
    uint32_t seed = data[2];
    const uint32_t spread = (data[2] & 0x80) != 0 ? 16384 : 64;
    const bool one_target = (data[2] & 0x40) != 0;
    const fuzz_encoded got = fuzz_encode(plain, width, in_buffer, out_buffer, [&] {
        return one_target ? 0u : 2 + fuzz_next(&seed) % spread;
    });
    if (plain.empty()) {
        // Refused after the header went out.
        if (got.rc != STATUS_READ_ERROR || got.joined != std::string(1, (char)width))
            abort();
        return 0;
    }
    if (got.rc != STATUS_OK)
        abort();
    // The plain writer's stream, but for the padding of the last byte, which means nothing.
    const lzwt::reference_stream want = lzwt::reference_encode(plain, width);
    const size_t last = want.bytes.size() - 1;
    const unsigned defined = (0xFFu << want.padding_bits) & 0xFFu;
    if (got.joined.size() != want.bytes.size() ||
        got.joined.compare(0, last, want.bytes, 0, last) != 0 ||
        (((unsigned char)got.joined[last] ^ (unsigned char)want.bytes[last]) & defined) != 0)
        abort();

    // Back through the decoder, one call or budgets of 1 to 32 bytes.
    lzw_decoder_state dst;
    memset(&dst, 0, sizeof dst);
    bitfile *in = fuzz_bitfile_read(got.joined, in_buffer, 1);
    fuzz_sink sink;
    bitfile *out = sink.open(out_buffer, 0);
    status_t rc;
    size_t calls = 0;
    do {
        uint32_t budget = (data[1] & 0x40) != 0 ? out->byte_counter + 1 + fuzz_next(&seed) % 32
                                                : 0xFFFFFFFFu;
        rc = lzw_decode(in, out, &dst, &budget);
        if (++calls > plain.size() + 1)
            abort();
    } while (rc == STATUS_OK && dst.phase != LZW_DECODE_INPUT &&
             dst.phase != LZW_DECODE_INPUT_RESET);
    bitfile_close(in, 0);
    if (!bitfile_close(out, 1))
        abort();
    lzw_decoder_table_free(dst.table);
    if (rc != STATUS_OK || sink.take() != plain)
        abort();
    return 0;
}
